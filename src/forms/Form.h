#pragma once
// A window as a plain object: its properties, its controls and menus, and the handlers its window
// class registers. Front ends draw it from these properties and feed user input back through the
// input methods below; tests call those methods directly.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "forms/CheckBox.h"
#include "forms/CommandButton.h"
#include "forms/Control.h"
#include "forms/Label.h"
#include "forms/Menu.h"
#include "forms/TextBox.h"
#include "forms/Timer.h"
#include "platform/App.h"
#include "platform/WindowSystem.h"

namespace lectryn::forms {

enum class ScaleMode { Twips, Pixels };
enum class Modality { Modeless, Modal };
enum class StartUpPosition { Manual, CenterOwner };

class Form;

// Shows forms: the front end that makes a window for each form it hosts and runs modal forms.
class FormHost {
 public:
  FormHost() = default;
  FormHost(const FormHost&) = delete;
  FormHost& operator=(const FormHost&) = delete;
  // The forms it still hosts forget it: a form may outlive its host.
  virtual ~FormHost();
  // Returns once the form has been unloaded.
  virtual void RunModal(Form& form) = 0;
  // A hosted form is loading (before its Form_Load runs): a front end makes its window here.
  virtual void Loading(Form& /*form*/) {}
  // A hosted form is being destroyed: whatever shows it must let go of it.
  virtual void Forget(Form& /*form*/) {}

 private:
  friend class Form;
  std::set<Form*> hosted_;
};

class Form : public Control {
 public:
  Form(std::string name, std::u16string caption) : Control(std::move(name)), caption_(std::move(caption)) {}
  ~Form() override;

  // Properties.
  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption) { Set(caption_, std::move(caption), Property::Caption); }
  int32_t ClientWidth() const { return clientWidth_; }    // twips
  int32_t ClientHeight() const { return clientHeight_; }  // twips
  void SetClientSize(int32_t widthTwips, int32_t heightTwips);
  // Outer edges and size in twips.
  int32_t Left() const { return Position().left; }
  int32_t Top() const { return Position().top; }
  int32_t Width() const { return Position().width; }
  int32_t Height() const { return Position().height; }
  void Move(int32_t left, int32_t top) { SetPosition({left, top, Width(), Height()}); }
  void Resize(int32_t width, int32_t height) { SetPosition({Left(), Top(), width, height}); }

  const std::shared_ptr<platform::StdPicture>& Picture() const { return picture_; }
  void SetPicture(std::shared_ptr<platform::StdPicture> picture) {
    Set(picture_, std::move(picture), Property::Picture);
  }
  bool TopMost() const { return topMost_; }
  void SetTopMost(bool topMost) { Set(topMost_, topMost, Property::TopMost); }
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool on) { Set(keyPreview_, on, Property::KeyPreview); }
  forms::ScaleMode GetScaleMode() const { return scaleMode_; }
  void SetScaleMode(forms::ScaleMode mode) { Set(scaleMode_, mode, Property::ScaleMode); }
  bool MinButton() const { return minButton_; }
  bool MaxButton() const { return maxButton_; }
  void SetTitleButtons(bool minButton, bool maxButton) {
    minButton_ = minButton;
    maxButton_ = maxButton;
  }
  StartUpPosition GetStartUpPosition() const { return startUpPosition_; }
  void SetStartUpPosition(StartUpPosition position) { startUpPosition_ = position; }

  platform::HWND hWnd() const { return hWnd_; }
  void SetHWnd(platform::HWND hWnd) { hWnd_ = hWnd; }
  void SetHost(FormHost* host);
  // The host that runs this form's modal children too.
  FormHost* Host() const { return host_; }

  bool Loaded() const { return loaded_; }
  bool Visible() const { return visible_; }
  Form* Owner() const { return owner_; }
  bool IsModal() const { return modality_ == Modality::Modal; }

  // Lifecycle. Load runs Form_Load once; Show loads first, then shows (a modal show returns when
  // the form has been unloaded); Unload asks Form_Unload and returns false when it cancelled.
  void Load();
  void Show(Modality modality = Modality::Modeless, Form* owner = nullptr);
  void Hide();
  bool Unload();

  // Controls and menus the window declares, in tab order for the controls.
  void Register(Control& control) { controls_.push_back(&control); }
  struct Placed {
    Control& control;
    TwipsRect rect;
  };
  // Puts each control at its place and registers it, with tab indexes counting up in this order.
  void PlaceInTabOrder(std::initializer_list<Placed> places);
  const std::vector<Control*>& Controls() const { return controls_; }
  MenuItem& AddMenu(std::string name, std::u16string caption);
  // A menu owned elsewhere (the narration state owns its menu) joins the menu bar here.
  void AddMenu(MenuItem& menu) { menus_.push_back(&menu); }
  const std::vector<MenuItem*>& Menus() const { return menus_; }

  // Input from the user.
  // A key combination: menu shortcuts first, then Enter and Escape for default and cancel buttons.
  bool PressKey(Shortcut key);
  void KeyUp(int32_t keyCode, int32_t shift);
  void Activate() { Fire(Form_Activate); }
  void MouseDown(int16_t button, int16_t shift, float x, float y);
  void MouseMove(int16_t button, int16_t shift, float x, float y);
  void MouseUp(int16_t button, int16_t shift, float x, float y);
  void Drop(const std::vector<std::u16string>& addresses) {
    if (Form_Drop) Form_Drop(addresses);
  }

  // Handlers the window class registers.
  Handler Form_Load;
  std::function<void(int16_t& cancel)> Form_Unload;
  Handler Form_Activate;
  std::function<void(int16_t keyCode, int16_t shift)> Form_KeyUp;
  using MouseHandler = std::function<void(int16_t button, int16_t shift, float x, float y)>;
  MouseHandler Form_MouseDown;
  MouseHandler Form_MouseMove;
  MouseHandler Form_MouseUp;
  // Files or addresses dropped onto the window; a window without this handler takes no drops.
  std::function<void(const std::vector<std::u16string>& addresses)> Form_Drop;

 private:
  static MenuItem* FindShortcut(const MenuItem& menu, Shortcut key);

  std::u16string caption_;
  int32_t clientWidth_ = 0;
  int32_t clientHeight_ = 0;
  std::shared_ptr<platform::StdPicture> picture_;
  bool topMost_ = false;
  bool keyPreview_ = false;
  forms::ScaleMode scaleMode_ = forms::ScaleMode::Twips;
  bool minButton_ = true;
  bool maxButton_ = true;
  StartUpPosition startUpPosition_ = StartUpPosition::Manual;
  friend class FormHost;  // clears host_ when it goes first
  platform::HWND hWnd_ = 0;
  FormHost* host_ = nullptr;
  bool loaded_ = false;
  bool visible_ = false;
  Form* owner_ = nullptr;
  Modality modality_ = Modality::Modeless;
  std::vector<Control*> controls_;
  std::vector<std::unique_ptr<MenuItem>> ownedMenus_;
  std::vector<MenuItem*> menus_;  // menu bar order
};

}  // namespace lectryn::forms
