#include "windowsystem/WindowSystemBase.h"

namespace lectryn::windowsystem {

using platform::HDC;
using platform::HGDIOBJ;
using platform::HWND;

uint32_t WindowSystemBase::RegisterWindowMessageA(const std::string& name) {
  Called("RegisterWindowMessageA");
  return messages_.Register(name);
}

HDC WindowSystemBase::GetWindowDC(HWND hWnd) {
  Called("GetWindowDC");
  return CanDrawOn(hWnd) ? gdi_.GetWindowDC(hWnd) : 0;
}

int32_t WindowSystemBase::ReleaseDC(HWND hWnd, HDC dc) {
  Called("ReleaseDC");
  return gdi_.ReleaseDC(hWnd, dc);
}

int32_t WindowSystemBase::SetROP2(HDC dc, int32_t mode) {
  Called("SetROP2");
  return gdi_.SetROP2(dc, mode);
}

HGDIOBJ WindowSystemBase::CreatePen(int32_t style, int32_t width, uint32_t colour) {
  Called("CreatePen");
  return gdi_.CreatePen(style, width, colour);
}

HGDIOBJ WindowSystemBase::GetStockObject(int32_t index) {
  Called("GetStockObject");
  return gdi_.GetStockObject(index);
}

HGDIOBJ WindowSystemBase::SelectObject(HDC dc, HGDIOBJ object) {
  Called("SelectObject");
  return gdi_.SelectObject(dc, object);
}

bool WindowSystemBase::DeleteObject(HGDIOBJ object) {
  Called("DeleteObject");
  return gdi_.DeleteObject(object);
}

}  // namespace lectryn::windowsystem
