#pragma once
// Where on a page the benchmarks measure: near its start and near its end, which must cost the same.
#include <memory>

#include "engine/Document.h"
#include "engine/TextRange.h"

namespace lectryn::bench {

enum class Where { Start, End };

// An empty range at a word start a little after the start of the story, or a little before its end.
inline engine::TextRange WordStartIn(const std::shared_ptr<engine::Document>& document, Where where) {
  engine::TextRange range(document, 0, 0);
  if (where == Where::Start) {
    range.move(u"word", 20);
  } else {
    range.move(u"textedit", 1);
    range.move(u"word", -60);
  }
  return range;
}

}  // namespace lectryn::bench
