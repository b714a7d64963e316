#include "forms/Form.h"

#include <cassert>

namespace lectryn::forms {

void Form::SetClientSize(int32_t widthTwips, int32_t heightTwips) {
  if (widthTwips == clientWidth_ && heightTwips == clientHeight_) return;
  clientWidth_ = widthTwips;
  clientHeight_ = heightTwips;
  Changed(Property::Position);
}

FormHost::~FormHost() {
  for (Form* form : hosted_) form->host_ = nullptr;
}

Form::~Form() {
  if (!host_) return;
  host_->hosted_.erase(this);
  host_->Forget(*this);
}

void Form::SetHost(FormHost* host) {
  if (host_) host_->hosted_.erase(this);
  host_ = host;
  if (host_) host_->hosted_.insert(this);
}

void Form::Load() {
  if (loaded_) return;
  if (host_) host_->Loading(*this);
  loaded_ = true;
  Changed(Property::Loaded);
  Fire(Form_Load);
}

void Form::Show(Modality modality, Form* owner) {
  Load();
  if (!loaded_) return;  // Form_Load closed the form again
  owner_ = owner;
  modality_ = modality;
  Set(visible_, true, Property::Visible);
  Activate();
  if (modality == Modality::Modal) {
    assert(host_ && "a modal form needs a host to run it");
    host_->RunModal(*this);
  }
}

void Form::Hide() {
  Set(visible_, false, Property::Visible);
}

bool Form::Unload() {
  if (!loaded_) return true;
  int16_t cancel = 0;
  if (Form_Unload) Form_Unload(cancel);
  if (cancel != 0) return false;
  Set(visible_, false, Property::Visible);
  loaded_ = false;
  modality_ = Modality::Modeless;
  Changed(Property::Loaded);
  return true;
}

void Form::PlaceInTabOrder(std::initializer_list<Placed> places) {
  int32_t tabIndex = 0;
  for (const Placed& place : places) {
    place.control.SetPosition(place.rect);
    place.control.SetTabIndex(tabIndex++);
    Register(place.control);
  }
}

MenuItem& Form::AddMenu(std::string name, std::u16string caption) {
  ownedMenus_.push_back(std::make_unique<MenuItem>(std::move(name), std::move(caption)));
  menus_.push_back(ownedMenus_.back().get());
  return *ownedMenus_.back();
}

MenuItem* Form::FindShortcut(const MenuItem& menu, Shortcut key) {
  for (const auto& item : menu.Items()) {
    if (!item->GetShortcut().None() && item->GetShortcut() == key) return item.get();
    if (MenuItem* inner = FindShortcut(*item, key)) return inner;
  }
  return nullptr;
}

bool Form::PressKey(Shortcut key) {
  for (MenuItem* menu : menus_) {
    if (MenuItem* item = FindShortcut(*menu, key)) {
      item->Click();
      return true;
    }
  }
  if (key.ctrl) return false;
  for (Control* control : controls_) {
    auto* button = dynamic_cast<CommandButton*>(control);
    if (!button || !button->Visible()) continue;
    if ((key.keyCode == vbKeyReturn && button->Default()) ||
        (key.keyCode == vbKeyEscape && button->Cancel())) {
      button->Click();
      return true;
    }
  }
  return false;
}

void Form::KeyUp(int32_t keyCode, int32_t shift) {
  if (keyPreview_ && Form_KeyUp) Form_KeyUp(static_cast<int16_t>(keyCode), static_cast<int16_t>(shift));
}

void Form::MouseDown(int16_t button, int16_t shift, float x, float y) {
  if (Form_MouseDown) Form_MouseDown(button, shift, x, y);
}
void Form::MouseMove(int16_t button, int16_t shift, float x, float y) {
  if (Form_MouseMove) Form_MouseMove(button, shift, x, y);
}
void Form::MouseUp(int16_t button, int16_t shift, float x, float y) {
  if (Form_MouseUp) Form_MouseUp(button, shift, x, y);
}

}  // namespace lectryn::forms
