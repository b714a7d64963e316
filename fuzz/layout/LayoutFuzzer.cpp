// Layout at random view sizes, with the geometry of random ranges, painting, hit tests and scrolls.
// The first 12 bytes steer; the rest is the page.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FuzzChecks.h"
#include "engine/Document.h"
#include "platform/Failure.h"

using lectryn::engine::Document;
using lectryn::fuzz::Require;
namespace layout = lectryn::engine::layout;

namespace {

constexpr size_t kSteerBytes = 12;

// 0 to 4095 CSS pixels from two bytes; small sizes are as likely as large ones.
float Size(const uint8_t* steer) {
  return static_cast<float>(((steer[0] << 8) | steer[1]) % 4096);
}

bool Finite(const layout::Rect& rect) {
  return std::isfinite(rect.x) && std::isfinite(rect.y) && std::isfinite(rect.w) && std::isfinite(rect.h);
}

void Exercise(Document& document, const uint8_t* steer) {
  document.SetViewSize(Size(steer), Size(steer + 2));
  document.Layout();
  int32_t length = document.Model().Length();
  auto unit = [&](uint8_t byte) { return length == 0 ? 0 : static_cast<int32_t>(byte * 257 % (length + 1)); };
  int32_t a = unit(steer[4]);
  int32_t b = unit(steer[5]);
  int32_t start = std::min(a, b);
  int32_t end = std::max(a, b);
  for (const layout::Rect& rect : document.RangeRects(start, end))
    Require(Finite(rect), "range rectangles are finite");
  layout::Rect extent = document.ScrollExtent();
  Require(Finite(extent), "the scroll extent is finite");
  document.SetSelection(start, end);
  document.RequestScroll(start, end, (steer[6] & 1) != 0);
  document.SetViewScroll(static_cast<float>(steer[7]) * 16, static_cast<float>(steer[8]) * 16);
  layout::Point scroll = document.ViewScroll();
  document.Paint(layout::Rect{scroll.x, scroll.y, document.ViewSize().x, document.ViewSize().y});
  document.elementFromPoint(steer[9] * 4, steer[10] * 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kSteerBytes) return 0;
  std::string_view page(reinterpret_cast<const char*>(data + kSteerBytes), size - kSteerBytes);
  auto document = Document::Parse(page, u"fuzz:page");
  try {
    Exercise(*document, data);
    // Laid out again at other sizes: the cache must follow the width.
    uint8_t swapped[kSteerBytes];
    std::reverse_copy(data, data + kSteerBytes, swapped);
    Exercise(*document, swapped);
  } catch (const lectryn::platform::Failure&) {
    // Failures are answers, not faults.
  }
  return 0;
}
