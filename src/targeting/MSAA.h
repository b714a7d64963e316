#pragma once
// The document shown in a page window, reached through the accessibility message that page
// windows answer. Every failure ends in an empty document; nothing is reported.
#include <cstdint>
#include <string>

#include "platform/Page.h"
#include "platform/WindowSystem.h"

namespace lectryn::targeting {

constexpr char kPageServerClass[] = "Internet Explorer_Server";
constexpr char kGetObjectMessage[] = "WM_HTML_GETOBJECT";
constexpr int32_t kClassNameBufferLength = 100;  // characters
constexpr uint32_t kGetObjectTimeoutMs = 1000;

// The page document of hWnd, or of the first page window among its descendants; Nothing when
// hWnd is 0 (no call is made then), when the window gives no answer in time or answers 0.
platform::DocumentPtr DocumentFromWindow(platform::WindowSystem& windows, platform::HWND hWnd);

// Whether the window's class is the page window's, in any mix of letter case.
bool IsPageServerWindow(platform::WindowSystem& windows, platform::HWND hWnd);

// The child-window callback: stores a page window into *lParam and returns 0 (stop), else 1.
int32_t FindPageServerChild(platform::WindowSystem& windows, platform::HWND hWnd, platform::HWND* lParam);

}  // namespace lectryn::targeting
