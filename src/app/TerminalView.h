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
  // A line under the piece for the listener's state ("paused"); empty shows none. Redraws at once
  // once a piece is shown.
  void SetStatus(std::string status);
  // Leaves the last drawing on screen and moves below it.
  void Finish();

 private:
  void Draw();

  std::FILE* out_;
  int width_;
  int maxLines_;
  int drawnLines_ = 0;
  std::u16string piece_;  // as last shown
  int32_t start_ = 0;
  int32_t length_ = 0;
  std::string status_;
};

}  // namespace lectryn::app
