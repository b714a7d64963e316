#pragma once
// Walking CSS text past its strings: a quote runs to its match or to the end of the line, and a
// backslash inside it escapes the next character.
#include <string_view>

namespace lectryn::engine::css {

// The index of the first character outside strings, from `from` on, for which `stop(c)` is true;
// text.size() when there is none. `stop` sees every character outside strings in order, so it can
// keep count of brackets.
template <class Stop>
size_t ScanOutsideStrings(std::string_view text, size_t from, Stop stop) {
  char quote = 0;
  for (size_t i = from; i < text.size(); ++i) {
    char c = text[i];
    if (quote != 0) {
      if (c == '\\')
        ++i;
      else if (c == quote || c == '\n')
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (stop(c)) {
      return i;
    }
  }
  return text.size();
}

}  // namespace lectryn::engine::css
