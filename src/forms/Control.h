#pragma once
// Base of every form object: a name, a place in twips, a tab index, and change notification so a
// front end can follow every property.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lectryn::forms {

enum class Property {
  Caption,
  Text,
  Value,
  Enabled,
  Visible,
  Default,
  Cancel,
  Selection,
  Checked,
  Interval,
  Picture,
  ForeColor,
  Font,
  ToolTipText,
  Position,
  TabIndex,
  Focus,
  TopMost,
  KeyPreview,
  ScaleMode,
  Loaded,
  Pointer,
  Browser,
  List,
};

// A rectangle in twips (1/1440 inch).
struct TwipsRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const TwipsRect&) const = default;
};

class Control {
 public:
  using Listener = std::function<void(Control&, Property)>;

  explicit Control(std::string name) : name_(std::move(name)) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const std::string& Name() const { return name_; }

  const TwipsRect& Position() const { return position_; }
  void SetPosition(TwipsRect position) { Set(position_, position, Property::Position); }
  int32_t TabIndex() const { return tabIndex_; }
  void SetTabIndex(int32_t index) { Set(tabIndex_, index, Property::TabIndex); }

  // Returns a token for Unsubscribe.
  int Subscribe(Listener listener) {
    listeners_.emplace_back(++lastToken_, std::move(listener));
    return lastToken_;
  }
  void Unsubscribe(int token) {
    std::erase_if(listeners_, [token](const auto& entry) { return entry.first == token; });
  }

 protected:
  void Changed(Property property) {
    // A listener may unsubscribe while being told: walk a copy.
    auto listeners = listeners_;
    for (auto& [token, listener] : listeners) listener(*this, property);
  }
  // True when the value changed.
  template <class T>
  bool Set(T& field, T value, Property property) {
    if (field == value) return false;
    field = std::move(value);
    Changed(property);
    return true;
  }

 private:
  std::string name_;
  TwipsRect position_;
  int32_t tabIndex_ = 0;
  std::vector<std::pair<int, Listener>> listeners_;
  int lastToken_ = 0;
};

// A handler slot: empty until the window registers its handler.
using Handler = std::function<void()>;

inline void Fire(const Handler& handler) {
  if (handler) handler();
}

}  // namespace lectryn::forms
