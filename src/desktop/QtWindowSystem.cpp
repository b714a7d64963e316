#include "desktop/QtWindowSystem.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>


namespace lectryn::desktop {

using platform::HDC;
using platform::HWND;
using platform::LRESULT;
using platform::POINTAPI;

namespace {

constexpr char kGetObjectMessage[] = "WM_HTML_GETOBJECT";
constexpr int32_t kTwipsPerInch = 1440;
constexpr int32_t kDefaultTwipsPerPixel = 15;  // 96 DPI

bool IsGone(const platform::DocumentPtr& document) {
  return !document || document->Discarded();
}

// Platforms without a display: they cannot grab the pointer, and their topLevelAt answers from a
// fixed order instead of the stacking order.
bool IsVirtualPlatform() {
  QString name = QGuiApplication::platformName();
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

QPoint ToQPoint(POINTAPI pt) {
  return {pt.x, pt.y};
}

}  // namespace

QtWindowSystem::QtWindowSystem(WindowRegistry& registry) : registry_(registry) {
  QCoreApplication::instance()->installEventFilter(this);
}

QtWindowSystem::~QtWindowSystem() {
  ShowOverrideCursor(false);
  if (QWidget* holder = registry_.Widget(capture_); holder && QWidget::mouseGrabber() == holder)
    holder->releaseMouse();
}

// A press gives the pressed window the mouse until the last button is up, as the platform does;
// activations give the stacking order where Qt cannot ask the window manager.
bool QtWindowSystem::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      // Every delivery of one press (to the widget, then its parents) finds the same window.
      QPoint at = mouse->globalPosition().toPoint();
      if (mouse->buttons() == mouse->button()) pressed_ = WindowFromPoint({at.x(), at.y()});
      break;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) pressed_ = 0;
      break;
    case QEvent::WindowActivate:
      if (auto* window = qobject_cast<QWidget*>(watched); window && window->isWindow()) {
        activated_.remove_if([window](const QPointer<QWidget>& seen) { return !seen || seen == window; });
        activated_.push_front(window);
      }
      break;
    default:
      break;
  }
  return false;
}

QWidget* QtWindowSystem::TopLevelAt(QPoint screenPt) const {
  return IsVirtualPlatform() ? StackedTopLevelAt(screenPt) : QApplication::topLevelAt(screenPt);
}

// Windows kept on top first, then the last activated, then the others, the newest first.
QWidget* QtWindowSystem::StackedTopLevelAt(QPoint screenPt) const {
  std::vector<QWidget*> order;
  for (const QPointer<QWidget>& window : activated_)
    if (window) order.push_back(window);
  QWidgetList all = QApplication::topLevelWidgets();
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    if (std::find(order.begin(), order.end(), *it) == order.end()) order.push_back(*it);
  std::stable_partition(order.begin(), order.end(), [](QWidget* window) {
    return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  });
  for (QWidget* window : order)
    if (window->isVisible() && !window->isMinimized() && window->frameGeometry().contains(screenPt))
      return window;
  return nullptr;
}

void QtWindowSystem::SetOtherPrograms(X11Windows* windows, OtherPages* pages) {
  x11_ = windows && windows->Available() ? windows : nullptr;
  otherPages_ = pages;
}

// The X server knows the stacking order of every program's windows; it decides whether the point
// is over one of ours (then Qt finds which of our widgets) or over another program's.
HWND QtWindowSystem::WindowFromPoint(POINTAPI pt) {
  if (x11_ && !IsVirtualPlatform()) {
    std::set<XWindowId> skipped;
    if (overlay_.testAttribute(Qt::WA_WState_Created)) skipped.insert(overlay_.winId());
    X11Windows::Hit hit = x11_->WindowAt(ToDevice(ToQPoint(pt)), OurWindowIds(), skipped);
    if (hit.other) return HandleOfOther(hit.other->id);
    if (!hit.ours) return 0;
  }
  QWidget* top = TopLevelAt(ToQPoint(pt));
  if (!top) return 0;
  QWidget* deepest = top->childAt(top->mapFromGlobal(ToQPoint(pt)));
  return registry_.EnclosingHandle(deepest ? deepest : top);
}

// Qt places windows in scaled pixels on a screen that scales (a high-density one); the X server
// and other programs count the screen's own pixels, and so do their pages' coordinates here.
qreal QtWindowSystem::DevicePixelRatio() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

