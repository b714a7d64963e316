// Hostile pages: layout finishes, stays bounded and gives finite boxes.
#include <gtest/gtest.h>

#include <cmath>

#include "LayoutFixture.h"

namespace lectryn::engine::layout::testing {
namespace {

using css::ComputedStyle;
using css::Length;

std::string Repeat(std::string_view part, int times) {
  std::string text;
  text.reserve(part.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

void ExpectSane(const Laid& laid) {
  const LayoutTree& layout = *laid.layout;
  ASSERT_FALSE(layout.boxes.empty());
  EXPECT_EQ(static_cast<int32_t>(layout.boxes.size()), layout.boxes[0].end) << "the viewport holds every box";
  for (const Box& box : layout.boxes) {
    for (float v : {box.border.x, box.border.y, box.border.w, box.border.h, box.overflow.w, box.overflow.h}) {
      ASSERT_TRUE(std::isfinite(v));
      ASSERT_LE(std::fabs(v), 1e9F);
    }
  }
}

struct Hostile {
  const char* name;
  std::string html;
  Styles styles;
  size_t maxBoxes;
};

class BadLayoutInput : public ::testing::TestWithParam<Hostile> {};

TEST_P(BadLayoutInput, FinishesBounded) {
  const Hostile& c = GetParam();
  auto laid = Lay(c.html, c.styles);
  ExpectSane(*laid);
  EXPECT_LE(laid->layout->boxes.size(), c.maxBoxes);
}

StyleFn Set(std::function<void(ComputedStyle&)> fn) {
  return fn;
}

INSTANTIATE_TEST_SUITE_P(
    Layout, BadLayoutInput,
    ::testing::Values(
        Hostile{"NestedTables", Repeat("<table><tr><td>", 600) + "x", {}, 5000},
        Hostile{"NestedLists", Repeat("<ul><li>", 600) + "x", {}, 5000},
        Hostile{"NestedInlineBlocks",
                Repeat("<span>", 600) + "x",
                {{"@span", Set([](ComputedStyle& s) { s.display = css::Display::InlineBlock; })}},
                5000},
        Hostile{"NestedFloats",
                Repeat("<div>", 600) + "x",
                {{"@div", Set([](ComputedStyle& s) { s.floating = css::Float::Left; })}},
                5000},
        Hostile{"TenMegabyteWord", "<p>" + std::string(10'000'000, 'a') + "</p>", {}, 10},
        Hostile{"HundredThousandFloats",
                Repeat("<div></div>", 100'000),
                {{"@div", Set([](ComputedStyle& s) {
                    s.floating = css::Float::Left;
                    s.width = s.height = Length::Px(10);
                  })}},
                100'010},
        Hostile{
            "EnormousAndNegativeSizes",
            "<div id=a>a<div id=b>b <span id=c>c</span> <img id=d width=99999999999 height=-5></div></div>",
            {{"a", Set([](ComputedStyle& s) {
                s.width = Length::Px(-5e30F);
                s.margin[css::kTop] = Length::Px(1e38F);
                s.padding[css::kLeft] = Length::Px(NAN);
                s.height = Length::Px(-1);
              })},
             {"b", Set([](ComputedStyle& s) {
                s.fontSizePx = 1e9F;
                s.lineHeightKind = css::LineHeightKind::Number;
                s.lineHeight = 1e30F;
                s.textIndent = Length::Px(INFINITY);
              })},
             {"c", Set([](ComputedStyle& s) {
                s.borderWidth = {1e30F, -4, NAN, 3};
                s.borderStyle.fill(css::BorderStyle::Solid);
              })}},
            50},
        Hostile{"PercentagesOfUnknownSizes",
                "<div id=f><div id=a><span id=i>x</span></div></div>",
                {{"f", Set([](ComputedStyle& s) { s.floating = css::Float::Left; })},
                 {"a", Set([](ComputedStyle& s) {
                    s.width = Length::Percent(150);
                    s.height = Length::Percent(50);
                    s.margin[css::kLeft] = Length::Percent(-80);
                  })},
                 {"i", Set([](ComputedStyle& s) {
                    s.display = css::Display::InlineBlock;
                    s.width = Length::Percent(300);
                  })}},
                50}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BadLayoutInput, ATenMegabyteWordIsOneRun) {
  auto laid = Lay("<p>" + std::string(10'000'000, 'a') + "</p>");
  ASSERT_EQ(1U, laid->layout->runs.size());
  EXPECT_EQ(10'000'000U, laid->layout->runs[0].text.size());
}

}  // namespace
}  // namespace lectryn::engine::layout::testing
