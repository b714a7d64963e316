#pragma once
// Qt's fonts need a QGuiApplication and the page view's widgets a QApplication; tests get one on
// the offscreen platform, created once.
#include <QApplication>

namespace lectryn::desktop::testing {

inline void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "desktop_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit Qt's own globals (the input devices of synthetic mouse events) go
  // first, and an application destroyed after them crashes.
  static auto* application = new QApplication(argc, argv);
  (void)application;
}

}  // namespace lectryn::desktop::testing
