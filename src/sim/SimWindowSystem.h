#pragma once
// A simulated desktop for tests and headless runs: windows with handles, class names, parents,
// screen rectangles and a z-order; page windows that answer "WM_HTML_GETOBJECT" at once, slowly,
// never, or are hung (time passes on the virtual clock of the UI loop); mouse capture; and device
// contexts that draw into a pixel layer per window, so tests can read what an outline left behind.
// Every call is recorded by name, so a test can show that a call was not made.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/WindowSystem.h"
#include "sim/SimUiLoop.h"
#include "windowsystem/WindowSystemBase.h"

namespace lectryn::sim {

struct SimRect {
  int32_t left = 0;  // screen pixels; right and bottom are outside
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool Contains(platform::POINTAPI pt) const {
    return pt.x >= left && pt.x < right && pt.y >= top && pt.y < bottom;
  }
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};

// How a window answers "WM_HTML_GETOBJECT".
enum class Answer {
  Ordinary,  // not a page: the default handling answers 0 at once
  Document,  // answers a token for its document (0 while it has none) after its delay
  Hung,      // does not take messages at all
};

constexpr uint32_t kBackground = 0xFFFFFF;  // the colour of every pixel of an untouched layer

class SimWindowSystem : public windowsystem::WindowSystemBase {
 public:
  explicit SimWindowSystem(SimUiLoop& loop) : loop_(loop) {}

  // Building the desktop. A new top-level window goes on top of the others; a child lies inside
  // its parent's rectangle (screen coordinates) and above its earlier siblings.
  platform::HWND CreateWindow(std::string className, SimRect screenRect, platform::HWND parent = 0);
  void DestroyWindow(platform::HWND hWnd);
  void BringToTop(platform::HWND hWnd);
  void MoveWindow(platform::HWND hWnd, SimRect screenRect);
  // The client area's top-left inside the window (a border or a title bar), pixels.
  void SetClientInset(platform::HWND hWnd, int32_t left, int32_t top);
  void SetDocument(platform::HWND hWnd, platform::DocumentPtr document);  // makes it answer Document
  void SetAnswer(platform::HWND hWnd, Answer answer, int64_t delayMs = 0);
  void SetBorderMetric(int32_t pixels) { borderMetric_ = pixels; }
  // The screens MonitorRects reports (one 1920 x 1080 screen unless set).
  void SetMonitors(std::vector<platform::RECT> monitors) { monitors_ = std::move(monitors); }
  // What the system does at a button press: the pressed window holds the pointer until release.
  void PressButtonOn(platform::HWND hWnd) { capture_ = hWnd; }

  // Reading the desktop.
  SimRect WindowRect(platform::HWND hWnd) const;
  platform::POINTAPI ClientOrigin(platform::HWND hWnd) const;  // screen pixels
  bool Exists(platform::HWND hWnd) const { return windows_.count(hWnd) != 0; }
  // The pixel at window coordinates (origin at the window's outer top-left).
  uint32_t Pixel(platform::HWND hWnd, int32_t x, int32_t y) const;
  // Pixels that differ from the background, as "x,y" sorted by row; for small windows in tests.
  std::vector<platform::POINTAPI> ChangedPixels(platform::HWND hWnd) const;
  // The whole layer, row by row (the window's size, all background when never drawn on).
  std::vector<uint32_t> Pixels(platform::HWND hWnd) const;
  platform::Pointer PointerOf(platform::HWND hWnd) const;
  int32_t OpenDeviceContexts() const { return static_cast<int32_t>(Gdi().OpenContexts()); }
  int32_t LivePens() const { return static_cast<int32_t>(Gdi().LivePens()); }
  // Calls by their platform name, in order, e.g. "SendMessageTimeoutA".
  const std::vector<std::string>& Calls() const { return calls_; }
  size_t CountCalls(const std::string& name) const;
  void ClearCalls() { calls_.clear(); }

  // platform::WindowSystem, beside the bookkeeping of WindowSystemBase
  platform::HWND WindowFromPoint(platform::POINTAPI pt) override;
  int32_t GetClassNameA(platform::HWND hWnd, std::string& buffer, int32_t bufferLength) override;
  platform::HWND GetParent(platform::HWND hWnd) override;
  bool EnumChildWindows(platform::HWND parent, const std::function<bool(platform::HWND)>& visit) override;
  platform::LRESULT SendMessageTimeoutA(platform::HWND hWnd, uint32_t msg, int64_t wParam, int64_t lParam,
                                        uint32_t flags, uint32_t timeoutMs,
                                        platform::LRESULT& result) override;
  platform::DocumentPtr ObjectFromLresult(platform::LRESULT result, int64_t wParam) override;
  platform::HWND SetCapture(platform::HWND hWnd) override;
  platform::HWND GetCapture() override;
  bool ReleaseCapture() override;
  bool ClientToScreen(platform::HWND hWnd, platform::POINTAPI& pt) override;
  bool ScreenToClient(platform::HWND hWnd, platform::POINTAPI& pt) override;
  void SetPointer(platform::HWND hWnd, platform::Pointer pointer) override;
  int32_t GetSystemMetrics(int32_t index) override;
  bool Rectangle(platform::HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool InvalidateRect(platform::HWND hWnd, bool erase) override;
  bool SetWindowPos(platform::HWND hWnd, platform::HWND insertAfter, int32_t x, int32_t y, int32_t cx,
                    int32_t cy, uint32_t flags) override;
  std::vector<platform::RECT> MonitorRects() override { return monitors_; }

 protected:
  bool CanDrawOn(platform::HWND hWnd) const override { return Exists(hWnd); }
  void Called(std::string_view name) override { Record(std::string(name)); }

 private:
  struct Window {
    std::string className;
    SimRect rect;
    platform::HWND parent = 0;
    int32_t insetLeft = 0;
    int32_t insetTop = 0;
    Answer answer = Answer::Ordinary;
    int64_t delayMs = 0;
    platform::DocumentPtr document;
    platform::LRESULT token = 0;  // its answer while it holds document
    platform::Pointer pointer = platform::Pointer::Default;
    std::vector<uint32_t> pixels;  // rect's size, row by row; empty until first drawn on
  };
  const Window* Find(platform::HWND hWnd) const;
  Window* Find(platform::HWND hWnd) { return const_cast<Window*>(std::as_const(*this).Find(hWnd)); }
  platform::HWND DeepestChildAt(platform::HWND parent, platform::POINTAPI pt) const;
  std::vector<platform::HWND> ChildrenOf(platform::HWND parent) const;  // creation order
  bool Visit(platform::HWND parent, const std::function<bool(platform::HWND)>& visit) const;
  static void Paint(Window& window, int32_t rop, int32_t x, int32_t y, uint32_t colour);
  void Record(std::string name) { calls_.push_back(std::move(name)); }

  SimUiLoop& loop_;
  std::map<platform::HWND, Window> windows_;
  std::vector<platform::HWND> zOrder_;  // top-level windows, bottom first
  platform::HWND lastWindow_ = 0x10;
  platform::HWND capture_ = 0;
  int32_t borderMetric_ = 1;
  std::vector<platform::RECT> monitors_{{0, 0, 1920, 1080}};
  platform::LRESULT lastToken_ = 0;
  std::vector<std::string> calls_;
};

}  // namespace lectryn::sim
