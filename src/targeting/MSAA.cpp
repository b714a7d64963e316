#include "targeting/MSAA.h"

#include "platform/Text.h"

namespace lectryn::targeting {

using platform::HWND;

platform::DocumentPtr DocumentFromWindow(platform::WindowSystem& windows, HWND hWnd) {
  if (hWnd == 0) return nullptr;
  if (!IsPageServerWindow(windows, hWnd)) {
    // The first page window below replaces hWnd; without one the message still goes to hWnd.
    windows.EnumChildWindows(
        hWnd, [&windows, &hWnd](HWND child) { return FindPageServerChild(windows, child, &hWnd) != 0; });
  }
  if (hWnd == 0) return nullptr;
  uint32_t msg = windows.RegisterWindowMessageA(kGetObjectMessage);
  platform::LRESULT lResult = 0;
  int32_t zero = 0;
  // Only the answer counts: a hung or slow window leaves it at 0.
  windows.SendMessageTimeoutA(hWnd, msg, 0, reinterpret_cast<intptr_t>(&zero), platform::SMTO_ABORTIFHUNG,
                              kGetObjectTimeoutMs, lResult);
  if (lResult == 0) return nullptr;
  return windows.ObjectFromLresult(lResult, 0);
}

bool IsPageServerWindow(platform::WindowSystem& windows, HWND hWnd) {
  std::string buffer(kClassNameBufferLength, '\0');
  int32_t n = windows.GetClassNameA(hWnd, buffer, kClassNameBufferLength);
  std::string name = buffer.substr(0, n > 0 ? static_cast<size_t>(n) : 0);
  return platform::EqualsIgnoringAsciiCase(name, kPageServerClass);
}

int32_t FindPageServerChild(platform::WindowSystem& windows, HWND hWnd, HWND* lParam) {
  if (!IsPageServerWindow(windows, hWnd)) return 1;
  *lParam = hWnd;
  return 0;
}

}  // namespace lectryn::targeting