QPoint QtWindowSystem::ToDevice(QPoint logical) {
  qreal ratio = DevicePixelRatio();
  return {static_cast<int>(std::lround(logical.x() * ratio)),
          static_cast<int>(std::lround(logical.y() * ratio))};
}

QPoint QtWindowSystem::FromDevice(QPoint device) {
  qreal ratio = DevicePixelRatio();
  return {static_cast<int>(std::lround(device.x() / ratio)),
          static_cast<int>(std::lround(device.y() / ratio))};
}

std::set<XWindowId> QtWindowSystem::OurWindowIds() const {
  std::set<XWindowId> ids;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window != &overlay_ && window->testAttribute(Qt::WA_WState_Created)) ids.insert(window->winId());
  return ids;
}

HWND QtWindowSystem::HandleOfOther(XWindowId id) {
  auto [it, added] = otherHandles_.emplace(id, kFirstOtherHandle + static_cast<HWND>(otherHandles_.size()));
  if (added) otherIds_.emplace(it->second, id);
  return it->second;
}

// One move asks for the same window's class, page and place several times; the X server is
// asked once.
std::optional<X11Window> QtWindowSystem::OtherWindow(HWND hWnd) const {
  auto found = otherIds_.find(hWnd);
  if (!x11_ || found == otherIds_.end()) return std::nullopt;
  auto now = std::chrono::steady_clock::now();
  if (described_ && described_->hWnd == hWnd && now - described_->at < kDescriptionKept)
    return described_->window;
  std::optional<X11Window> window = x11_->Describe(found->second);
  described_ = Description{hWnd, window, now};
  return window;
}

// Another program's window that shows a web page is a page window; others keep their own class.
int32_t QtWindowSystem::GetClassNameA(HWND hWnd, std::string& buffer, int32_t bufferLength) {
  std::string className;
  if (IsOther(hWnd)) {
    std::optional<X11Window> window = OtherWindow(hWnd);
    if (!window) return 0;
    className = otherPages_ && otherPages_->ShowsPage(*window) ? kPageViewClass : window->className;
  } else if (const WindowEntry* entry = registry_.Find(hWnd)) {
    className = entry->className;
  } else {
    return 0;
  }
  if (bufferLength < 1) return 0;
  size_t copied = std::min(className.size(), static_cast<size_t>(bufferLength - 1));
  if (buffer.size() < copied + 1) buffer.resize(copied + 1);
  std::copy_n(className.begin(), copied, buffer.begin());
  buffer[copied] = '\0';
  return static_cast<int32_t>(copied);
}

HWND QtWindowSystem::GetParent(HWND hWnd) {
  QWidget* widget = registry_.Widget(hWnd);
  if (!widget || widget->isWindow()) return 0;  // an owned window is not a child
  return registry_.EnclosingHandle(widget->parentWidget());
}

// Depth first: a registered child, then what lies inside it. Other top-level windows (owned
// dialogs) are not children.
bool QtWindowSystem::Visit(const QObject* parent, const std::function<bool(HWND)>& visit) const {
  for (const QObject* child : parent->children()) {
    auto* widget = qobject_cast<const QWidget*>(child);
    if (!widget || widget->isWindow()) continue;
    if (HWND hWnd = registry_.HandleOf(widget); hWnd != 0 && !visit(hWnd)) return false;
    if (!Visit(widget, visit)) return false;
  }
  return true;
}

bool QtWindowSystem::EnumChildWindows(HWND parent, const std::function<bool(HWND)>& visit) {
  if (IsOther(parent)) return OtherWindow(parent).has_value();  // its children are its own affair
  QWidget* widget = registry_.Widget(parent);
  if (!widget) return false;
  Visit(widget, visit);
  return true;
}

// A view answers at once, so the time-out never passes.
// Another program's page answers through its reader, whose waits are bounded.
LRESULT QtWindowSystem::SendMessageTimeoutA(HWND hWnd, uint32_t msg, int64_t, int64_t, uint32_t, uint32_t,
                                            LRESULT& result) {
  const bool asksDocument = Messages().Is(msg, kGetObjectMessage);
  if (IsOther(hWnd)) {
    std::optional<X11Window> window = OtherWindow(hWnd);
    if (!window || !Messages().Known(msg)) return 0;
    if (!asksDocument || !otherPages_) {
      result = 0;
      return 1;
    }
    platform::DocumentPtr document = otherPages_->Document(*window);
    if (!document) return 0;
    result = TokenFor(document);
    return 1;
  }
  const WindowEntry* entry = registry_.Find(hWnd);
  if (!entry) return 0;
  if (!Messages().Known(msg)) return 0;
  // A window that does not handle the message answers 0 through its default handling.
  result = asksDocument && entry->document ? TokenFor(entry->document()) : 0;
  return 1;
}

