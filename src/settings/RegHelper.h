#pragma once
// The registry primitives of the settings and the saved settings themselves. Every settings operation
// opens the settings key, does its one read or write and closes the key: nothing is cached, and no
// failure reaches the caller.
#include <cstdint>
#include <string>
#include <variant>

#include "platform/Registry.h"

namespace lectryn::settings {

// Nothing, a text (UTF-8 bytes standing for the ANSI code page) or a 32-bit signed number.
using SettingValue = std::variant<std::monostate, std::string, int32_t>;

inline constexpr char kSettingsKey[] = "Software\\Corvath\\Lectryn\\1.00b";
// Query, set, create sub-key, enumerate, notify and create link; no standard rights.
constexpr platform::REGSAM kSettingsAccess = 0x3F;
// ReadRegValue's result for a value of a type other than REG_SZ and REG_DWORD.
constexpr platform::LONG kUnsupportedType = -1;

class RegHelper {
 public:
  explicit RegHelper(platform::Registry& registry) : registry_(registry) {}

  // The settings key under HKEY_CURRENT_USER opened with kSettingsAccess, created when missing; 0 when
  // it can be neither opened nor created. The caller closes it.
  platform::HKEY OpenSettingsKey();
  // Creates the key and its missing parents; the result is dropped.
  void CreateRegKey(const std::string& keyPath, platform::HKEY root);
  // type REG_SZ: the value as text (a number as its decimal text) plus one NUL. REG_DWORD: the value as
  // 4 little-endian bytes; a text that is not a whole 32-bit number is not written and gives
  // ERROR_INVALID_PARAMETER. Any other type writes nothing and gives 0.
  platform::LONG WriteRegValue(platform::HKEY key, const std::string& name, platform::DWORD type,
                               const SettingValue& value);
  // Fills value from a REG_SZ (without its terminating NUL) or REG_DWORD value. Returns 0, a registry
  // error code (value left as it was, except a failed text read which empties it) or kUnsupportedType.
  platform::LONG ReadRegValue(platform::HKEY key, const std::string& name, SettingValue& value);

  // The setting's text; when it cannot be read, defaultText, which is then written back. A stored number
  // comes back as its decimal text, a value of another type as the empty text.
  std::string ReadSetting(const std::string& name, const std::string& defaultText);
  void WriteSetting(const std::string& name, const std::string& text);

 private:
  platform::Registry& registry_;
};

}  // namespace lectryn::settings
