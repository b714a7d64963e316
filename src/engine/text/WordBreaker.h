#pragma once
// Word and sentence boundaries of a story of units.
//
// Words: ICU's word boundaries (UAX #29 with ICU's dictionaries) give the WORD runs; each WORD
// run and each run of other printable characters (PUNCT) forms a segment with the spaces after
// it; each BREAK and each OBJECT is a segment alone. Boundaries are the starts of segments and
// the end of the story. Boundaries are found in a bounded window around the position, so their
// cost does not grow with the story; a run longer than kMaxWordReach units without any boundary
// is cut at multiples of kMaxWordReach.
//
// Sentences end after ".", "!" or "?" (and closing quotes or brackets) followed by spaces, and
// after a BREAK.
#include <cstdint>
#include <string_view>
#include <vector>

namespace lectryn::engine::text {

inline constexpr int32_t kMaxWordReach = 4096;

class WordBreaker {
 public:
  explicit WordBreaker(std::u16string_view story) : story_(story) {}

  // The first word boundary after `position`; the story's length when there is none.
  int32_t Next(int32_t position) const;
  // The last word boundary before `position`; 0 when there is none.
  int32_t Previous(int32_t position) const;

  int32_t NextSentence(int32_t position) const;
  int32_t PreviousSentence(int32_t position) const;

  // Word boundaries in [lo, hi] (positions near a window edge that is not a story end may be
  // wrong; callers keep a margin). Exposed for tests.
  std::vector<int32_t> Boundaries(int32_t lo, int32_t hi) const;

 private:
  bool IsSentenceBoundary(int32_t position) const;
  int32_t Length() const { return static_cast<int32_t>(story_.size()); }

  std::u16string_view story_;
};

// Letters, digits, marks and '_': what "whole word" searches must not find next to a match.
bool IsWordCharacter(int32_t codePoint);

}  // namespace lectryn::engine::text
