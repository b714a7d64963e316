// javascript: addresses: the script as UTF-8 (through the percent-decoding address path) and as
// raw UTF-16 code units (lone surrogates included) straight into the literal reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FuzzChecks.h"
#include "engine/load/JavascriptUrl.h"

using lectryn::fuzz::IsValidUtf8;
using lectryn::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string page = lectryn::engine::PageOfJavascriptUrl("javascript:" + std::string(bytes));
  Require(IsValidUtf8(page), "the page of a javascript: address is UTF-8");

  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  if (auto value = lectryn::engine::StringLiteralValue(units)) {
    Require(IsValidUtf8(*value), "a literal's value is UTF-8");
  }
  return 0;
}
