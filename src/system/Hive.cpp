#include "system/Hive.h"

#include <charconv>
#include <utility>

#include "platform/Text.h"

namespace lectryn::system {
namespace {

using platform::DWORD;

constexpr char kHexDigits[] = "0123456789abcdef";

struct TypeName {
  DWORD type;
  const char* name;
};
constexpr TypeName kTypeNames[] = {
    {platform::REG_NONE, "REG_NONE"},           {platform::REG_SZ, "REG_SZ"},
    {platform::REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {platform::REG_BINARY, "REG_BINARY"},
    {platform::REG_DWORD, "REG_DWORD"},         {platform::REG_MULTI_SZ, "REG_MULTI_SZ"},
    {platform::REG_QWORD, "REG_QWORD"},
};

bool NeedsEscape(unsigned char c) {
  return c <= 0x20 || c == 0x7F || c == '%' || c == '@';
}

std::string EscapeName(std::string_view name) {
  if (name.empty()) return "@";
  std::string out;
  for (unsigned char c : name) {
    if (NeedsEscape(c)) {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool UnescapeName(std::string_view text, std::string& name) {
  name.clear();
  if (text == "@") return true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      if (NeedsEscape(static_cast<unsigned char>(text[i]))) return false;
      name += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexDigit(text[i + 1]);
    int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (text == "-") return true;
  if (text.empty() || text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigit(text[i]);
    int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

bool ParseNumber(std::string_view text, uint32_t& number) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  return error == std::errc() && end == text.data() + text.size();
}

bool ParseType(std::string_view text, DWORD& type) {
  for (const TypeName& known : kTypeNames) {
    if (text == known.name) {
      type = known.type;
      return true;
    }
  }
  return ParseNumber(text, type);
}

// Splits a line at single spaces.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start <= line.size()) {
    size_t space = line.find(' ', start);
    if (space == std::string_view::npos) space = line.size();
    fields.push_back(line.substr(start, space - start));
    start = space + 1;
  }
  return fields;
}

}  // namespace

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool JoinKeyPath(std::string_view base, std::string_view subKey, std::string& joined) {
  if (!subKey.empty() && subKey.back() == '\\') subKey.remove_suffix(1);
  joined = base;
  if (subKey.empty()) return true;
  size_t start = 0;
  while (start <= subKey.size()) {
    size_t separator = subKey.find('\\', start);
    if (separator == std::string_view::npos) separator = subKey.size();
    std::string_view component = subKey.substr(start, separator - start);
    if (component.empty() || component.size() > kMaxKeyNameBytes ||
        component.find('\0') != std::string_view::npos) {
      return false;
    }
    if (!joined.empty()) joined += '\\';
    joined += component;
    start = separator + 1;
  }
  return true;
}

HiveValue* HiveKey::FindValue(std::string_view name) {
  for (HiveValue& value : values) {
    if (platform::EqualsIgnoringAsciiCase(value.name, name)) return &value;
  }
  return nullptr;
}

const HiveValue* HiveKey::FindValue(std::string_view name) const {
  return const_cast<HiveKey*>(this)->FindValue(name);
}

HiveKey* Hive::FindKey(std::string_view path) {
  if (path.empty()) {
    bool created = false;
    return &CreateKey(path, created);
  }
  auto found = keys_.find(FoldName(path));
  return found == keys_.end() ? nullptr : &found->second;
}

const HiveKey* Hive::FindKey(std::string_view path) const {
  if (path.empty()) {
    static const HiveKey kEmptyRoot;
    auto found = keys_.find("");
    return found == keys_.end() ? &kEmptyRoot : &found->second;
  }
  auto found = keys_.find(FoldName(path));
  return found == keys_.end() ? nullptr : &found->second;
}

HiveKey& Hive::CreateKey(std::string_view path, bool& created) {
  created = false;
  std::string folded = FoldName(path);
  if (auto found = keys_.find(folded); found != keys_.end()) return found->second;
  if (!path.empty()) {
    size_t separator = path.rfind('\\');
    bool parentCreated = false;
    CreateKey(separator == std::string_view::npos ? std::string_view() : path.substr(0, separator),
              parentCreated);
  }
  created = true;
  HiveKey& key = keys_[folded];
  key.path = path;
  return key;
}

std::string Hive::Serialize() const {
  std::string text = "lectryn-hive " + std::to_string(kHiveFormatVersion) + "\n";
  for (const auto& [folded, key] : keys_) {
    if (key.path.empty() && key.denied == 0 && key.values.empty()) continue;
    std::string path;
    if (key.path.empty()) {
      path = "\\";
    } else {
      // Separators stay readable; each component is escaped on its own.
      size_t start = 0;
      while (start <= key.path.size()) {
        size_t separator = key.path.find('\\', start);
        if (separator == std::string::npos) separator = key.path.size();
        if (start > 0) path += '\\';
        path += EscapeName(std::string_view(key.path).substr(start, separator - start));
        start = separator + 1;
      }
    }
    text += "key " + path + "\n";
    if (key.denied != 0) {
      char mask[16];
      auto end = std::to_chars(mask, mask + sizeof mask, key.denied, 16).ptr;
      text += "deny 0x" + std::string(mask, end) + "\n";
    }
    for (const HiveValue& value : key.values) {
      text += "value " + EscapeName(value.name) + " ";
      std::string typeName = std::to_string(value.type);
      for (const TypeName& known : kTypeNames) {
        if (known.type == value.type) typeName = known.name;
      }
      text += typeName + " ";
      if (value.data.empty()) text += "-";
      for (uint8_t byte : value.data) {
        text += kHexDigits[byte >> 4];
        text += kHexDigits[byte & 0xF];
      }
      text += "\n";
    }
  }
  text += "end\n";
  return text;
}

HiveParse Hive::Parse(std::string_view text, Hive& hive) {
  hive = Hive();
  HiveParse result;
  HiveKey* current = nullptr;
  bool sawHeader = false;
  bool sawEnd = false;
  int lineNumber = 0;
  auto fail = [&](const std::string& problem) {
    hive = Hive();
    result.outcome = HiveParse::Outcome::Damaged;
    result.problem = "line " + std::to_string(lineNumber) + ": " + problem;
    return result;
  };
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    if (newline == std::string_view::npos) {
      ++lineNumber;
      return fail("the file ends in the middle of a line");
    }
    std::string_view line = text.substr(start, newline - start);
    start = newline + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (sawEnd) {
      if (line.empty() || line[0] == '#') continue;
      return fail("text after the end line");
    }
    std::vector<std::string_view> fields = Fields(line);
    if (!sawHeader) {
      uint32_t version = 0;
      if (fields.size() != 2 || fields[0] != "lectryn-hive" || !ParseNumber(fields[1], version)) {
        return fail("not a hive file (the first line must be \"lectryn-hive " +
                    std::to_string(kHiveFormatVersion) + "\")");
      }
      if (version > static_cast<uint32_t>(kHiveFormatVersion)) {
        hive = Hive();
        result.outcome = HiveParse::Outcome::NewerFormat;
        result.problem = "format version " + std::to_string(version) + " is newer than this program's " +
                         std::to_string(kHiveFormatVersion);
        return result;
      }
      if (version != static_cast<uint32_t>(kHiveFormatVersion)) return fail("unknown format version");
      sawHeader = true;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (fields[0] == "key" && fields.size() == 2) {
      std::string path;
      if (fields[1] != "\\") {
        // Unescape each component; a separator is never escaped.
        std::string_view escaped = fields[1];
        size_t from = 0;
        while (from <= escaped.size()) {
          size_t separator = escaped.find('\\', from);
          if (separator == std::string_view::npos) separator = escaped.size();
          std::string component;
          if (!UnescapeName(escaped.substr(from, separator - from), component) || component == "") {
            return fail("bad key path");
          }
          if (from > 0) path += '\\';
          path += component;
          from = separator + 1;
        }
        std::string checked;
        if (!JoinKeyPath("", path, checked) || checked != path) return fail("bad key path");
      }
      bool created = false;
      current = &hive.CreateKey(path, created);
    } else if (fields[0] == "deny" && fields.size() == 2) {
      uint32_t mask = 0;
      if (current == nullptr) return fail("deny before any key");
      if (!ParseNumber(fields[1], mask)) return fail("bad access mask");
      current->denied = mask;
    } else if (fields[0] == "value" && fields.size() == 4) {
      HiveValue value;
      if (current == nullptr) return fail("value before any key");
      if (!UnescapeName(fields[1], value.name) || value.name.size() > kMaxValueNameBytes) {
        return fail("bad value name");
      }
      if (!ParseType(fields[2], value.type)) return fail("bad value type");
      if (!ParseHexBytes(fields[3], value.data)) return fail("bad value data");
      if (current->FindValue(value.name) != nullptr) return fail("value named twice");
      current->values.push_back(std::move(value));
    } else if (fields[0] == "end" && fields.size() == 1) {
      sawEnd = true;
    } else {
      return fail("unknown line");
    }
  }
  ++lineNumber;
  if (!sawHeader) return fail("the file is empty");
  if (!sawEnd) return fail("the file is cut off (no end line)");
  return result;
}

}  // namespace lectryn::system
