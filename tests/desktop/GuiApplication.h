#pragma once
// Qt's fonts need a QGuiApplication; tests get one on the offscreen platform, created once.
#include <QGuiApplication>

namespace lectryn::desktop::testing {

inline void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "desktop_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication application(argc, argv);
}

}  // namespace lectryn::desktop::testing
