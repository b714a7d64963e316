#pragma once
// Window handles of the program's own windows: every top-level window and every page view gets a
// positive 32-bit handle here, with its class name and what the window-system calls need of it.
// Entries go away by themselves when their widget is destroyed.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "desktop/OutlineLayer.h"
#include "platform/Page.h"
#include "platform/WindowSystem.h"

namespace lectryn::desktop {

// Class names of our windows; a page view has the class the picker looks for.
inline constexpr char kPageViewClass[] = "Internet Explorer_Server";
inline constexpr char kFormClass[] = "LectrynForm";
inline constexpr char kPageWindowClass[] = "LectrynPageWindow";

struct WindowEntry {
  QPointer<QWidget> widget;
  std::string className;
  // The widget whose top-left is the window's client origin (below a form's menu bar); the
  // widget itself when null.
  QPointer<QWidget> clientArea;
  OutlineLayer* outlines = nullptr;  // none: outlines drawn on the window are not shown
  // The page shown now, for "WM_HTML_GETOBJECT"; empty for windows that show no page.
  std::function<platform::DocumentPtr()> document;
};

class WindowRegistry {
 public:
  platform::HWND Register(WindowEntry entry);
  void Unregister(platform::HWND hWnd);

  // Null when the handle is unknown or its widget is gone.
  const WindowEntry* Find(platform::HWND hWnd) const;
  QWidget* Widget(platform::HWND hWnd) const;
  // The handle of the widget itself, 0 when it has none.
  platform::HWND HandleOf(const QWidget* widget) const;
  // The handle of the widget or of its nearest registered ancestor, 0 when none.
  platform::HWND EnclosingHandle(const QWidget* widget) const;
  std::vector<platform::HWND> Handles() const;

  // Told after a window is registered and before it is unregistered.
  std::function<void(platform::HWND)> onRegistered;
  std::function<void(platform::HWND)> onUnregistered;

 private:
  std::map<platform::HWND, WindowEntry> entries_;
  QObject connections_;  // ends the widgets' destroyed connections with the registry
  platform::HWND last_ = 0;
};

}  // namespace lectryn::desktop
