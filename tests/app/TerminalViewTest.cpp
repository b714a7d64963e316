#include "app/TerminalView.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "app/MemoryFile.h"

namespace lectryn::app {
namespace {

// Reverse video shown as [brackets] to keep expectations readable.
std::vector<std::string> Shown(const std::u16string& piece, int32_t start, int32_t length, int width,
                               int maxLines) {
  auto lines = RenderPiece(piece, start, length, width, maxLines);
  for (auto& line : lines) {
    for (auto [from, to] : {std::pair<std::string, std::string>{"\x1b[7m", "["}, {"\x1b[27m", "]"}}) {
      for (size_t at = line.find(from); at != std::string::npos; at = line.find(from))
        line.replace(at, from.size(), to);
    }
  }
  return lines;
}

using Lines = std::vector<std::string>;

TEST(RenderPiece, MarksTheWordAndWrapsAtSpaces) {
  EXPECT_EQ((Lines{"one [two] three"}), Shown(u"one two three", 4, 3, 40, 5));
  EXPECT_EQ((Lines{"alpha beta", "[gamma] delta"}), Shown(u"alpha beta gamma delta", 11, 5, 12, 5));
}

TEST(RenderPiece, ShowsAWindowAroundTheWordInALongPiece) {
  std::u16string piece = u"l0 l1 l2 l3 l4 l5 l6 l7 l8 l9";
  // Lines of ten columns: "l0 l1 l2", "l3 l4 l5", "l6 l7 l8", "l9".
  EXPECT_EQ((Lines{"l3 l4 l5", "[l6] l7 l8"}), Shown(piece, 18, 2, 10, 2));
  EXPECT_EQ((Lines{"[l0] l1 l2", "l3 l4 l5"}), Shown(piece, 0, 2, 10, 2));
  EXPECT_EQ((Lines{"l3 l4 l5", "l6 l7 l8", "[l9]"}), Shown(piece, 27, 2, 10, 3));
}

TEST(RenderPiece, CutsOverlongWordsAndKeepsSurrogatePairsWhole) {
  EXPECT_EQ((Lines{"aaaaaaaaaa", "aa [b]"}), Shown(u"aaaaaaaaaaaa b", 13, 1, 10, 5));
  EXPECT_EQ((Lines{"x [\xF0\x9F\x98\x80] y"}), Shown(u"x \U0001F600 y", 2, 2, 40, 5));
}

TEST(RenderPiece, PositionsPastTheEndMarkNothing) {
  EXPECT_EQ((Lines{"short"}), Shown(u"short", 40, 3, 40, 5));
  EXPECT_EQ((Lines{""}), Shown(u"", 0, 0, 40, 5));
}

TEST(TerminalView, AStatusLineRedrawsInPlaceUnderThePiece) {
  testing::MemoryFile file;
  TerminalView view(file.get(), 10, 2);
  view.SetStatus("200 words a minute");  // nothing shown yet: it waits for the first piece
  view.SetStatus("");
  view.Show(u"l0 l1 l2 l3 l4", 0, 2);
  view.SetStatus("paused");
  view.SetStatus("paused");  // unchanged: not drawn again
  view.Show(u"l0 l1 l2 l3 l4", 3, 2);
  view.SetStatus("");
  view.Finish();
  std::string drawn = file.Text();
  EXPECT_EQ(
      "\r\x1b[J\x1b[7ml0\x1b[27m l1 l2\nl3 l4"
      "\x1b[1A\r\x1b[J\x1b[7ml0\x1b[27m l1 l2\nl3 l4\npaused"
      "\x1b[2A\r\x1b[Jl0 \x1b[7ml1\x1b[27m l2\nl3 l4\npaused"
      "\x1b[2A\r\x1b[Jl0 \x1b[7ml1\x1b[27m l2\nl3 l4\n",
      drawn);
}

}  // namespace
}  // namespace lectryn::app
