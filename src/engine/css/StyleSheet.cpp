#include "engine/css/StyleSheet.h"

#include "engine/css/MediaQuery.h"
#include "engine/css/Scan.h"
#include "engine/css/Values.h"

namespace lectryn::engine::css {
namespace {

// @media blocks inside each other deeper than this are not read (nor anything in them).
constexpr int kMaxNesting = 16;

// The index of the first of `stops` outside strings and brackets, from `from`; npos if none.
size_t FindOutside(std::string_view text, size_t from, std::string_view stops) {
  int depth = 0;
  size_t found = ScanOutsideStrings(text, from, [&](char c) {
    if (c == '(' || c == '[') {
      ++depth;
    } else if ((c == ')' || c == ']') && depth > 0) {
      --depth;
    } else {
      return depth == 0 && stops.find(c) != std::string_view::npos;
    }
    return false;
  });
  return found == text.size() ? std::string_view::npos : found;
}

// Index just past the block that opens at text[open] == '{', or text.size() when unclosed.
size_t SkipBlock(std::string_view text, size_t open) {
  int depth = 0;
  size_t close = ScanOutsideStrings(text, open, [&](char c) {
    if (c == '{') ++depth;
    return c == '}' && --depth == 0;
  });
  return close == text.size() ? close : close + 1;
}

// The content of the block opening at `open` and ending before `end`.
std::string_view BlockBody(std::string_view text, size_t open, size_t end) {
  bool closed = end > open + 1 && text[end - 1] == '}' && end <= text.size();
  return text.substr(open + 1, end - open - 1 - (closed ? 1 : 0));
}

void AddRule(std::string_view prelude, std::string_view body, StyleSheet& sheet) {
  std::vector<Selector> selectors;
  if (!ParseSelectorList(prelude, selectors)) return;
  DeclarationBlock block;
  ParseDeclarations(body, block);
  if (block.empty()) return;
  auto index = static_cast<uint32_t>(sheet.blocks.size());
  sheet.blocks.push_back(std::move(block));
  for (Selector& selector : selectors) sheet.rules.push_back({std::move(selector), index});
}

void ParseRules(std::string_view text, StyleSheet& sheet, const MediaView& view, int nesting) {
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (IsSpace(c) || c == ';' || c == '}') {
      ++i;
      continue;
    }
    if (text.compare(i, 4, "<!--") == 0 || text.compare(i, 3, "-->") == 0) {
      i += text[i] == '<' ? 4 : 3;
      continue;
    }
    size_t stop = FindOutside(text, i, c == '@' ? "{;" : "{");
    if (stop == std::string_view::npos) return;
    std::string_view prelude = text.substr(i, stop - i);
    if (text[stop] == ';') {
      i = stop + 1;  // @import, @charset, @namespace
      continue;
    }
    size_t end = SkipBlock(text, stop);
    std::string_view body = BlockBody(text, stop, end);
    i = end;
    if (c != '@') {
      AddRule(prelude, body, sheet);
      continue;
    }
    size_t nameEnd = 1;
    while (nameEnd < prelude.size() && !IsSpace(prelude[nameEnd]) && prelude[nameEnd] != '(') ++nameEnd;
    std::string name = Lower(prelude.substr(1, nameEnd - 1));
    // Cascade layers are read as plain groups of rules.
    bool read = name == "layer";
    if (name == "media") {
      read = MatchesMedia(prelude.substr(nameEnd), view);
      sheet.media.push_back({std::string(prelude.substr(nameEnd)), read});
    }
    if (read && nesting < kMaxNesting) ParseRules(body, sheet, view, nesting + 1);
  }
}

}  // namespace

void ParseStyleSheet(std::string_view text, StyleSheet& sheet, const MediaView& view) {
  std::string stripped = StripComments(text);
  ParseRules(stripped, sheet, view, 0);
}

}  // namespace lectryn::engine::css
