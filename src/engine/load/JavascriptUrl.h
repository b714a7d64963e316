#pragma once
// javascript: addresses. The engine runs no script; it understands only the one case that pages
// are made of: a script that is a single string literal, whose value becomes the page.
#include <optional>
#include <string>
#include <string_view>

namespace lectryn::engine {

// The value of a script that is exactly one quoted string literal (white space and one ';' may
// surround it), with the literal's escapes applied, as UTF-8. Nothing for any other script.
std::optional<std::string> StringLiteralValue(std::u16string_view script);

// The page of a javascript: address: the literal's value after percent-decoding the script, or an
// empty page for any other script.
std::string PageOfJavascriptUrl(std::string_view address);

}  // namespace lectryn::engine
