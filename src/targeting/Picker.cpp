#include "targeting/Picker.h"

#include <cmath>
#include <limits>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "targeting/MSAA.h"

namespace lectryn::targeting {

using platform::DocumentPtr;
using platform::ElementPtr;
using platform::HWND;
using platform::POINTAPI;
using platform::Tolerate;

namespace {

// Nearest whole pixel, halves to even; out-of-range values are held at the ends.
int32_t ToPixel(float value) {
  if (!std::isfinite(value)) return 0;
  double rounded = std::nearbyint(static_cast<double>(value));
  constexpr double kLow = std::numeric_limits<int32_t>::min();
  constexpr double kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(rounded < kLow ? kLow : rounded > kHigh ? kHigh : rounded);
}

// A document without a body fails like any other page operation that cannot be done.
ElementPtr BodyOf(platform::HTMLDocument& doc) {
  ElementPtr body = doc.body();
  if (!body) throw platform::Failure("the document has no body");
  return body;
}

bool IsReadable(const std::u16string& readyState) {
  return readyState == u"complete" || readyState == u"interactive";
}

}  // namespace

std::u16string DocumentUrl(const DocumentPtr& doc) {
  std::u16string url;
  if (doc) Tolerate([&] { url = doc->URL(); });
  return url;
}

Picker::Picker(narration::Narration& main, platform::WindowSystem& windows)
    : tbhwnd("tbhwnd", u""), main_(main), windows_(windows) {}

void Picker::Form_MouseDown(int16_t, int16_t, float, float) {
  // The press itself gave the window the mouse, so a holder is the ordinary answer.
  if (windows_.SetCapture(hWnd_) == 0) return;
  windows_.SetPointer(hWnd_, platform::Pointer::UpArrow);
  outlineRect = kNoOutline;  // the release of the last drag repainted the screen
  hoverDoc = nullptr;
}

void Picker::Form_MouseMove(int16_t, int16_t, float X, float Y) {
  if (windows_.GetCapture() == 0) return;
  POINTAPI pt{ToPixel(X), ToPixel(Y)};
  windows_.ClientToScreen(hWnd_, pt);
  // A page that fails under the pointer (closed, replaced) ends this move quietly.
  Tolerate([&] { MoveOverScreenPoint(pt); });
}

void Picker::MoveOverScreenPoint(POINTAPI pt) {
  main_.mlngPrevHwndCaptured = main_.mlngHwndCaptured;
  main_.mlngHwndCaptured = PageWindowFromPoint(pt);
  DocumentPtr doc = DocumentFromWindow(windows_, main_.mlngHwndCaptured);
  if (DocumentUrl(hoverDoc) != DocumentUrl(doc) && main_.mlngPrevHwndCaptured != 0) EraseOutline();
  hoverDoc = doc;
  windows_.ScreenToClient(main_.mlngHwndCaptured, pt);
  if (!hoverDoc) return;
  main_.pVoice = nullptr;  // moving over a page ends any reading
  ElementPtr el = hoverDoc->elementFromPoint(pt.x, pt.y);
  if (!el) return;
  std::u16string name = el->nodeName();
  if (name == u"HTML") return;  // the margin outside the body is never a target
  bool hasText = !narration::TrimLineBreaks(el->innerText()).empty();
  if (!hasText && name != u"FRAME" && name != u"IFRAME") return;
  el = hoverDoc->elementFromPoint(pt.x, pt.y);
  TrackElement(el, pt);
}

HWND Picker::PageWindowFromPoint(POINTAPI pt) {
  HWND h = windows_.WindowFromPoint(pt);
  std::string buffer(kPickerClassBufferLength, '\0');
  windows_.GetClassNameA(h, buffer, kPickerClassBufferLength);
  std::string name = StripNulls(buffer);
  if (platform::EqualsIgnoringAsciiCase(name, kDropDownClass))
    h = windows_.GetParent(h);  // a page's drop-down list belongs to its page window
  else if (!platform::EqualsIgnoringAsciiCase(name, kPageServerClass))
    h = 0;
  return h;
}

// pt is in the page window's client coordinates; for a frame, el and pt become the element and
// the point inside the frame's document.
void Picker::TrackElement(ElementPtr& el, POINTAPI& pt) {
  if (!el) return;
  if (!IsReadable(hoverDoc->readyState())) return;
  POINTAPI p = ElementPagePosition(el);
  int32_t top = 0;
  int32_t left = 0;
  DocumentPtr frameDoc;
  Tolerate([&] {
    if (auto window = el->contentWindow()) frameDoc = window->document();
  });
  Tolerate([&] { top = p.y - BodyOf(*hoverDoc)->scrollTop(); });
  Tolerate([&] { left = p.x - BodyOf(*hoverDoc)->scrollLeft(); });
  if (frameDoc) FollowFrame(frameDoc, el, pt, left, top);
  int32_t bottom = top + el->offsetHeight();
  int32_t right = left + el->offsetWidth();
  if (left < kSmallestOutlineEdge) left = kSmallestOutlineEdge;
  if (top < kSmallestOutlineEdge) top = kSmallestOutlineEdge;

  main_.workingDoc = frameDoc ? frameDoc : hoverDoc;
  main_.rng = nullptr;
  Tolerate([&] { main_.rng = BodyOf(*main_.workingDoc)->createTextRange(); });
  if (!main_.rng) return;
  Tolerate([&] { main_.rng->moveToElementText(*el); });  // else the range keeps the whole body
  ShowOutline({left, top, right, bottom});
}

// left and top hold the frame element's border box in the outer view. The frame's content starts
// inside its border; the inner element's place is its page position less the frame's own scroll.
void Picker::FollowFrame(const DocumentPtr& frameDoc, ElementPtr& el, POINTAPI& pt, int32_t& left,
                         int32_t& top) {
  int32_t frameLeft = left;
  int32_t frameTop = top;
  Tolerate([&] { frameLeft += el->clientLeft(); });
  Tolerate([&] { frameTop += el->clientTop(); });
  pt.x -= frameLeft;
  pt.y -= frameTop;
  ElementPtr inner;
  Tolerate([&] { inner = frameDoc->elementFromPoint(pt.x, pt.y); });
  if (!inner) return;  // the frame element itself is the target, where it is
  el = inner;
  POINTAPI q = ElementPagePosition(el);
  int32_t scrollTop = 0;
  int32_t scrollLeft = 0;
  Tolerate([&] { scrollTop = frameDoc->documentElement()->scrollTop(); });
  Tolerate([&] { scrollLeft = frameDoc->documentElement()->scrollLeft(); });
  top = frameTop + q.y - scrollTop;
  left = frameLeft + q.x - scrollLeft;
}

// Inverting twice restores the pixels, so an outline is moved by drawing the old one again and
// is drawn only when it changes: a still pointer causes no flicker.
void Picker::ShowOutline(const OutlineRect& next) {
  HWND target = main_.mlngHwndCaptured;
  if (IsNone(outlineRect)) {
    InvertOutline(next, target);
  } else if (!RectsEqual(next, outlineRect) || outlineWindow_ != target) {
    InvertOutline(outlineRect, outlineWindow_);
    InvertOutline(next, target);
  } else {
    return;
  }
  outlineRect = next;
  outlineWindow_ = target;
}

void Picker::EraseOutline() {
  if (!IsNone(outlineRect)) InvertOutline(outlineRect, outlineWindow_);
  outlineRect = kNoOutline;
}

void Picker::InvertOutline(const OutlineRect& rect, HWND hWnd) {
  platform::HDC dc = windows_.GetWindowDC(hWnd);
  DrawOutline(rect, dc);
  windows_.ReleaseDC(hWnd, dc);
}

void Picker::DrawOutline(const OutlineRect& rect, platform::HDC dc) {
  int32_t width = kOutlineBorders * windows_.GetSystemMetrics(platform::SM_CXBORDER);
  windows_.SetROP2(dc, platform::R2_NOT);
  platform::HGDIOBJ pen = windows_.CreatePen(platform::PS_INSIDEFRAME, width, kOutlineColour);
  tbhwnd.SetText(platform::FromUtf8(std::to_string(dc)));
  platform::HGDIOBJ oldPen = windows_.SelectObject(dc, pen);
  platform::HGDIOBJ oldBrush = windows_.SelectObject(dc, windows_.GetStockObject(platform::NULL_BRUSH));
  windows_.Rectangle(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
  windows_.SelectObject(dc, oldBrush);
  windows_.SelectObject(dc, oldPen);
  windows_.DeleteObject(pen);
}

void Picker::Form_MouseUp(int16_t, int16_t, float, float) {
  main_.cbStop_Click();  // a new voice at every release, which ends a running reading
  windows_.SetPointer(hWnd_, platform::Pointer::Default);
  windows_.ReleaseCapture();         // the drag is over: later moves over the window are ordinary moves
  windows_.InvalidateRect(0, true);  // every window repaints, which removes the outline
  if (main_.mlngHwndCaptured == 0 || !hoverDoc || !main_.rng) return;
  main_.SayRange();
}

}  // namespace lectryn::targeting
