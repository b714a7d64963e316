#pragma once
// Conversions at the edges: contracts carry UTF-16, libraries speak UTF-8.
#include <string>
#include <string_view>

namespace lectryn::platform {

// Invalid input (a lone surrogate, a bad UTF-8 sequence) becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// One code point (at most U+10FFFF, no surrogate) appended in each encoding.
void AppendUtf8(std::string& out, char32_t codePoint);
void AppendUtf16(std::u16string& out, char32_t codePoint);

// Without the spaces and ASCII control characters (tabs, line breaks) at either end: how typed,
// dropped or linked addresses and header values are cleaned before they are read.
std::string_view TrimAsciiSpace(std::string_view text);
std::u16string_view TrimAsciiSpace(std::u16string_view text);

// ASCII-only case-insensitive comparison, for unit names, node names and class names.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace lectryn::platform
