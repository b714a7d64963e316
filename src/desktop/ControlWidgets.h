#pragma once
// The widgets of a form's controls, each following its control model: one binding per control
// makes the widget, keeps it in step with every property change and turns the user's input into
// the model's calls.
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <memory>

#include "desktop/ModelSubscription.h"
#include "forms/Control.h"
#include "forms/Label.h"

namespace lectryn::desktop {

struct ControlPlacement {
  QWidget* client = nullptr;  // the widget the control's twips are relative to
  QPoint offsetPx;            // of the frame the control lies in, if any
  int twipsPerPixel = 15;
};

// Whole pixels of a twips length, rounded.
int PixelsOfTwips(int twips, int twipsPerPixel);
// A control font: faces this machine lacks ("MS Sans Serif") become the default sans face.
QFont QtFontOf(const forms::Font& font);

class ControlBinding : public QObject {
 public:
  ControlBinding(forms::Control& control, const ControlPlacement& placement);
  // The widget showing the control; null for controls that show nothing.
  virtual QWidget* Widget() const = 0;
  // The control is gone or going: never touch it again.
  void Abandon();
  forms::Control& Model() const { return *control_; }

 protected:
  virtual void Follow(forms::Property property) = 0;
  bool Abandoned() const { return abandoned_; }
  // The control's rectangle in client pixels.
  QRect PixelRect() const;
  const ControlPlacement& Placement() const { return placement_; }

 private:
  forms::Control* control_;
  ControlPlacement placement_;
  bool abandoned_ = false;
  ModelSubscription subscription_;
};

// Null for controls with nothing to draw (timers, placeholders, menus).
std::unique_ptr<ControlBinding> BindControl(forms::Control& control, const ControlPlacement& placement);

}  // namespace lectryn::desktop
