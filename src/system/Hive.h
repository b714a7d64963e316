#pragma once
// One registry hive in memory: keys by path, each with its values (type and exact bytes) and an optional
// rule that denies access rights, and the text form it is kept in on disk.
//
// The text form, one item per line:
//   lectryn-hive 1
//   key Software\Corvath\Lectryn\1.00b
//   deny 0x3f
//   value MainLeft REG_SZ 3130303000
//   end
// Names are written with bytes below 0x21, 0x7F, '%' and '@' as %XX; an empty value name is "@"; the root
// key is "\"; data is hex ("-" when empty); a type is its REG_ name or a decimal number. Blank lines and
// lines starting with '#' are skipped. Any other line makes the whole file unreadable: every save
// rewrites the file from what was understood, so a line skipped here would be lost on the next save.
// The "end" line tells a complete file from a cut-off one.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace lectryn::system {

constexpr int kHiveFormatVersion = 1;
// Longest key name component and value name, in bytes.
constexpr size_t kMaxKeyNameBytes = 255;
constexpr size_t kMaxValueNameBytes = 16383;

struct HiveValue {
  std::string name;
  platform::DWORD type = platform::REG_NONE;
  std::vector<uint8_t> data;

  bool operator==(const HiveValue&) const = default;
};

struct HiveKey {
  std::string path;               // components joined by '\' as first created; "" is the root
  platform::REGSAM denied = 0;    // rights that no open of this key is granted
  std::vector<HiveValue> values;  // in the order they were first set

  // Value names are compared ignoring ASCII case, as key names are.
  HiveValue* FindValue(std::string_view name);
  const HiveValue* FindValue(std::string_view name) const;

  bool operator==(const HiveKey&) const = default;
};

struct HiveParse {
  enum class Outcome { Parsed, Damaged, NewerFormat };
  Outcome outcome = Outcome::Parsed;
  std::string problem;  // for Damaged and NewerFormat: what was wrong, with its line number
};

class Hive {
 public:
  // path: a checked key path (see SplitKeyPath), "" for the root, which always exists.
  HiveKey* FindKey(std::string_view path);
  const HiveKey* FindKey(std::string_view path) const;
  // Creates the key and its missing parents.
  HiveKey& CreateKey(std::string_view path, bool& created);
  const std::map<std::string, HiveKey>& Keys() const { return keys_; }

  std::string Serialize() const;
  // Fills hive from text; on any outcome but Parsed the hive is left empty.
  static HiveParse Parse(std::string_view text, Hive& hive);

  bool operator==(const Hive&) const = default;

 private:
  std::map<std::string, HiveKey> keys_;  // by folded path; parents sort before their children
};

// Lower-cases ASCII letters: the form in which key and value names are compared.
std::string FoldName(std::string_view name);

// Checks a relative key path and joins it to base. Separators are '\'; one trailing separator is
// allowed; empty components, NUL bytes and components longer than kMaxKeyNameBytes are not.
// Returns false when the path is not valid.
bool JoinKeyPath(std::string_view base, std::string_view subKey, std::string& joined);

}  // namespace lectryn::system
