#include "engine/load/JavascriptUrl.h"

#include "engine/load/Address.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

bool IsLineTerminator(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

bool IsScriptSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x0B || c == 0x0C || c == 0xA0 || c == 0xFEFF || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000 || IsLineTerminator(c);
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads exactly count hex digits at text[at...]; -1 when they are not there.
long ReadHex(std::u16string_view text, size_t at, size_t count) {
  if (at + count > text.size()) return -1;
  long value = 0;
  for (size_t i = 0; i < count; ++i) {
    int digit = HexValue(text[at + i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// A string literal's escape sequences (ECMAScript, including the legacy octal escapes that
// non-strict scripts accept). Returns the position after the escape, or npos on a syntax error.
size_t ReadEscape(std::u16string_view text, size_t at, std::u16string& out) {
  if (at >= text.size()) return std::u16string_view::npos;
  char16_t c = text[at];
  static constexpr std::u16string_view kSimpleEscapes = u"n\nr\rt\tb\bf\fv\v";  // letter, character
  for (size_t i = 0; i < kSimpleEscapes.size(); i += 2) {
    if (c == kSimpleEscapes[i]) {
      out += kSimpleEscapes[i + 1];
      return at + 1;
    }
  }
  switch (c) {
    case u'\r':  // line continuation; CRLF counts as one terminator
      return at + 1 < text.size() && text[at + 1] == u'\n' ? at + 2 : at + 1;
    case u'\n':
    case 0x2028:
    case 0x2029:
      return at + 1;
    case u'x': {
      long value = ReadHex(text, at + 1, 2);
      if (value < 0) return std::u16string_view::npos;
      out += static_cast<char16_t>(value);
      return at + 3;
    }
    case u'u': {
      if (at + 1 < text.size() && text[at + 1] == u'{') {
        size_t close = text.find(u'}', at + 2);
        if (close == std::u16string_view::npos || close == at + 2) return std::u16string_view::npos;
        long value = 0;
        for (size_t i = at + 2; i < close; ++i) {
          int digit = HexValue(text[i]);
          if (digit < 0) return std::u16string_view::npos;
          value = value * 16 + digit;
          if (value > 0x10FFFF) return std::u16string_view::npos;
        }
        platform::AppendUtf16(out, static_cast<char32_t>(value));
        return close + 1;
      }
      long value = ReadHex(text, at + 1, 4);
      if (value < 0) return std::u16string_view::npos;
      out += static_cast<char16_t>(value);  // surrogate halves pair up as in the script's own strings
      return at + 5;
    }
    default:
      break;
  }
  if (c >= u'0' && c <= u'7') {
    // Legacy octal: up to three digits while the value stays below 256.
    int value = c - u'0';
    size_t next = at + 1;
    for (int digits = 1; digits < 3 && next < text.size() && text[next] >= u'0' && text[next] <= u'7';
         ++digits) {
      int candidate = value * 8 + (text[next] - u'0');
      if (candidate > 0xFF) break;
      value = candidate;
      ++next;
    }
    out += static_cast<char16_t>(value);
    return next;
  }
  out += c;  // any other escaped character stands for itself: \' \" \\ \q
  return at + 1;
}

}  // namespace

std::optional<std::string> StringLiteralValue(std::u16string_view script) {
  size_t at = 0;
  while (at < script.size() && IsScriptSpace(script[at])) ++at;
  if (at >= script.size() || (script[at] != u'\'' && script[at] != u'"')) return std::nullopt;
  char16_t quote = script[at++];
  std::u16string value;
  bool closed = false;
  while (at < script.size()) {
    char16_t c = script[at];
    if (c == quote) {
      closed = true;
      ++at;
      break;
    }
    if (c == u'\n' || c == u'\r') return std::nullopt;  // an unescaped line end ends no literal
    if (c == u'\\') {
      at = ReadEscape(script, at + 1, value);
      if (at == std::u16string_view::npos) return std::nullopt;
      continue;
    }
    value += c;
    ++at;
  }
  if (!closed) return std::nullopt;
  while (at < script.size() && IsScriptSpace(script[at])) ++at;
  if (at < script.size() && script[at] == u';') ++at;
  while (at < script.size() && IsScriptSpace(script[at])) ++at;
  if (at != script.size()) return std::nullopt;
  return platform::ToUtf8(value);
}

std::string PageOfJavascriptUrl(std::string_view address) {
  size_t colon = address.find(':');
  std::string_view script = colon == std::string_view::npos ? std::string_view() : address.substr(colon + 1);
  // The whole rest is script: a '#' in it is text (colours in a style sheet), not a fragment.
  std::optional<std::string> value = StringLiteralValue(platform::FromUtf8(PercentDecode(script)));
  return value.value_or(std::string());
}

}  // namespace lectryn::engine
