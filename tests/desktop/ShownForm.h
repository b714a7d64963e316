#pragma once
// A form shown in a window of the Qt desktop, with its widgets found by the names of their controls
// and key strokes sent as the user types them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "desktop/GuiApplication.h"
#include "desktop/QtFormHost.h"
#include "desktop/WindowRegistry.h"
#include "forms/Form.h"

namespace lectryn::desktop::testing {

inline void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(target, &release);
}

// Fixtures declare their forms after this base's members: a form then goes before its host.
class ShownForm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureGuiApplication(); }
  void ShowForm(forms::Form& form) {
    form.SetHost(&host_);
    form.Show();
    window_ = host_.WindowOf(form);
    ASSERT_NE(window_, nullptr);
  }
  template <class W>
  W* Find(const char* name) const {
    return window_->findChild<W*>(name);
  }

  WindowRegistry registry_;
  QtFormHost host_{registry_};
  FormWindow* window_ = nullptr;
};

}  // namespace lectryn::desktop::testing
