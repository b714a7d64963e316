#include "app/TerminalView.h"

#include <algorithm>

#include "platform/Text.h"

namespace lectryn::app {
namespace {

constexpr const char* kReverse = "\x1b[7m";
constexpr const char* kNormal = "\x1b[27m";

struct Cell {
  std::u16string text;  // one code point
  bool marked;
};

}  // namespace

std::vector<std::string> RenderPiece(const std::u16string& piece, int32_t start, int32_t length, int width,
                                     int maxLines) {
  width = std::max(width, 10);
  maxLines = std::max(maxLines, 1);
  int32_t end = start + std::max(length, 0);
  // Split into code points; line breaks and tabs show as spaces.
  std::vector<Cell> cells;
  for (size_t i = 0; i < piece.size(); ++i) {
    size_t units = (piece[i] >= 0xD800 && piece[i] <= 0xDBFF && i + 1 < piece.size()) ? 2 : 1;
    bool blank = piece[i] == u'\r' || piece[i] == u'\n' || piece[i] == u'\t';
    std::u16string unit = blank ? std::u16string(1, u' ') : piece.substr(i, units);
    auto at = static_cast<int32_t>(i);
    cells.push_back({unit, at >= start && at < end});
    i += units - 1;
  }
  // Wrap at the last space that fits; a word longer than the line is cut.
  std::vector<std::pair<size_t, size_t>> lines;  // [begin, end) into cells
  size_t begin = 0;
  while (begin < cells.size()) {
    size_t stop = std::min(cells.size(), begin + static_cast<size_t>(width));
    if (stop < cells.size()) {
      size_t space = stop;
      while (space > begin && cells[space].text != u" ") --space;
      if (space > begin) stop = space;
    }
    lines.emplace_back(begin, stop);
    begin = stop;
    while (begin < cells.size() && cells[begin].text == u" ") ++begin;  // no line starts with a space
  }
  if (lines.empty()) lines.emplace_back(0, 0);

  size_t wordLine = 0;
  for (size_t l = 0; l < lines.size(); ++l) {
    bool marked = false;
    for (size_t c = lines[l].first; c < lines[l].second; ++c) marked = marked || cells[c].marked;
    if (marked) {
      wordLine = l;
      break;
    }
  }
  size_t count = std::min(lines.size(), static_cast<size_t>(maxLines));
  size_t first = wordLine >= count / 2 ? wordLine - count / 2 : 0;
  first = std::min(first, lines.size() - count);

  std::vector<std::string> out;
  for (size_t l = first; l < first + count; ++l) {
    std::string line;
    bool inWord = false;
    for (size_t c = lines[l].first; c < lines[l].second; ++c) {
      if (cells[c].marked != inWord) {
        line += cells[c].marked ? kReverse : kNormal;
        inWord = cells[c].marked;
      }
      line += platform::ToUtf8(cells[c].text);
    }
    if (inWord) line += kNormal;
    out.push_back(line);
  }
  return out;
}

void TerminalView::Show(const std::u16string& piece, int32_t start, int32_t length) {
  piece_ = piece;
  start_ = start;
  length_ = length;
  Draw();
}

void TerminalView::SetStatus(std::string status) {
  if (status == status_) return;
  status_ = std::move(status);
  if (drawnLines_ > 0) Draw();  // else with the first piece
}

void TerminalView::Draw() {
  std::string frame;
  if (drawnLines_ > 1) {
    frame.append("\x1b[").append(std::to_string(drawnLines_ - 1)).append("A");
  }
  frame.append("\r\x1b[J");
  auto lines = RenderPiece(piece_, start_, length_, width_, maxLines_);
  if (!status_.empty()) lines.push_back(status_);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) frame.push_back('\n');
    frame.append(lines[i]);
  }
  drawnLines_ = static_cast<int>(lines.size());
  std::fputs(frame.c_str(), out_);
  std::fflush(out_);
}

void TerminalView::Finish() {
  if (drawnLines_ > 0) std::fputs("\n", out_);
  std::fflush(out_);
  drawnLines_ = 0;
}

}  // namespace lectryn::app
