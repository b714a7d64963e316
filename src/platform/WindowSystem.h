#pragma once
// The window-system operations that the picker and the windows call, with their platform names.
// Handles are 32-bit signed; 0 means none. Coordinates are pixels.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Page.h"

namespace lectryn::platform {

using HWND = int32_t;
using HDC = int32_t;
using HGDIOBJ = int32_t;
using LRESULT = int64_t;

struct POINTAPI {
  int32_t x = 0;
  int32_t y = 0;
};

// right and bottom are outside.
struct RECT {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const RECT&) const = default;
};

constexpr HWND HWND_TOPMOST = -1;
constexpr uint32_t SWP_NOSIZE = 1;
constexpr uint32_t SWP_NOMOVE = 2;
constexpr uint32_t SMTO_ABORTIFHUNG = 2;
constexpr int32_t SM_CXBORDER = 5;
constexpr int32_t R2_NOT = 6;
constexpr int32_t PS_INSIDEFRAME = 6;
constexpr int32_t NULL_BRUSH = 5;

constexpr uint32_t RGB(uint8_t r, uint8_t g, uint8_t b) {
  return r | (g << 8) | (b << 16);
}

enum class Pointer { Default, UpArrow };

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  virtual HWND WindowFromPoint(POINTAPI pt) = 0;
  // Copies at most bufferLength - 1 characters; returns the number copied (0 on failure).
  virtual int32_t GetClassNameA(HWND hWnd, std::string& buffer, int32_t bufferLength) = 0;
  virtual HWND GetParent(HWND hWnd) = 0;
  // Calls visit for every descendant until it returns false.
  virtual bool EnumChildWindows(HWND parent, const std::function<bool(HWND)>& visit) = 0;
  virtual uint32_t RegisterWindowMessageA(const std::string& name) = 0;
  // Returns non-zero when the window answered in time; result receives its answer.
  virtual LRESULT SendMessageTimeoutA(HWND hWnd, uint32_t msg, int64_t wParam, int64_t lParam, uint32_t flags,
                                      uint32_t timeoutMs, LRESULT& result) = 0;
  // Turns a page window's answer to "WM_HTML_GETOBJECT" into its document; Nothing on failure.
  virtual DocumentPtr ObjectFromLresult(LRESULT result, int64_t wParam) = 0;

  virtual HWND SetCapture(HWND hWnd) = 0;  // returns the previous holder
  virtual HWND GetCapture() = 0;
  virtual bool ReleaseCapture() = 0;
  virtual bool ClientToScreen(HWND hWnd, POINTAPI& pt) = 0;
  virtual bool ScreenToClient(HWND hWnd, POINTAPI& pt) = 0;
  virtual void SetPointer(HWND hWnd, Pointer pointer) = 0;

  virtual HDC GetWindowDC(HWND hWnd) = 0;
  virtual int32_t ReleaseDC(HWND hWnd, HDC dc) = 0;
  virtual int32_t GetSystemMetrics(int32_t index) = 0;
  virtual int32_t SetROP2(HDC dc, int32_t mode) = 0;
  virtual HGDIOBJ CreatePen(int32_t style, int32_t width, uint32_t colour) = 0;
  virtual HGDIOBJ GetStockObject(int32_t index) = 0;
  virtual HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) = 0;
  virtual bool Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  virtual bool DeleteObject(HGDIOBJ object) = 0;
  // hWnd 0 repaints every window.
  virtual bool InvalidateRect(HWND hWnd, bool erase) = 0;
  virtual bool SetWindowPos(HWND hWnd, HWND insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
                            uint32_t flags) = 0;

  // The screens of the desktop in pixels, so a window can tell a place nobody can reach; empty when
  // the system does not say.
  virtual std::vector<RECT> MonitorRects() { return {}; }
  // Twips in one pixel of the screens (15 at 96 DPI).
  virtual int32_t TwipsPerPixel() { return 15; }
};

}  // namespace lectryn::platform
