#pragma once
// Windows of other programs under X11: which one is under a screen point in stacking order, its
// program, class and place. Our own windows are told apart by their window ids. Without an X
// server (a Wayland session without XWayland) nothing is found and Available() is false.
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lectryn::desktop {

using XWindowId = uint64_t;

struct X11Window {
  XWindowId id = 0;       // the program's own window (the one with WM_STATE), not a frame
  int32_t pid = 0;        // from _NET_WM_PID; 0 when the program does not say
  std::string className;  // the class part of WM_CLASS
  QRect client;           // the window's inside, screen pixels
};

class X11Windows {
 public:
  X11Windows();  // opens its own connection to $DISPLAY
  ~X11Windows();
  X11Windows(const X11Windows&) = delete;
  X11Windows& operator=(const X11Windows&) = delete;

  bool Available() const { return display_ != nullptr; }

  // What is under a screen point: nothing, one of `ours` (our own windows' ids: their top-level
  // windows, whether or not a window manager framed them), or another program's window. Windows
  // in `skipped` (a click-through overlay) are looked through.
  struct Hit {
    bool ours = false;
    std::optional<X11Window> other;
  };
  Hit WindowAt(QPoint screen, const std::set<XWindowId>& ours, const std::set<XWindowId>& skipped) const;

  // The window now: nullopt once it is gone or unmapped.
  std::optional<X11Window> Describe(XWindowId id) const;

 private:
  XWindowId ClientOf(XWindowId frame) const;
  bool HasWmState(XWindowId id) const;
  std::optional<QRect> ScreenRect(XWindowId id) const;

  void* display_ = nullptr;  // Display*, kept out of this header: Xlib's macros clash with Qt's
  unsigned long root_ = 0;
  unsigned long wmState_ = 0;
  unsigned long wmPid_ = 0;
};

}  // namespace lectryn::desktop
