#pragma once
// Menus and menu items. A caption marks its access key with "&" ("&&" is a literal ampersand);
// the caption "-" is a separator.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/Control.h"

namespace lectryn::forms {

// Key codes as the platform numbers them.
constexpr int32_t vbKeyEscape = 27;
constexpr int32_t vbKeyReturn = 13;
constexpr int32_t vbKeyUp = 38;
constexpr int32_t vbKeyDown = 40;
constexpr int32_t vbKey0 = 48;
constexpr int32_t vbKeyA = 65;
constexpr int32_t vbKeyF1 = 112;
constexpr int32_t kKeyEquals = 187;  // the "=" key, "+" with Shift
constexpr int32_t kKeyMinus = 189;
inline constexpr int32_t KeyOfLetter(char letter) {
  return vbKeyA + (letter - 'A');
}

struct Shortcut {
  int32_t keyCode = 0;  // 0: none
  bool ctrl = false;
  bool shift = false;
  bool operator==(const Shortcut&) const = default;
  bool None() const { return keyCode == 0; }
  std::u16string ToString() const;  // "Ctrl+N", "Ctrl+Shift+T", "Ctrl+Up", "F1", "" for none
};

// Ctrl with a letter, a digit or "=" and "-" as typed.
inline constexpr Shortcut CtrlKey(char key) {
  if (key >= 'A' && key <= 'Z') return {KeyOfLetter(key), true};
  if (key == '=') return {kKeyEquals, true};
  if (key == '-') return {kKeyMinus, true};
  return {key, true};
}

class MenuItem : public Control {
 public:
  MenuItem(std::string name, std::u16string caption, Shortcut shortcut = {})
      : Control(std::move(name)), caption_(std::move(caption)), shortcut_(shortcut) {}

  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption) { Set(caption_, std::move(caption), Property::Caption); }
  // The character after a single "&", if any.
  std::optional<char16_t> AccessKey() const;
  // The caption as shown: access marks removed.
  std::u16string DisplayCaption() const;
  bool IsSeparator() const { return caption_ == u"-"; }
  const forms::Shortcut& GetShortcut() const { return shortcut_; }
  bool Checked() const { return checked_; }
  void SetChecked(bool checked) { Set(checked_, checked, Property::Checked); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { Set(enabled_, enabled, Property::Enabled); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { Set(visible_, visible, Property::Visible); }

  // Items of a menu on the menu bar, in order; the item owns them.
  MenuItem& Add(std::string name, std::u16string caption, Shortcut shortcut = {});
  const std::vector<std::unique_ptr<MenuItem>>& Items() const { return items_; }

  void Click() const {
    if (enabled_ && !IsSeparator()) Fire(OnClick);
  }
  Handler OnClick;

 private:
  std::u16string caption_;
  Shortcut shortcut_;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  std::vector<std::unique_ptr<MenuItem>> items_;
};

}  // namespace lectryn::forms
