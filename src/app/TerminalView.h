#pragma once
// Shows the piece being read on a terminal with the current word in reverse video, redrawn in
// place: long pieces show a window of lines around the word.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lectryn::app {

// The piece wrapped at spaces to width columns, as lines of UTF-8 with the word [start, start +
// length) (UTF-16 units) in reverse video; at most maxLines lines, chosen to hold the word.
std::vector<std::string> RenderPiece(const std::u16string& piece, int32_t start, int32_t length, int width,
                                     int maxLines);

class TerminalView {
 public:
  TerminalView(std::FILE* out, int width, int maxLines) : out_(out), width_(width), maxLines_(maxLines) {}
  void Show(const std::u16string& piece, int32_t start, int32_t length);
  // Leaves the last drawing on screen and moves below it.
  void Finish();

 private:
  std::FILE* out_;
  int width_;
  int maxLines_;
  int drawnLines_ = 0;
};

}  // namespace lectryn::app
