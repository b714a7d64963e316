#include "sim/SimWindowSystem.h"

#include <algorithm>
#include <utility>

namespace lectryn::sim {

using platform::HDC;
using platform::HWND;
using platform::LRESULT;
using platform::POINTAPI;

HWND SimWindowSystem::CreateWindow(std::string className, SimRect screenRect, HWND parent) {
  HWND hWnd = ++lastWindow_;
  Window& window = windows_[hWnd];
  window.className = std::move(className);
  window.rect = screenRect;
  window.parent = Exists(parent) ? parent : 0;
  if (window.parent == 0) zOrder_.push_back(hWnd);
  return hWnd;
}

void SimWindowSystem::DestroyWindow(HWND hWnd) {
  for (HWND child : ChildrenOf(hWnd)) DestroyWindow(child);
  windows_.erase(hWnd);
  std::erase(zOrder_, hWnd);
  if (capture_ == hWnd) capture_ = 0;
}

void SimWindowSystem::BringToTop(HWND hWnd) {
  if (std::erase(zOrder_, hWnd) != 0) zOrder_.push_back(hWnd);
}

void SimWindowSystem::MoveWindow(HWND hWnd, SimRect screenRect) {
  Window* window = Find(hWnd);
  if (!window) return;
  window->rect = screenRect;
  window->pixels.clear();  // a moved window repaints whole
}

void SimWindowSystem::SetClientInset(HWND hWnd, int32_t left, int32_t top) {
  if (Window* window = Find(hWnd)) {
    window->insetLeft = left;
    window->insetTop = top;
  }
}

void SimWindowSystem::SetDocument(HWND hWnd, platform::DocumentPtr document) {
  Window* window = Find(hWnd);
  if (!window) return;
  window->answer = Answer::Document;
  window->document = std::move(document);
  window->token = window->document ? ++lastToken_ : 0;
}

void SimWindowSystem::SetAnswer(HWND hWnd, Answer answer, int64_t delayMs) {
  if (Window* window = Find(hWnd)) {
    window->answer = answer;
    window->delayMs = delayMs;
  }
}

const SimWindowSystem::Window* SimWindowSystem::Find(HWND hWnd) const {
  auto found = windows_.find(hWnd);
  return found == windows_.end() ? nullptr : &found->second;
}

SimRect SimWindowSystem::WindowRect(HWND hWnd) const {
  const Window* window = Find(hWnd);
  return window ? window->rect : SimRect{};
}

POINTAPI SimWindowSystem::ClientOrigin(HWND hWnd) const {
  const Window* window = Find(hWnd);
  if (!window) return {};
  return {window->rect.left + window->insetLeft, window->rect.top + window->insetTop};
}

std::vector<uint32_t> SimWindowSystem::Pixels(HWND hWnd) const {
  const Window* window = Find(hWnd);
  if (!window) return {};
  if (!window->pixels.empty()) return window->pixels;
  return std::vector<uint32_t>(static_cast<size_t>(window->rect.Width()) * window->rect.Height(),
                               kBackground);
}

uint32_t SimWindowSystem::Pixel(HWND hWnd, int32_t x, int32_t y) const {
  const Window* window = Find(hWnd);
  if (!window || x < 0 || y < 0 || x >= window->rect.Width() || y >= window->rect.Height())
    return kBackground;
  if (window->pixels.empty()) return kBackground;
  return window->pixels[static_cast<size_t>(y) * window->rect.Width() + x];
}

std::vector<POINTAPI> SimWindowSystem::ChangedPixels(HWND hWnd) const {
  std::vector<POINTAPI> changed;
  const Window* window = Find(hWnd);
  if (!window || window->pixels.empty()) return changed;
  for (int32_t y = 0; y < window->rect.Height(); ++y)
    for (int32_t x = 0; x < window->rect.Width(); ++x)
      if (window->pixels[static_cast<size_t>(y) * window->rect.Width() + x] != kBackground)
        changed.push_back({x, y});
  return changed;
}

platform::Pointer SimWindowSystem::PointerOf(HWND hWnd) const {
  const Window* window = Find(hWnd);
  return window ? window->pointer : platform::Pointer::Default;
}

size_t SimWindowSystem::CountCalls(const std::string& name) const {
  return static_cast<size_t>(std::count(calls_.begin(), calls_.end(), name));
}

std::vector<HWND> SimWindowSystem::ChildrenOf(HWND parent) const {
  std::vector<HWND> children;  // handles grow with creation, so map order is creation order
  for (const auto& [hWnd, window] : windows_)
    if (window.parent == parent && parent != 0) children.push_back(hWnd);
  return children;
}

// Later siblings lie above earlier ones; the deepest window that contains the point wins.
HWND SimWindowSystem::DeepestChildAt(HWND parent, POINTAPI pt) const {
  std::vector<HWND> children = ChildrenOf(parent);
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (Find(*it)->rect.Contains(pt)) return DeepestChildAt(*it, pt);
  return parent;
}

HWND SimWindowSystem::WindowFromPoint(POINTAPI pt) {
  Record("WindowFromPoint");
  for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it)
    if (Find(*it)->rect.Contains(pt)) return DeepestChildAt(*it, pt);
  return 0;
}

