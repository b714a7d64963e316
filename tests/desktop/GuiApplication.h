#pragma once
// Qt's fonts need a QGuiApplication and the page view's widgets a QApplication; tests get one on
// the offscreen platform, created once.
#include <QApplication>

namespace lectryn::desktop::testing {

inline void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The tests check pixels where the page and the forms put them, one device pixel to a CSS pixel,
  // whatever scaling the desktop they run on asks of Qt.
  for (const char* scaling : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI"})
    qunsetenv(scaling);
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  static int argc = 1;
  static char name[] = "desktop_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit Qt's own globals (the input devices of synthetic mouse events) go
  // first, and an application destroyed after them crashes.
  static auto* application = new QApplication(argc, argv);
  (void)application;
}

}  // namespace lectryn::desktop::testing
