#pragma once
// The window-system calls of the picker and the windows over the program's own Qt windows: the
// handles are those of the desktop's window registry, documents travel as tokens, and the device
// contexts draw the picker's inverted frames on the windows' outline layers.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "desktop/OtherPages.h"
#include "desktop/OverlayOutline.h"
#include "desktop/WindowRegistry.h"
#include "desktop/X11Windows.h"
#include "platform/WindowSystem.h"
#include "windowsystem/WindowSystemBase.h"

namespace lectryn::desktop {

class QtWindowSystem : public QObject, public windowsystem::WindowSystemBase {
 public:
  // Watches the application's presses and activations, so a QApplication must exist; the registry
  // outlives the window system.
  explicit QtWindowSystem(WindowRegistry& registry);
  ~QtWindowSystem() override;

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
  std::vector<platform::RECT> MonitorRects() override;
  int32_t TwipsPerPixel() override;

  // Told when an outline is drawn (not when it is erased), in the window's coordinates.
  std::function<void(platform::HWND hWnd, QRect rect)> onOutline;

  // Windows of other programs count too: those under X11, and as page windows those whose pages
  // `pages` reads. Both outlive the window system.
  void SetOtherPrograms(X11Windows* windows, OtherPages* pages);
  // The outline drawn over other programs' windows.
  const OverlayOutline& Overlay() const { return overlay_; }

  // Documents that hold a token now: pages that are gone leave the table.
  size_t LiveTokens() const { return documents_.size(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool CanDrawOn(platform::HWND hWnd) const override;

 private:
  QWidget* TopLevelAt(QPoint screenPt) const;
  QWidget* StackedTopLevelAt(QPoint screenPt) const;
  QWidget* ClientWidget(platform::HWND hWnd) const;
  bool Visit(const QObject* parent, const std::function<bool(platform::HWND)>& visit) const;
  platform::LRESULT TokenFor(const platform::DocumentPtr& document);
  void DropExpiredTokens();
  void ShowOverrideCursor(bool shown);
  // Other programs' windows get handles from their own range.
  bool IsOther(platform::HWND hWnd) const { return hWnd >= kFirstOtherHandle; }
  platform::HWND HandleOfOther(XWindowId id);
  std::optional<X11Window> OtherWindow(platform::HWND hWnd) const;
  std::set<XWindowId> OurWindowIds() const;
  static qreal DevicePixelRatio();
  static QPoint ToDevice(QPoint logical);
  static QPoint FromDevice(QPoint device);
  OutlineLayer* OutlinesOf(platform::HWND hWnd);
  static constexpr platform::HWND kFirstOtherHandle = 0x40000000;

  WindowRegistry& registry_;
  X11Windows* x11_ = nullptr;
  OtherPages* otherPages_ = nullptr;
  std::map<platform::HWND, XWindowId> otherIds_;
  std::map<XWindowId, platform::HWND> otherHandles_;
  OverlayOutline overlay_;
  struct Description {
    platform::HWND hWnd;
    std::optional<X11Window> window;
    std::chrono::steady_clock::time_point at;
  };
  static constexpr std::chrono::milliseconds kDescriptionKept{20};
  mutable std::optional<Description> described_;  // the other window asked for last
  std::map<platform::LRESULT, std::weak_ptr<platform::HTMLDocument>> documents_;
  platform::LRESULT lastToken_ = 0;
  platform::HWND capture_ = 0;  // taken by SetCapture until ReleaseCapture
  platform::HWND pressed_ = 0;  // the window a button went down on, until every button is up
  bool overrideCursor_ = false;
  std::list<QPointer<QWidget>> activated_;  // top-level windows, the last activated first
};

}  // namespace lectryn::desktop
