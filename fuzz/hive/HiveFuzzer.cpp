// The registry hive's text form. The input is read as a hive file, and a hive that reads is written
// and read again: it must come back the same, or the next save would change the user's settings.
// The input is also split into a key path, a value name and data for a hive built by hand, which
// must survive the same trip.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FuzzChecks.h"
#include "system/Hive.h"

using lectryn::fuzz::Require;
using lectryn::system::Hive;
using lectryn::system::HiveParse;
using lectryn::system::HiveValue;

namespace {

void RequireRoundTrip(const Hive& hive) {
  std::string text = hive.Serialize();
  Hive again;
  HiveParse parse = Hive::Parse(text, again);
  Require(parse.outcome == HiveParse::Outcome::Parsed, "a written hive reads");
  Require(again == hive, "a written hive reads back the same");
  Require(again.Serialize() == text, "a hive is written the same twice");
}

void ReadFile(std::string_view text) {
  Hive hive;
  HiveParse parse = Hive::Parse(text, hive);
  if (parse.outcome != HiveParse::Outcome::Parsed) {
    Require(hive.Keys().empty(), "a hive that does not read is left empty");
    return;
  }
  RequireRoundTrip(hive);
}

// "path\0name\0data": a key and a value set through the hive's own calls.
void BuildByHand(std::string_view input) {
  size_t first = input.find('\0');
  if (first == std::string_view::npos) return;
  size_t second = input.find('\0', first + 1);
  if (second == std::string_view::npos) return;
  std::string path;
  if (!lectryn::system::JoinKeyPath("Software", input.substr(0, first), path)) return;
  std::string_view name = input.substr(first + 1, second - first - 1);
  if (name.size() > lectryn::system::kMaxValueNameBytes) return;
  Hive hive;
  bool created = false;
  auto& key = hive.CreateKey(path, created);
  Require(created, "a new key is created");
  Require(hive.FindKey(lectryn::system::FoldName(path)) == &key, "a key is found by its folded path");
  std::string_view data = input.substr(second + 1);
  key.values.push_back(HiveValue{std::string(name), static_cast<uint32_t>(data.size() % 12),
                                 std::vector<uint8_t>(data.begin(), data.end())});
  RequireRoundTrip(hive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  ReadFile(input);
  BuildByHand(input);
  return 0;
}
