#pragma once
// Line break opportunities between two printable ASCII characters, as browsers decide them: they
// do not follow UAX #14 there (no break after '/' or before ']', a break after '-' before a
// letter even at the start of a word), so layout asks this table instead of ICU for such pairs.
namespace lectryn::engine::layout {

// True when '!'..'~' characters `before` and `after` may be split by a line break; `beforeThat`
// is the character in front of `before` (0 at the start of the text).
bool AsciiBreakBetween(char16_t beforeThat, char16_t before, char16_t after);

inline bool IsPrintableAscii(char16_t c) {
  return c > u' ' && c < 0x7F;
}

}  // namespace lectryn::engine::layout
