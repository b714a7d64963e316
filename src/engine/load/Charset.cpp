#include "engine/load/Charset.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <array>
#include <cctype>
#include <memory>
#include <optional>

#include "platform/Text.h"

namespace lectryn::engine {
namespace {

constexpr size_t kPrescanBytes = 1024;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string LowerTrimmed(std::string_view text) {
  std::string out;
  for (char c : platform::TrimAsciiSpace(text)) out += Lower(c);
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != prefix[i]) return false;
  return true;
}

// Length of a valid UTF-8 sequence at text[at], or 0 when it is invalid there.
size_t ValidSequenceLength(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b0 = byte(at);
  if (b0 < 0x80) return 1;
  size_t length = (b0 >= 0xC2 && b0 <= 0xDF)   ? 2
                  : (b0 >= 0xE0 && b0 <= 0xEF) ? 3
                  : (b0 >= 0xF0 && b0 <= 0xF4) ? 4
                                               : 0;
  if (length == 0 || at + length > text.size()) return 0;
  unsigned char b1 = byte(at + 1);
  // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
  unsigned char low = b0 == 0xE0 ? 0xA0 : b0 == 0xF0 ? 0x90 : 0x80;
  unsigned char high = b0 == 0xED ? 0x9F : b0 == 0xF4 ? 0x8F : 0xBF;
  if (b1 < low || b1 > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  return length;
}

// The HTML prescan's "get an attribute": reads one name="value" pair at text[at...]; false at '>'
// or at the end.
bool NextAttribute(std::string_view text, size_t& at, std::string& name, std::string& value) {
  name.clear();
  value.clear();
  while (at < text.size() && (IsSpace(text[at]) || text[at] == '/')) ++at;
  if (at >= text.size() || text[at] == '>') return false;
  while (at < text.size() && !IsSpace(text[at]) && text[at] != '=' && text[at] != '>' &&
         !(text[at] == '/' && !name.empty()))
    name += Lower(text[at++]);
  while (at < text.size() && IsSpace(text[at])) ++at;
  if (at >= text.size() || text[at] != '=') return true;
  ++at;
  while (at < text.size() && IsSpace(text[at])) ++at;
  if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
    char quote = text[at++];
    while (at < text.size() && text[at] != quote) value += Lower(text[at++]);
    if (at < text.size()) ++at;
    return true;
  }
  while (at < text.size() && !IsSpace(text[at]) && text[at] != '>') value += Lower(text[at++]);
  return true;
}

// "text/html; charset=x" as a meta content attribute spells it (lower case already).
std::string CharsetInMetaContent(std::string_view content) {
  size_t at = 0;
  while ((at = content.find("charset", at)) != std::string_view::npos) {
    at += 7;
    size_t i = at;
    while (i < content.size() && IsSpace(content[i])) ++i;
    if (i >= content.size() || content[i] != '=') continue;
    ++i;
    while (i < content.size() && IsSpace(content[i])) ++i;
    if (i >= content.size()) return {};
    if (content[i] == '"' || content[i] == '\'') {
      size_t close = content.find(content[i], i + 1);
      if (close == std::string_view::npos) return {};
      return std::string(content.substr(i + 1, close - i - 1));
    }
    size_t end = i;
    while (end < content.size() && !IsSpace(content[end]) && content[end] != ';') ++end;
    return std::string(content.substr(i, end - i));
  }
  return {};
}

// Writes U+FFFD for every byte sequence the charset cannot map, whatever the converter's own
// substitute is (some use U+001A).
void SubstituteReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                           UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close and clone need nothing
  static const UChar kReplacement = 0xFFFD;
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

std::optional<std::string> ConvertWithIcu(std::string_view bytes, const std::string& name) {
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open(name.c_str(), &error));
  if (U_FAILURE(error)) return std::nullopt;
  ucnv_setToUCallBack(converter.get(), SubstituteReplacement, nullptr, nullptr, nullptr, &error);
  if (U_FAILURE(error)) return std::nullopt;

  std::u16string text;
  std::array<UChar, 16384> buffer;
  const char* source = bytes.data();
  const char* sourceEnd = bytes.data() + bytes.size();
  do {
    UChar* target = buffer.data();
    error = U_ZERO_ERROR;
    ucnv_toUnicode(converter.get(), &target, buffer.data() + buffer.size(), &source, sourceEnd, nullptr, true,
                   &error);
    text.append(reinterpret_cast<const char16_t*>(buffer.data()), target - buffer.data());
  } while (error == U_BUFFER_OVERFLOW_ERROR);
  if (U_FAILURE(error)) return std::nullopt;
  return platform::ToUtf8(text);
}

}  // namespace

std::string RepairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t validFrom = 0;  // valid bytes are copied in runs, not one sequence at a time
  size_t at = 0;
  while (at < bytes.size()) {
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      ++at;
      continue;
    }
    size_t length = ValidSequenceLength(bytes, at);
    if (length > 0) {
      at += length;
      continue;
    }
    out.append(bytes.substr(validFrom, at - validFrom));
    out += "\xEF\xBF\xBD";
    // One replacement per maximal invalid stretch that starts here: skip stray continuation bytes.
    ++at;
    while (at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) ++at;
    validFrom = at;
  }
  out.append(bytes.substr(validFrom));
  return out;
}

