#pragma once
// The window of one form: a top-level widget with the form's menu bar over a client area that
// shows its controls and background picture. It follows every change of the model and feeds the
// user's input back to it; it decides nothing itself.
#include <QMargins>
#include <QMenuBar>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "desktop/ControlWidgets.h"
#include "desktop/FormMenus.h"
#include "desktop/ModelSubscription.h"
#include "forms/Form.h"

namespace lectryn::desktop {

class ClientArea;

class FormWindow : public QWidget {
 public:
  // `twipsPerPixel` converts the model's twips (15 at 96 DPI).
  FormWindow(forms::Form& form, int twipsPerPixel);
  ~FormWindow() override;

  forms::Form& Form() const { return form_; }
  // The widget below the menu bar; the controls' twips are relative to its top-left.
  QWidget* ClientWidget() const;
  QMenuBar* MenuBar() const { return menuBar_; }
  // The form is being destroyed: stop following it and taking input for it.
  void Abandon();

  // The window of another form (the owner), null when it has none.
  std::function<QWidget*(const forms::Form&)> windowOf;
  // Told when the window is shown or hidden because the model says so.
  std::function<void(bool shown)> onShown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BindControls();
  QPoint FrameOffsetOf(const forms::Control& control) const;
  void Follow(forms::Property property);
  QSize ModelSize() const;
  int MenuBarPx(int windowWidthPx) const;
  int ModelChromePx() const;
  void ApplyGeometry();
  void ApplyVisibility();
  void Show();
  void ApplyFlags();
  void ApplyTabOrder();
  void PlaceByOwner();
  void WriteBackPlace();
  void ForwardMouse(QMouseEvent* event);
  QMargins FrameMargins() const;
  int Px(int twips) const;

  forms::Form& form_;
  int twipsPerPixel_;
  QMenuBar* menuBar_;
  ClientArea* client_;
  std::vector<std::unique_ptr<ControlBinding>> bindings_;
  std::unique_ptr<FormMenus> menus_;
  std::unique_ptr<ModelSubscription> subscription_;
  QMargins knownMargins_;
  bool applying_ = false;  // geometry or visibility changes made from the model
  bool abandoned_ = false;
  bool placed_ = false;  // the start-up position was applied
};

}  // namespace lectryn::desktop
