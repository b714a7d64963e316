#include "engine/text/TextSearch.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <vector>

#include "engine/text/TextModel.h"
#include "engine/text/WordBreaker.h"

namespace lectryn::engine::text {
namespace {

UChar32 Fold(UChar32 c, MatchCase matchCase) {
  return matchCase == MatchCase::Yes ? c : u_foldCase(c, U_FOLD_CASE_DEFAULT);
}

class Matcher {
 public:
  Matcher(std::u16string_view story, std::u16string_view needle, int32_t limit, MatchCase matchCase,
          WholeWord wholeWord)
      : story_(story), limit_(limit), matchCase_(matchCase), wholeWord_(wholeWord) {
    for (int32_t i = 0; i < static_cast<int32_t>(needle.size());) {
      UChar32 c;
      U16_NEXT(needle.data(), i, static_cast<int32_t>(needle.size()), c);
      needle_.push_back(Fold(c, matchCase));
    }
  }

  // The end of a match starting at `start`, or -1.
  int32_t MatchAt(int32_t start) const {
    if (start > 0 && U16_IS_TRAIL(story_[static_cast<size_t>(start)]) &&
        U16_IS_LEAD(story_[static_cast<size_t>(start - 1)])) {
      return -1;
    }
    int32_t i = start;
    for (UChar32 expected : needle_) {
      if (i >= limit_) return -1;
      UChar32 c;
      U16_NEXT(story_.data(), i, limit_, c);
      if (c == kBreakUnit || c == kObjectUnit || Fold(c, matchCase_) != expected) return -1;
    }
    if (wholeWord_ == WholeWord::Yes && (WordBefore(start) || WordAt(i))) return -1;
    return i;
  }

 private:
  bool WordBefore(int32_t position) const {
    if (position <= 0) return false;
    UChar32 c;
    U16_PREV(story_.data(), 0, position, c);
    return IsWordCharacter(c);
  }
  bool WordAt(int32_t position) const {
    if (position >= static_cast<int32_t>(story_.size())) return false;
    UChar32 c;
    U16_NEXT(story_.data(), position, static_cast<int32_t>(story_.size()), c);
    return IsWordCharacter(c);
  }

  std::u16string_view story_;
  int32_t limit_;
  MatchCase matchCase_;
  WholeWord wholeWord_;
  std::vector<UChar32> needle_;
};

}  // namespace

std::optional<Match> FindInStory(std::u16string_view story, std::u16string_view needle, int32_t from,
                                 int32_t to, Direction direction, MatchCase matchCase, WholeWord wholeWord) {
  from = std::max(from, 0);
  to = std::min(to, static_cast<int32_t>(story.size()));
  if (needle.empty() || from >= to) return std::nullopt;
  Matcher matcher(story, needle, to, matchCase, wholeWord);
  if (direction == Direction::Forward) {
    for (int32_t start = from; start < to; ++start) {
      if (int32_t end = matcher.MatchAt(start); end >= 0) return Match{start, end};
    }
  } else {
    for (int32_t start = to - 1; start >= from; --start) {
      if (int32_t end = matcher.MatchAt(start); end >= 0) return Match{start, end};
    }
  }
  return std::nullopt;
}

}  // namespace lectryn::engine::text