int32_t SimWindowSystem::GetClassNameA(HWND hWnd, std::string& buffer, int32_t bufferLength) {
  Record("GetClassNameA");
  const Window* window = Find(hWnd);
  if (!window || bufferLength < 1) return 0;
  size_t copied = std::min(window->className.size(), static_cast<size_t>(bufferLength - 1));
  if (buffer.size() < copied + 1) buffer.resize(copied + 1);
  std::copy_n(window->className.begin(), copied, buffer.begin());
  buffer[copied] = '\0';
  return static_cast<int32_t>(copied);
}

HWND SimWindowSystem::GetParent(HWND hWnd) {
  Record("GetParent");
  const Window* window = Find(hWnd);
  return window ? window->parent : 0;
}

bool SimWindowSystem::Visit(HWND parent, const std::function<bool(HWND)>& visit) const {
  for (HWND child : ChildrenOf(parent)) {
    if (!visit(child)) return false;
    if (!Visit(child, visit)) return false;
  }
  return true;
}

bool SimWindowSystem::EnumChildWindows(HWND parent, const std::function<bool(HWND)>& visit) {
  Record("EnumChildWindows");
  if (!Exists(parent)) return false;
  Visit(parent, visit);
  return true;
}

LRESULT SimWindowSystem::SendMessageTimeoutA(HWND hWnd, uint32_t msg, int64_t, int64_t, uint32_t flags,
                                             uint32_t timeoutMs, LRESULT& result) {
  Record("SendMessageTimeoutA");
  const Window* window = Find(hWnd);
  if (!window) return 0;
  if (window->answer == Answer::Hung) {
    if (flags & platform::SMTO_ABORTIFHUNG) return 0;
    loop_.PassTime(timeoutMs);
    return 0;
  }
  bool asksDocument = Messages().Is(msg, "WM_HTML_GETOBJECT");
  if (window->answer == Answer::Ordinary || !asksDocument) {
    result = 0;
    return 1;
  }
  if (window->delayMs < 0 || window->delayMs > timeoutMs) {
    loop_.PassTime(timeoutMs);
    return 0;
  }
  loop_.PassTime(window->delayMs);
  result = window->token;
  return 1;
}

platform::DocumentPtr SimWindowSystem::ObjectFromLresult(LRESULT result, int64_t) {
  Record("ObjectFromLresult");
  if (result == 0) return nullptr;
  for (const auto& [hWnd, window] : windows_)
    if (window.token == result) return window.document;
  return nullptr;
}

HWND SimWindowSystem::SetCapture(HWND hWnd) {
  Record("SetCapture");
  HWND previous = capture_;
  capture_ = Exists(hWnd) ? hWnd : 0;
  return previous;
}

