#pragma once
// A drop-down list the user picks one item from. Items are captions for people; the window keeps
// whatever each item stands for beside it, by index.
#include <algorithm>
#include <string>
#include <vector>

#include "forms/Control.h"

namespace lectryn::forms {

class ComboBox : public Control {
 public:
  explicit ComboBox(std::string name) : Control(std::move(name)) {}

  const std::vector<std::u16string>& List() const { return list_; }
  int32_t ListCount() const { return static_cast<int32_t>(list_.size()); }
  // New items leave nothing chosen.
  void SetList(std::vector<std::u16string> items) {
    if (items == list_) return;
    list_ = std::move(items);
    listIndex_ = -1;
    Changed(Property::List);
  }
  // The chosen item, -1 for none; an index outside the list chooses none.
  int32_t ListIndex() const { return listIndex_; }
  void SetListIndex(int32_t index) { Keep(index); }
  // The chosen item's caption; empty when none is chosen.
  std::u16string Text() const { return listIndex_ < 0 ? std::u16string() : list_[listIndex_]; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { Set(enabled_, enabled, Property::Enabled); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { Set(visible_, visible, Property::Visible); }

  // The user picks an item: Click follows when that changed the choice.
  void Choose(int32_t index) {
    if (Keep(index)) Fire(OnClick);
  }
  Handler OnClick;

 private:
  bool Keep(int32_t index) {
    return Set(listIndex_, index >= 0 && index < ListCount() ? index : -1, Property::Value);
  }

  std::vector<std::u16string> list_;
  int32_t listIndex_ = -1;
  bool enabled_ = true;
  bool visible_ = true;
};

}  // namespace lectryn::forms
