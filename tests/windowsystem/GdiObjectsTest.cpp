// Device contexts, pens and stock objects: what a context holds, what Rectangle would draw with it,
// and the rules for releasing contexts and deleting pens.
#include "windowsystem/GdiObjects.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <sstream>
#include <string>

namespace lectryn::windowsystem {
namespace {

using platform::HDC;
using platform::HGDIOBJ;
using platform::HWND;

constexpr HWND kWindow = 42;

// "[window rop (l,t)-(r,b) band=n pen=RRGGBB fill=RRGGBB|none]", or "closed".
std::string Dump(const GdiObjects& gdi, HDC dc, platform::RECT r = {1, 2, 30, 40}) {
  std::optional<GdiObjects::Frame> frame = gdi.FrameOf(dc, r.left, r.top, r.right, r.bottom);
  if (!frame) return "closed";
  std::ostringstream out;
  out << "[" << frame->window << " rop" << frame->rop << " (" << frame->rect.left << "," << frame->rect.top
      << ")-(" << frame->rect.right << "," << frame->rect.bottom << ") band=" << frame->bandPx << std::hex
      << " pen=" << frame->penColour << " fill=";
  if (frame->fillColour)
    out << *frame->fillColour;
  else
    out << "none";
  out << "]";
  return out.str();
}

TEST(DeviceContexts, StartWithTheBlackPenTheWhiteBrushAndCopying) {
  GdiObjects gdi;
  HDC dc = gdi.GetWindowDC(kWindow);
  EXPECT_EQ("[42 rop13 (1,2)-(30,40) band=1 pen=0 fill=ffffff]", Dump(gdi, dc));
  EXPECT_EQ(kR2CopyPen, gdi.SetROP2(dc, platform::R2_NOT));
  EXPECT_EQ(platform::R2_NOT, gdi.SetROP2(dc, platform::R2_NOT));
  EXPECT_EQ(gdi.GetStockObject(kBlackPen), gdi.SelectObject(dc, gdi.GetStockObject(kNullPen)));
  EXPECT_EQ(gdi.GetStockObject(kWhiteBrush), gdi.SelectObject(dc, gdi.GetStockObject(platform::NULL_BRUSH)));
  EXPECT_EQ("[42 rop6 (1,2)-(30,40) band=0 pen=0 fill=none]", Dump(gdi, dc));
  EXPECT_EQ("[42 rop13 (1,2)-(30,40) band=1 pen=0 fill=ffffff]", Dump(gdi, gdi.GetWindowDC(kWindow)))
      << "a new context does not inherit another's state";
}

TEST(DeviceContexts, CornersInEitherOrderGiveOneRectangle) {
  GdiObjects gdi;
  HDC dc = gdi.GetWindowDC(kWindow);
  for (platform::RECT corners :
       {platform::RECT{30, 40, 1, 2}, platform::RECT{1, 40, 30, 2}, platform::RECT{30, 2, 1, 40}})
    EXPECT_EQ(Dump(gdi, dc), Dump(gdi, dc, corners));
  EXPECT_EQ("[42 rop13 (-5,-5)-(-5,7) band=1 pen=0 fill=ffffff]", Dump(gdi, dc, {-5, 7, -5, -5}));
}

TEST(DeviceContexts, AreReleasedOnlyByTheirOwnWindowAndOnlyOnce) {
  GdiObjects gdi;
  HDC dc = gdi.GetWindowDC(kWindow);
  HDC other = gdi.GetWindowDC(kWindow + 1);
  EXPECT_EQ(2u, gdi.OpenContexts());
  EXPECT_EQ(0, gdi.ReleaseDC(kWindow + 1, dc));
  EXPECT_NE("closed", Dump(gdi, dc)) << "a refused release leaves the context open";
  EXPECT_EQ(1, gdi.ReleaseDC(kWindow, dc));
  EXPECT_EQ(0, gdi.ReleaseDC(kWindow, dc));
  EXPECT_EQ(1u, gdi.OpenContexts());
  EXPECT_EQ("closed", Dump(gdi, dc));
  EXPECT_EQ(0, gdi.SetROP2(dc, platform::R2_NOT));
  EXPECT_EQ(0, gdi.SelectObject(dc, gdi.GetStockObject(kNullPen)));
  EXPECT_NE("closed", Dump(gdi, other));
}

TEST(DeviceContexts, NoHandleNamesTwoThings) {
  GdiObjects gdi;
  std::set<int32_t> handles;
  for (int i = 0; i < 100; ++i) {
    EXPECT_TRUE(handles.insert(gdi.GetWindowDC(kWindow)).second);
    EXPECT_TRUE(handles.insert(gdi.CreatePen(platform::PS_INSIDEFRAME, 1, 0)).second);
  }
  for (int32_t index = 0; index <= kNullPen; ++index)
    EXPECT_TRUE(handles.insert(gdi.GetStockObject(index)).second) << index;
  EXPECT_EQ(0u, handles.count(0));
  // A pen is not a context and a context is not a pen.
  HGDIOBJ pen = gdi.CreatePen(platform::PS_INSIDEFRAME, 1, 0);
  EXPECT_EQ("closed", Dump(gdi, pen));
  EXPECT_EQ(0, gdi.SelectObject(gdi.GetWindowDC(kWindow), gdi.GetWindowDC(kWindow)));
}

TEST(StockObjects, ExistOnlyInTheirRange) {
  GdiObjects gdi;
  EXPECT_EQ(0, gdi.GetStockObject(-1));
  EXPECT_EQ(0, gdi.GetStockObject(32));
  EXPECT_EQ(gdi.GetStockObject(kNullPen), gdi.GetStockObject(kNullPen)) << "stock objects are shared";
  EXPECT_FALSE(gdi.DeleteObject(gdi.GetStockObject(kBlackPen)));
  EXPECT_FALSE(gdi.DeleteObject(gdi.GetStockObject(kWhiteBrush)));
  EXPECT_EQ(0u, gdi.LivePens());
}

TEST(Pens, CannotBeDeletedWhileAnyContextHoldsThem) {
  GdiObjects gdi;
  HDC first = gdi.GetWindowDC(kWindow);
  HDC second = gdi.GetWindowDC(kWindow);
  HGDIOBJ pen = gdi.CreatePen(platform::PS_INSIDEFRAME, 3, 0);
  HGDIOBJ firstOld = gdi.SelectObject(first, pen);
  HGDIOBJ secondOld = gdi.SelectObject(second, pen);
  EXPECT_FALSE(gdi.DeleteObject(pen));
  EXPECT_EQ(pen, gdi.SelectObject(first, firstOld));
  EXPECT_FALSE(gdi.DeleteObject(pen)) << "the second context still holds it";
  EXPECT_EQ(pen, gdi.SelectObject(second, secondOld));
  EXPECT_EQ(1u, gdi.LivePens());
  EXPECT_TRUE(gdi.DeleteObject(pen));
  EXPECT_FALSE(gdi.DeleteObject(pen));
  EXPECT_EQ(0u, gdi.LivePens());
  EXPECT_EQ(0, gdi.SelectObject(first, pen)) << "a deleted pen cannot be selected";
  EXPECT_EQ("[42 rop13 (1,2)-(30,40) band=1 pen=0 fill=ffffff]", Dump(gdi, first));
}

TEST(Pens, ReleasingAContextLetsItsPenGo) {
  GdiObjects gdi;
  HDC dc = gdi.GetWindowDC(kWindow);
  HGDIOBJ pen = gdi.CreatePen(platform::PS_INSIDEFRAME, 3, 0);
  gdi.SelectObject(dc, pen);
  gdi.ReleaseDC(kWindow, dc);
  EXPECT_TRUE(gdi.DeleteObject(pen));
}

TEST(Pens, ObjectsThatAreNeitherPenNorBrushAreRefused) {
  GdiObjects gdi;
  HDC dc = gdi.GetWindowDC(kWindow);
  const std::string before = Dump(gdi, dc);
  for (HGDIOBJ object : {0, 12345, gdi.GetStockObject(12), gdi.GetStockObject(31)})
    EXPECT_EQ(0, gdi.SelectObject(dc, object)) << object;
  EXPECT_EQ(before, Dump(gdi, dc));
}

// What Rectangle draws with, for the pen and the brush a context holds.
struct DrawingCase {
  const char* name;
  int32_t stockPen;  // -1: a created pen of penStyle and penWidth
  int32_t penStyle;
  int32_t penWidth;
  uint32_t penColour;
  int32_t brush;
  const char* expected;
};
void PrintTo(const DrawingCase& c, std::ostream* out) {
  *out << c.name;
}
class FrameTest : public ::testing::TestWithParam<DrawingCase> {};

TEST_P(FrameTest, PenGivesTheBandAndBrushTheFill) {
  const DrawingCase& c = GetParam();
  GdiObjects gdi;
  HDC dc = gdi.GetWindowDC(kWindow);
  HGDIOBJ pen =
      c.stockPen >= 0 ? gdi.GetStockObject(c.stockPen) : gdi.CreatePen(c.penStyle, c.penWidth, c.penColour);
  ASSERT_NE(0, gdi.SelectObject(dc, pen));
  ASSERT_NE(0, gdi.SelectObject(dc, gdi.GetStockObject(c.brush)));
  EXPECT_EQ(c.expected, Dump(gdi, dc));
}

INSTANTIATE_TEST_SUITE_P(
    Drawing, FrameTest,
    ::testing::Values(DrawingCase{"InsideFrame", -1, platform::PS_INSIDEFRAME, 3, platform::RGB(0, 255, 0),
                                  platform::NULL_BRUSH, "[42 rop13 (1,2)-(30,40) band=3 pen=ff00 fill=none]"},
                      DrawingCase{"ZeroWidthIsOnePixel", -1, kPsSolid, 0, 0x123456, kWhiteBrush,
                                  "[42 rop13 (1,2)-(30,40) band=1 pen=123456 fill=ffffff]"},
                      DrawingCase{"NegativeWidthIsOnePixel", -1, kPsSolid, -4, 0, kBlackBrush,
                                  "[42 rop13 (1,2)-(30,40) band=1 pen=0 fill=0]"},
                      DrawingCase{"CreatedNullPenDrawsNoBand", -1, kPsNull, 5, 0, kGreyBrush,
                                  "[42 rop13 (1,2)-(30,40) band=0 pen=0 fill=808080]"},
                      DrawingCase{"StockWhitePen", kWhitePen, 0, 0, 0, kLightGreyBrush,
                                  "[42 rop13 (1,2)-(30,40) band=1 pen=ffffff fill=c0c0c0]"},
                      DrawingCase{"StockNullPen", kNullPen, 0, 0, 0, kDarkGreyBrush,
                                  "[42 rop13 (1,2)-(30,40) band=0 pen=0 fill=404040]"}),
    [](const ::testing::TestParamInfo<DrawingCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lectryn::windowsystem
