#pragma once
// The drag from the main window onto a page element. A press on the main window's background
// takes the mouse; every move finds the page window under the pointer, its document and the
// element there (following frames), outlines it by inverting pixels on the page window and makes
// it the narration's target; the release takes the element's text and starts reading it.
//
// The picker writes the narration state of the main window (pVoice, workingDoc, rng, tbSpeach,
// mlngHwndCaptured, mlngPrevHwndCaptured) and keeps its own members below. Coordinates are pixels.
#include <cstdint>
#include <string>

#include "forms/TextBox.h"
#include "narration/Narration.h"
#include "platform/Page.h"
#include "platform/WindowSystem.h"
#include "targeting/Outline.h"

namespace lectryn::targeting {

constexpr char kDropDownClass[] = "Internet Explorer_TridentCmboBx";
constexpr int32_t kPickerClassBufferLength = 255;  // characters
constexpr uint32_t kOutlineColour = platform::RGB(0, 255, 0);
constexpr int32_t kOutlineBorders = 3;  // the pen is this many system borders wide
constexpr int32_t kSmallestOutlineEdge = 1;

class Picker {
 public:
  Picker(narration::Narration& main, platform::WindowSystem& windows);
  Picker(const Picker&) = delete;
  Picker& operator=(const Picker&) = delete;

  // The main window's handle, once the window has one.
  void SetWindow(platform::HWND hWnd) { hWnd_ = hWnd; }

  // Mouse handlers of the main window; X and Y in pixels of its client area. The button is not
  // looked at: every button drags.
  void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
  void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
  void Form_MouseUp(int16_t Button, int16_t Shift, float X, float Y);

  platform::DocumentPtr hoverDoc;  // the document under the pointer at the last move
  OutlineRect outlineRect;         // the outline drawn now, or none
  forms::TextBox tbhwnd;           // the last device context drawn on, in decimal

 private:
  void MoveOverScreenPoint(platform::POINTAPI pt);
  platform::HWND PageWindowFromPoint(platform::POINTAPI pt);
  void TrackElement(platform::ElementPtr& el, platform::POINTAPI& pt);
  void FollowFrame(const platform::DocumentPtr& frameDoc, platform::ElementPtr& el, platform::POINTAPI& pt,
                   int32_t& left, int32_t& top);
  void ShowOutline(const OutlineRect& next);
  void EraseOutline();
  void InvertOutline(const OutlineRect& rect, platform::HWND hWnd);
  void DrawOutline(const OutlineRect& rect, platform::HDC dc);

  narration::Narration& main_;
  platform::WindowSystem& windows_;
  platform::HWND hWnd_ = 0;
  // The window outlineRect is drawn on: it stays there when the pointer crosses to another
  // window of the same page, and is erased there, not on whichever window is under the pointer.
  platform::HWND outlineWindow_ = 0;
};

// A document's address; empty for no document or when it cannot be read.
std::u16string DocumentUrl(const platform::DocumentPtr& doc);

}  // namespace lectryn::targeting