std::string CharsetOfContentType(std::string_view contentType) {
  size_t at = contentType.find(';');
  while (at != std::string_view::npos) {
    std::string_view parameter = contentType.substr(at + 1);
    size_t next = parameter.find(';');
    parameter = parameter.substr(0, next);
    at = next == std::string_view::npos ? next : at + 1 + next;
    size_t equals = parameter.find('=');
    if (equals == std::string_view::npos || LowerTrimmed(parameter.substr(0, equals)) != "charset") continue;
    std::string_view value = platform::TrimAsciiSpace(parameter.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return std::string(value);
  }
  return {};
}

std::string MediaTypeOf(std::string_view contentType) {
  return LowerTrimmed(contentType.substr(0, contentType.find(';')));
}

std::string PrescanCharset(std::string_view bytes) {
  std::string_view text = bytes.substr(0, kPrescanBytes);
  size_t at = 0;
  std::string name;
  std::string value;
  while (at < text.size()) {
    std::string_view rest = text.substr(at);
    if (rest.starts_with("<!--")) {
      size_t end = text.find("-->", at + 2);
      if (end == std::string_view::npos) break;
      at = end + 3;
    } else if (StartsWithNoCase(rest, "<meta") && rest.size() > 5 && (IsSpace(rest[5]) || rest[5] == '/')) {
      at += 5;
      std::string httpEquiv, content, charset;
      while (NextAttribute(text, at, name, value)) {
        if (name == "http-equiv")
          httpEquiv = value;
        else if (name == "content" && content.empty())
          content = value;
        else if (name == "charset" && charset.empty())
          charset = value;
      }
      if (charset.empty() && httpEquiv == "content-type") charset = CharsetInMetaContent(content);
      if (!charset.empty()) {
        std::string converter = ConverterNameOf(charset);
        // A page whose ASCII bytes we could read is not in UTF-16, whatever it says.
        if (converter.starts_with("UTF-16")) return "UTF-8";
        if (!converter.empty()) return charset;
      }
    } else if (rest.size() >= 2 && rest[0] == '<' &&
               (std::isalpha(static_cast<unsigned char>(rest[1])) ||
                (rest[1] == '/' && rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[2]))))) {
      // Another tag: step over its name and attributes so that values are not mistaken for tags.
      at += rest[1] == '/' ? 2 : 1;
      while (at < text.size() && !IsSpace(text[at]) && text[at] != '>') ++at;
      while (NextAttribute(text, at, name, value)) {
      }
      ++at;
    } else if (rest.starts_with("<!") || rest.starts_with("</") || rest.starts_with("<?")) {
      size_t end = text.find('>', at);
      if (end == std::string_view::npos) break;
      at = end + 1;
    } else {
      ++at;
    }
  }
  return {};
}

std::string ConverterNameOf(std::string_view label) {
  std::string name = LowerTrimmed(label);
  if (name.empty()) return {};
  if (name == "utf-8" || name == "utf8" || name == "unicode-1-1-utf-8") return "UTF-8";
  // Pages labelled Latin-1 or ASCII are windows-1252 in practice; browsers decode them so.
  for (std::string_view latin1 :
       {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1", "us-ascii", "ascii", "cp1252", "x-cp1252",
        "cp819", "ibm819", "iso-ir-100", "csisolatin1", "ansi_x3.4-1968", "x-user-defined"})
    if (name == latin1) return "windows-1252";
  if (name == "utf-16" || name == "utf-16le") return "UTF-16LE";
  if (name == "utf-16be") return "UTF-16BE";
  if (name == "gb2312" || name == "gbk" || name == "x-gbk") return "GBK";
  // Charsets that let ASCII bytes mean other characters are refused: they hide markup.
  for (std::string_view unsafe : {"utf-7", "bocu-1", "scsu", "cesu-8", "hz-gb-2312", "iso-2022-kr",
                                  "iso-2022-cn", "iso-2022-cn-ext", "utf-32", "utf-32le", "utf-32be"})
    if (name == unsafe) return {};
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open(name.c_str(), &error));
  if (U_FAILURE(error)) return {};
  const char* canonical = ucnv_getName(converter.get(), &error);
  if (U_FAILURE(error) || canonical == nullptr) return {};
  std::string canonicalName = canonical;
  for (std::string_view unsafe : {"UTF-7", "BOCU-1", "SCSU", "CESU-8", "HZ", "UTF-32", "IMAP-mailbox-name"})
    if (canonicalName.starts_with(unsafe)) return {};
  return canonicalName;
}

DecodedPage DecodeToUtf8(std::string_view bytes, std::string_view contentType) {
  std::string charset;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
    charset = "UTF-8";
  } else if (bytes.starts_with("\xFF\xFE")) {
    bytes.remove_prefix(2);
    charset = "UTF-16LE";
  } else if (bytes.starts_with("\xFE\xFF")) {
    bytes.remove_prefix(2);
    charset = "UTF-16BE";
  }
  if (charset.empty()) charset = ConverterNameOf(CharsetOfContentType(contentType));
  if (charset.empty()) charset = ConverterNameOf(PrescanCharset(bytes));
  if (charset.empty() || charset == "UTF-8") return {RepairUtf8(bytes), "UTF-8"};
  std::optional<std::string> converted = ConvertWithIcu(bytes, charset);
  if (!converted) return {RepairUtf8(bytes), "UTF-8"};
  return {std::move(*converted), charset};
}

}  // namespace lectryn::engine
