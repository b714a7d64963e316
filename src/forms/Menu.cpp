#include "forms/Menu.h"

namespace lectryn::forms {

std::u16string Shortcut::ToString() const {
  if (None()) return u"";
  std::u16string text = ctrl ? u"Ctrl+" : u"";
  if (shift) text += u"Shift+";
  if (keyCode >= vbKeyF1 && keyCode < vbKeyF1 + 12) {
    text += u'F';
    int number = keyCode - vbKeyF1 + 1;
    if (number >= 10) text += static_cast<char16_t>(u'0' + number / 10);
    text += static_cast<char16_t>(u'0' + number % 10);
  } else if (keyCode == vbKeyUp) {
    text += u"Up";
  } else if (keyCode == vbKeyDown) {
    text += u"Down";
  } else if (keyCode == kKeyEquals) {
    text += u'=';
  } else if (keyCode == kKeyMinus) {
    text += u'-';
  } else {
    text += static_cast<char16_t>(keyCode);
  }
  return text;
}

std::optional<char16_t> MenuItem::AccessKey() const {
  for (size_t i = 0; i + 1 < caption_.size(); ++i) {
    if (caption_[i] != u'&') continue;
    if (caption_[i + 1] != u'&') return caption_[i + 1];
    ++i;  // "&&" is a literal ampersand
  }
  return std::nullopt;
}

std::u16string MenuItem::DisplayCaption() const {
  std::u16string shown;
  for (size_t i = 0; i < caption_.size(); ++i) {
    if (caption_[i] == u'&' && i + 1 < caption_.size()) ++i;
    shown += caption_[i];
  }
  return shown;
}

MenuItem& MenuItem::Add(std::string name, std::u16string caption, Shortcut shortcut) {
  items_.push_back(std::make_unique<MenuItem>(std::move(name), std::move(caption), shortcut));
  return *items_.back();
}

}  // namespace lectryn::forms