HWND SimWindowSystem::GetCapture() {
  Record("GetCapture");
  return capture_;
}

bool SimWindowSystem::ReleaseCapture() {
  Record("ReleaseCapture");
  capture_ = 0;
  return true;
}

bool SimWindowSystem::ClientToScreen(HWND hWnd, POINTAPI& pt) {
  Record("ClientToScreen");
  if (!Exists(hWnd)) return false;
  POINTAPI origin = ClientOrigin(hWnd);
  pt.x += origin.x;
  pt.y += origin.y;
  return true;
}

bool SimWindowSystem::ScreenToClient(HWND hWnd, POINTAPI& pt) {
  Record("ScreenToClient");
  if (!Exists(hWnd)) return false;
  POINTAPI origin = ClientOrigin(hWnd);
  pt.x -= origin.x;
  pt.y -= origin.y;
  return true;
}

void SimWindowSystem::SetPointer(HWND hWnd, platform::Pointer pointer) {
  Record("SetPointer");
  if (Window* window = Find(hWnd)) window->pointer = pointer;
}

int32_t SimWindowSystem::GetSystemMetrics(int32_t index) {
  Record("GetSystemMetrics");
  return index == platform::SM_CXBORDER ? borderMetric_ : 0;
}

// Pixels outside the window are not drawn.
void SimWindowSystem::Paint(Window& window, int32_t rop, int32_t x, int32_t y, uint32_t colour) {
  if (x < 0 || y < 0 || x >= window.rect.Width() || y >= window.rect.Height()) return;
  if (window.pixels.empty())
    window.pixels.assign(static_cast<size_t>(window.rect.Width()) * window.rect.Height(), kBackground);
  uint32_t& pixel = window.pixels[static_cast<size_t>(y) * window.rect.Width() + x];
  pixel = rop == platform::R2_NOT ? (~pixel & 0xFFFFFF) : colour;
}

// The frame band of the pen lies inside the rectangle (right and bottom excluded); a brush other
// than the null brush fills what is inside the band. A context whose window is gone draws nothing.
bool SimWindowSystem::Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Record("Rectangle");
  std::optional<windowsystem::GdiObjects::Frame> frame = Gdi().FrameOf(dc, left, top, right, bottom);
  Window* window = frame ? Find(frame->window) : nullptr;
  if (!window) return false;
  const platform::RECT& r = frame->rect;
  const int32_t band = frame->bandPx;
  int32_t fromX = std::max(r.left, 0), toX = std::min(r.right, window->rect.Width());
  int32_t fromY = std::max(r.top, 0), toY = std::min(r.bottom, window->rect.Height());
  for (int32_t y = fromY; y < toY; ++y) {
    for (int32_t x = fromX; x < toX; ++x) {
      bool onBand = x < r.left + band || x >= r.right - band || y < r.top + band || y >= r.bottom - band;
      if (onBand)
        Paint(*window, frame->rop, x, y, frame->penColour);
      else if (frame->fillColour)
        Paint(*window, frame->rop, x, y, *frame->fillColour);
      else
        x = std::max(x, r.right - band - 1);  // skip the untouched inside
    }
  }
  return true;
}

bool SimWindowSystem::InvalidateRect(HWND hWnd, bool) {
  Record("InvalidateRect");
  for (auto& [handle, window] : windows_)
    if (hWnd == 0 || handle == hWnd) window.pixels.clear();
  return hWnd == 0 || Exists(hWnd);
}

bool SimWindowSystem::SetWindowPos(HWND hWnd, HWND insertAfter, int32_t, int32_t, int32_t, int32_t,
                                   uint32_t) {
  Record("SetWindowPos");
  if (!Exists(hWnd)) return false;
  if (insertAfter == platform::HWND_TOPMOST) BringToTop(hWnd);
  return true;
}

}  // namespace lectryn::sim
