#pragma once
// Finding a string in a story of units. Matches never span a BREAK or an OBJECT; without
// MatchCase, code points are compared after Unicode simple case folding.
#include <cstdint>
#include <optional>
#include <string_view>

namespace lectryn::engine::text {

enum class Direction { Forward, Backward };
enum class MatchCase { No, Yes };
enum class WholeWord { No, Yes };

struct Match {
  int32_t start;
  int32_t end;
};

// The first match inside [from, to) in the given direction (backward: the one starting last).
// An empty needle matches nothing.
std::optional<Match> FindInStory(std::u16string_view story, std::u16string_view needle, int32_t from,
                                 int32_t to, Direction direction, MatchCase matchCase, WholeWord wholeWord);

}  // namespace lectryn::engine::text
