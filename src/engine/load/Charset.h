#pragma once
// Turning the bytes of a page into UTF-8 for the parser. The charset is found as browsers find
// it: a byte order mark first, then the charset of the HTTP Content-Type, then a <meta> in the
// first 1024 bytes, else UTF-8. Invalid bytes become U+FFFD whatever the charset.
#include <string>
#include <string_view>

namespace lectryn::engine {

struct DecodedPage {
  std::string utf8;
  std::string charset;  // the converter's name: "UTF-8", "windows-1252", "Shift_JIS"...
};

DecodedPage DecodeToUtf8(std::string_view bytes, std::string_view contentType);

// The charset parameter of a Content-Type value, unquoted; empty when there is none.
std::string CharsetOfContentType(std::string_view contentType);
// The media type of a Content-Type value in lower case: "text/html".
std::string MediaTypeOf(std::string_view contentType);

// The charset a <meta charset> or <meta http-equiv="Content-Type" content="...charset=..."> in
// the first 1024 bytes declares; empty when none does.
std::string PrescanCharset(std::string_view bytes);

// The converter name for a declared charset label, or empty for one we do not decode (unknown,
// or unsafe for pages such as UTF-7).
std::string ConverterNameOf(std::string_view label);

// UTF-8 with every invalid sequence replaced by U+FFFD.
std::string RepairUtf8(std::string_view bytes);

}  // namespace lectryn::engine