LRESULT QtWindowSystem::TokenFor(const platform::DocumentPtr& document) {
  if (IsGone(document)) return 0;
  DropExpiredTokens();
  for (const auto& [token, held] : documents_)
    if (held.lock() == document) return token;
  documents_.emplace(++lastToken_, document);
  return lastToken_;
}

void QtWindowSystem::DropExpiredTokens() {
  std::erase_if(documents_, [](const auto& entry) { return IsGone(entry.second.lock()); });
}

platform::DocumentPtr QtWindowSystem::ObjectFromLresult(LRESULT result, int64_t) {
  auto found = documents_.find(result);
  if (found == documents_.end()) return nullptr;
  platform::DocumentPtr document = found->second.lock();
  if (!IsGone(document)) return document;
  documents_.erase(found);
  return nullptr;
}

HWND QtWindowSystem::SetCapture(HWND hWnd) {
  HWND previous = GetCapture();
  QWidget* holder = ClientWidget(capture_);
  if (holder && QWidget::mouseGrabber() == holder) holder->releaseMouse();
  // The client area takes the grab: it is the widget that turns mouse events into the form's.
  QWidget* widget = ClientWidget(hWnd);
  // The grab may fail (another program holds the pointer); a press already gives the pressed
  // widget every move until the release, so the bookkeeping stands either way.
  if (widget && widget->isVisible() && !IsVirtualPlatform()) widget->grabMouse();
  capture_ = widget ? hWnd : 0;
  return previous;
}

HWND QtWindowSystem::GetCapture() {
  if (capture_ != 0 && !registry_.Find(capture_)) capture_ = 0;
  if (pressed_ != 0 && !registry_.Find(pressed_)) pressed_ = 0;
  return capture_ != 0 ? capture_ : pressed_;
}

bool QtWindowSystem::ReleaseCapture() {
  QWidget* holder = ClientWidget(capture_);
  if (holder && QWidget::mouseGrabber() == holder) holder->releaseMouse();
  capture_ = 0;
  pressed_ = 0;
  ShowOverrideCursor(false);
  return true;
}

QWidget* QtWindowSystem::ClientWidget(HWND hWnd) const {
  const WindowEntry* entry = registry_.Find(hWnd);
  if (!entry) return nullptr;
  return entry->clientArea ? entry->clientArea.data() : entry->widget.data();
}

bool QtWindowSystem::ClientToScreen(HWND hWnd, POINTAPI& pt) {
  if (IsOther(hWnd)) {
    std::optional<X11Window> window = OtherWindow(hWnd);
    if (!window) return false;
    QPoint screen = FromDevice(QPoint(pt.x, pt.y) + window->client.topLeft());
    pt = {screen.x(), screen.y()};
    return true;
  }
  QWidget* client = ClientWidget(hWnd);
  if (!client) return false;
  QPoint screen = client->mapToGlobal(ToQPoint(pt));
  pt = {screen.x(), screen.y()};
  return true;
}

bool QtWindowSystem::ScreenToClient(HWND hWnd, POINTAPI& pt) {
  if (IsOther(hWnd)) {
    std::optional<X11Window> window = OtherWindow(hWnd);
    if (!window) return false;
    QPoint client = ToDevice(ToQPoint(pt)) - window->client.topLeft();
    pt = {client.x(), client.y()};
    return true;
  }
  QWidget* client = ClientWidget(hWnd);
  if (!client) return false;
  QPoint local = client->mapFromGlobal(ToQPoint(pt));
  pt = {local.x(), local.y()};
  return true;
}

// While the window holds the mouse the pointer leaves it, so the arrow is shown for the whole
// application too.
void QtWindowSystem::SetPointer(HWND hWnd, platform::Pointer pointer) {
  QWidget* widget = registry_.Widget(hWnd);
  if (!widget) return;
  if (pointer == platform::Pointer::UpArrow) {
    widget->setCursor(Qt::UpArrowCursor);
    ShowOverrideCursor(hWnd == GetCapture());
  } else {
    widget->unsetCursor();
    ShowOverrideCursor(false);
  }
}

