#include "engine/layout/AsciiLineBreaks.h"

namespace lectryn::engine::layout {

namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool IsAlnum(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool In(char16_t c, const char* set) {
  for (; *set != '\0'; ++set) {
    if (c == static_cast<char16_t>(*set)) return true;
  }
  return false;
}

}  // namespace

bool AsciiBreakBetween(char16_t beforeThat, char16_t before, char16_t after) {
  if (!IsPrintableAscii(before) || !IsPrintableAscii(after)) return false;
  switch (before) {
    case u'-':
      // A hyphen that may be a minus sign stays with the number after it.
      if (IsDigit(after)) return IsAlnum(beforeThat);
      return !In(after, "!$),./:;?]}");
    case u'?':
      return !In(after, "!\"'),./:;?]}");
    default:
      // After closing punctuation and most symbols, only before an opening bracket.
      return In(before, "!\"#%&)*+,.:;=>\\]|}~") && In(after, "(<[{");
  }
}

}  // namespace lectryn::engine::layout
