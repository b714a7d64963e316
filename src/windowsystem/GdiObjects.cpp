#include "windowsystem/GdiObjects.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace lectryn::windowsystem {

using platform::HDC;
using platform::HGDIOBJ;
using platform::HWND;

namespace {

// Stock objects have handles of their own below every handle given out.
constexpr HGDIOBJ kStockBase = 0x100;
constexpr int32_t kStockCount = 32;

// The stock brushes' colours, by index up to the null brush, which fills nothing.
constexpr uint32_t kStockBrushColours[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
static_assert(std::size(kStockBrushColours) == platform::NULL_BRUSH);

}  // namespace

HDC GdiObjects::GetWindowDC(HWND hWnd) {
  HDC dc = ++lastHandle_;
  contexts_[dc] = {hWnd, kR2CopyPen, kStockBase + kBlackPen, kStockBase + kWhiteBrush};
  return dc;
}

int32_t GdiObjects::ReleaseDC(HWND hWnd, HDC dc) {
  auto found = contexts_.find(dc);
  if (found == contexts_.end() || found->second.window != hWnd) return 0;
  contexts_.erase(found);
  return 1;
}

int32_t GdiObjects::SetROP2(HDC dc, int32_t mode) {
  auto found = contexts_.find(dc);
  if (found == contexts_.end()) return 0;
  return std::exchange(found->second.rop, mode);
}

HGDIOBJ GdiObjects::CreatePen(int32_t style, int32_t widthPx, uint32_t colour) {
  HGDIOBJ pen = ++lastHandle_;
  pens_[pen] = {style, widthPx, colour};
  return pen;
}

HGDIOBJ GdiObjects::GetStockObject(int32_t index) const {
  return index >= 0 && index < kStockCount ? kStockBase + index : 0;
}

std::optional<int32_t> GdiObjects::StockIndex(HGDIOBJ object) {
  if (object < kStockBase || object >= kStockBase + kStockCount) return std::nullopt;
  return object - kStockBase;
}

bool GdiObjects::IsStockBrush(HGDIOBJ object) {
  std::optional<int32_t> index = StockIndex(object);
  return index && *index <= platform::NULL_BRUSH;
}

bool GdiObjects::IsStockPen(HGDIOBJ object) {
  std::optional<int32_t> index = StockIndex(object);
  return index && *index >= kWhitePen && *index <= kNullPen;
}

GdiObjects::Pen GdiObjects::StockPen(int32_t index) {
  if (index == kNullPen) return {kPsNull, 0, 0};
  return {kPsSolid, 1, index == kWhitePen ? 0xFFFFFFu : 0u};
}

HGDIOBJ GdiObjects::SelectObject(HDC dc, HGDIOBJ object) {
  auto found = contexts_.find(dc);
  if (found == contexts_.end()) return 0;
  if (IsStockBrush(object)) return std::exchange(found->second.brush, object);
  if (IsStockPen(object) || pens_.contains(object)) return std::exchange(found->second.pen, object);
  return 0;
}

bool GdiObjects::DeleteObject(HGDIOBJ object) {
  for (const auto& [dc, context] : contexts_)
    if (context.pen == object) return false;  // still selected
  return pens_.erase(object) != 0;
}

std::optional<GdiObjects::Frame> GdiObjects::FrameOf(HDC dc, int32_t left, int32_t top, int32_t right,
                                                     int32_t bottom) const {
  auto found = contexts_.find(dc);
  if (found == contexts_.end()) return std::nullopt;
  const Context& context = found->second;
  Frame frame;
  frame.window = context.window;
  frame.rop = context.rop;
  frame.rect = {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  // A context always holds a pen: a stock one, or one that cannot be deleted while held.
  auto created = pens_.find(context.pen);
  Pen pen = created != pens_.end() ? created->second : StockPen(*StockIndex(context.pen));
  frame.bandPx = pen.style == kPsNull ? 0 : std::max(1, pen.widthPx);
  frame.penColour = pen.colour;
  int32_t brush = *StockIndex(context.brush);
  if (brush != platform::NULL_BRUSH) frame.fillColour = kStockBrushColours[brush];
  return frame;
}

}  // namespace lectryn::windowsystem