void QtWindowSystem::ShowOverrideCursor(bool shown) {
  if (shown == overrideCursor_) return;
  if (shown)
    QApplication::setOverrideCursor(QCursor(Qt::UpArrowCursor));
  else
    QApplication::restoreOverrideCursor();
  overrideCursor_ = shown;
}

bool QtWindowSystem::CanDrawOn(HWND hWnd) const {
  return IsOther(hWnd) ? otherIds_.contains(hWnd) : registry_.Find(hWnd) != nullptr;
}

int32_t QtWindowSystem::GetSystemMetrics(int32_t index) {
  return index == platform::SM_CXBORDER ? 1 : 0;
}

// Only inverting frames show: the pen's band inside the rectangle (right and bottom outside)
// toggles on the window's outline layer. Other drawing is accepted and not shown.
bool QtWindowSystem::Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  std::optional<windowsystem::GdiObjects::Frame> frame = Gdi().FrameOf(dc, left, top, right, bottom);
  if (!frame) return false;
  OutlineLayer* outlines = OutlinesOf(frame->window);
  if (!outlines && !registry_.Find(frame->window)) return false;
  if (frame->rop != platform::R2_NOT || frame->bandPx == 0 || !outlines) return true;
  const platform::RECT& r = frame->rect;
  if (r.left == r.right || r.top == r.bottom) return true;
  QRect rect(r.left, r.top, r.right - r.left, r.bottom - r.top);
  if (outlines->ToggleOutline(rect, frame->bandPx) && onOutline) onOutline(frame->window, rect);
  return true;
}

// Another program's window gets the overlay, moved over it.
OutlineLayer* QtWindowSystem::OutlinesOf(HWND hWnd) {
  if (!IsOther(hWnd)) {
    const WindowEntry* entry = registry_.Find(hWnd);
    return entry ? entry->outlines : nullptr;
  }
  std::optional<X11Window> window = OtherWindow(hWnd);
  if (!window) return nullptr;
  if (overlay_.Bands().isEmpty()) overlay_.Cover(window->client, DevicePixelRatio());
  return &overlay_;
}

bool QtWindowSystem::InvalidateRect(HWND hWnd, bool) {
  if (hWnd == 0 || IsOther(hWnd)) overlay_.ClearOutlines();
  if (IsOther(hWnd)) return otherIds_.contains(hWnd);
  if (hWnd != 0 && !registry_.Find(hWnd)) return false;
  for (HWND handle : registry_.Handles()) {
    if (hWnd != 0 && handle != hWnd) continue;
    const WindowEntry* entry = registry_.Find(handle);
    if (entry->outlines) entry->outlines->ClearOutlines();
    entry->widget->update();
  }
  return true;
}

// x, y, cx and cy are the window's outer rectangle, as for the platform.
bool QtWindowSystem::SetWindowPos(HWND hWnd, HWND insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
                                  uint32_t flags) {
  QWidget* widget = registry_.Widget(hWnd);
  if (!widget) return false;
  if (insertAfter == platform::HWND_TOPMOST) {
    QWidget* window = widget->window();
    if (!window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
      bool shown = window->isVisible();
      window->setWindowFlag(Qt::WindowStaysOnTopHint, true);  // hides the window
      if (shown) window->show();
    }
  }
  if (!(flags & platform::SWP_NOMOVE)) widget->move(x, y);
  if (!(flags & platform::SWP_NOSIZE)) {
    QSize frame = widget->isWindow() ? widget->frameGeometry().size() - widget->size() : QSize();
    widget->resize(std::max(0, cx - frame.width()), std::max(0, cy - frame.height()));
  }
  return true;
}

std::vector<platform::RECT> QtWindowSystem::MonitorRects() {
  std::vector<platform::RECT> rects;
  for (const QScreen* screen : QGuiApplication::screens()) {
    QRect area = screen->geometry();
    rects.push_back({area.left(), area.top(), area.left() + area.width(), area.top() + area.height()});
  }
  return rects;
}

int32_t QtWindowSystem::TwipsPerPixel() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  double dpi = screen ? screen->logicalDotsPerInch() : 0;
  if (dpi <= 0) return kDefaultTwipsPerPixel;
  return std::max(1, static_cast<int32_t>(std::lround(kTwipsPerInch / dpi)));
}

}  // namespace lectryn::desktop
