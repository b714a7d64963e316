#include "desktop/X11Windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <deque>

namespace lectryn::desktop {

namespace {

// A frame of a window manager holds the program's window a few levels down; a hostile tree is
// not searched without end.
constexpr int kMostWindowsSearched = 200;

Display* Dpy(void* display) {
  return static_cast<Display*>(display);
}

// Another program may destroy a window between two of our requests: that is an ordinary answer
// here, not a reason for Xlib's default handler to end the program.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

X11Windows::X11Windows() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  XSetErrorHandler(IgnoreErrors);
  display_ = display;
  root_ = DefaultRootWindow(display);
  wmState_ = XInternAtom(display, "WM_STATE", False);
  wmPid_ = XInternAtom(display, "_NET_WM_PID", False);
}

X11Windows::~X11Windows() {
  if (display_) XCloseDisplay(Dpy(display_));
}

X11Windows::Hit X11Windows::WindowAt(QPoint screen, const std::set<XWindowId>& ours,
                                     const std::set<XWindowId>& skipped) const {
  Hit hit;
  if (!display_) return hit;
  Window rootReturn = 0;
  Window parentReturn = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(Dpy(display_), root_, &rootReturn, &parentReturn, &children, &count)) return hit;
  // The list runs from the bottom of the stack to the top.
  for (unsigned int i = count; i-- > 0;) {
    Window top = children[i];
    if (skipped.contains(top)) continue;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(Dpy(display_), top, &attributes) || attributes.map_state != IsViewable)
      continue;
    QRect outer(attributes.x, attributes.y, attributes.width + 2 * attributes.border_width,
                attributes.height + 2 * attributes.border_width);
    if (!outer.contains(screen)) continue;
    XWindowId client = ClientOf(top);
    if (skipped.contains(client)) continue;
    if (ours.contains(top) || ours.contains(client)) {
      hit.ours = true;
    } else if (auto described = Describe(client)) {
      hit.other = described;
    } else {
      continue;
    }
    break;
  }
  if (children) XFree(children);
  return hit;
}

// The window itself when it has WM_STATE, else the first descendant (breadth first) that has it,
// else the window itself (a window no manager looks after).
XWindowId X11Windows::ClientOf(XWindowId frame) const {
  if (HasWmState(frame)) return frame;
  std::deque<Window> queue{frame};
  int searched = 0;
  while (!queue.empty() && searched++ < kMostWindowsSearched) {
    Window window = queue.front();
    queue.pop_front();
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(Dpy(display_), window, &rootReturn, &parentReturn, &children, &count)) continue;
    for (unsigned int i = 0; i < count; ++i) {
      if (HasWmState(children[i])) {
        Window found = children[i];
        XFree(children);
        return found;
      }
      queue.push_back(children[i]);
    }
    if (children) XFree(children);
  }
  return frame;
}

bool X11Windows::HasWmState(XWindowId id) const {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  int status = XGetWindowProperty(Dpy(display_), id, wmState_, 0, 0, False, AnyPropertyType, &type, &format,
                                  &items, &after, &data);
  if (data) XFree(data);
  return status == Success && type != None;
}

std::optional<QRect> X11Windows::ScreenRect(XWindowId id) const {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(Dpy(display_), id, &attributes) || attributes.map_state != IsViewable)
    return std::nullopt;
  int x = 0;
  int y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(Dpy(display_), id, root_, 0, 0, &x, &y, &child)) return std::nullopt;
  return QRect(x, y, attributes.width, attributes.height);
}

std::optional<X11Window> X11Windows::Describe(XWindowId id) const {
  if (!display_) return std::nullopt;
  std::optional<QRect> rect = ScreenRect(id);
  if (!rect) return std::nullopt;
  X11Window window;
  window.id = id;
  window.client = *rect;
  XClassHint hint{nullptr, nullptr};
  if (XGetClassHint(Dpy(display_), id, &hint)) {
    if (hint.res_class) window.className = hint.res_class;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
  }
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(Dpy(display_), id, wmPid_, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                         &data) == Success &&
      data && format == 32 && items == 1)
    window.pid = static_cast<int32_t>(*reinterpret_cast<unsigned long*>(data));
  if (data) XFree(data);
  return window;
}

}  // namespace lectryn::desktop
