#pragma once
// The window-system calls whose answers are bookkeeping alone (registered messages, device
// contexts, pens and stock objects), answered alike by every window system. A window system adds
// its windows, the delivery of messages and the drawing.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/WindowSystem.h"
#include "windowsystem/GdiObjects.h"
#include "windowsystem/RegisteredMessages.h"

namespace lectryn::windowsystem {

class WindowSystemBase : public platform::WindowSystem {
 public:
  uint32_t RegisterWindowMessageA(const std::string& name) final;
  platform::HDC GetWindowDC(platform::HWND hWnd) final;
  int32_t ReleaseDC(platform::HWND hWnd, platform::HDC dc) final;
  int32_t SetROP2(platform::HDC dc, int32_t mode) final;
  platform::HGDIOBJ CreatePen(int32_t style, int32_t width, uint32_t colour) final;
  platform::HGDIOBJ GetStockObject(int32_t index) final;
  platform::HGDIOBJ SelectObject(platform::HDC dc, platform::HGDIOBJ object) final;
  bool DeleteObject(platform::HGDIOBJ object) final;

 protected:
  // Whether hWnd is a window a device context can be taken for now.
  virtual bool CanDrawOn(platform::HWND hWnd) const = 0;
  // Told of each call above by its platform name, before it is answered.
  virtual void Called(std::string_view /*name*/) {}

  const RegisteredMessages& Messages() const { return messages_; }
  const GdiObjects& Gdi() const { return gdi_; }

 private:
  RegisteredMessages messages_;
  GdiObjects gdi_;
};

}  // namespace lectryn::windowsystem
