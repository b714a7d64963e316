#pragma once
// Style sheets as the cascade reads them: rules of a selector and a declaration block. @media
// blocks that hold for the screen are read; @import, @font-face, @keyframes and other at-rules
// are skipped whole. A rule whose selector list has any selector we cannot read is dropped, as
// browsers drop it; so is a declaration we cannot read (the rest of its block stays).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/css/Declaration.h"
#include "engine/css/MediaQuery.h"
#include "engine/css/Selector.h"

namespace lectryn::engine::css {

struct Rule {
  Selector selector;
  uint32_t block = 0;  // index into the sheet's blocks; also the rule's order among them
};

// A media query list the sheet was read with, and whether it held for the view then: when the
// view changes so that an answer does, the sheet must be read again.
struct MediaAnswer {
  std::string queryList;
  bool holds = false;
};

struct StyleSheet {
  std::vector<Rule> rules;  // one per selector of each rule's list
  std::vector<DeclarationBlock> blocks;
  std::vector<MediaAnswer> media;
};

// Appends the rules of a style sheet's text to `sheet`, after those already there; @media
// blocks are read when they hold for `view`.
void ParseStyleSheet(std::string_view text, StyleSheet& sheet, const MediaView& view = {});

}  // namespace lectryn::engine::css
