#pragma once
// Device contexts, pens and stock objects, kept as the platform keeps them: a context belongs to
// the window it was taken for and starts with the black pen, the white brush and the copying raster
// operation; it holds one pen and one brush at a time; a pen cannot be deleted while a context
// holds it. The window systems check the window and do the drawing; this is the bookkeeping.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

#include "platform/WindowSystem.h"

namespace lectryn::windowsystem {

// Stock brushes by the platform's numbers, white to black; platform::NULL_BRUSH follows them.
constexpr int32_t kWhiteBrush = 0;
constexpr int32_t kLightGreyBrush = 1;
constexpr int32_t kGreyBrush = 2;
constexpr int32_t kDarkGreyBrush = 3;
constexpr int32_t kBlackBrush = 4;
// Stock pens, one pixel wide.
constexpr int32_t kWhitePen = 6;
constexpr int32_t kBlackPen = 7;
constexpr int32_t kNullPen = 8;
// Pen styles beside platform::PS_INSIDEFRAME, and the raster operation a context starts with.
constexpr int32_t kPsSolid = 0;
constexpr int32_t kPsNull = 5;
constexpr int32_t kR2CopyPen = 13;

class GdiObjects {
 public:
  // What a Rectangle on a context draws: a frame band of the pen inside rect, and, unless the
  // brush is the null brush, the inside filled.
  struct Frame {
    platform::HWND window = 0;
    int32_t rop = kR2CopyPen;
    platform::RECT rect;  // left <= right, top <= bottom; right and bottom are outside
    int32_t bandPx = 0;   // 0 for the null pen
    uint32_t penColour = 0;
    std::optional<uint32_t> fillColour;
  };

  // GetWindowDC for a window the caller knows exists.
  platform::HDC GetWindowDC(platform::HWND hWnd);
  // 1 when dc was open and taken for hWnd, else 0 and dc stays open.
  int32_t ReleaseDC(platform::HWND hWnd, platform::HDC dc);
  // The previous mode; 0 for a context that is not open.
  int32_t SetROP2(platform::HDC dc, int32_t mode);
  platform::HGDIOBJ CreatePen(int32_t style, int32_t widthPx, uint32_t colour);
  // 0 for an index that names no stock object.
  platform::HGDIOBJ GetStockObject(int32_t index) const;
  // The object of the same kind that dc held; 0 (and nothing changes) for a closed context or an
  // object that is neither a live pen nor a stock pen or brush.
  platform::HGDIOBJ SelectObject(platform::HDC dc, platform::HGDIOBJ object);
  // True when a pen was deleted; stock objects stay.
  bool DeleteObject(platform::HGDIOBJ object);

  // The frame that Rectangle with these corners (in either order) draws on dc; none when dc is
  // not open.
  std::optional<Frame> FrameOf(platform::HDC dc, int32_t left, int32_t top, int32_t right,
                               int32_t bottom) const;

  size_t OpenContexts() const { return contexts_.size(); }
  size_t LivePens() const { return pens_.size(); }

 private:
  struct Pen {
    int32_t style = kPsSolid;
    int32_t widthPx = 1;
    uint32_t colour = 0;
  };
  struct Context {
    platform::HWND window = 0;
    int32_t rop = kR2CopyPen;
    platform::HGDIOBJ pen = 0;
    platform::HGDIOBJ brush = 0;
  };

  static std::optional<int32_t> StockIndex(platform::HGDIOBJ object);
  static bool IsStockBrush(platform::HGDIOBJ object);
  static bool IsStockPen(platform::HGDIOBJ object);
  // The stock pen of that index as a pen.
  static Pen StockPen(int32_t index);

  std::map<platform::HDC, Context> contexts_;
  std::map<platform::HGDIOBJ, Pen> pens_;
  // Contexts and pens draw from one sequence, so no handle ever names two things.
  int32_t lastHandle_ = 0x1000;
};

}  // namespace lectryn::windowsystem
