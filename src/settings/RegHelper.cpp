#include "settings/RegHelper.h"

#include <charconv>
#include <limits>
#include <utility>

namespace lectryn::settings {
namespace {

using platform::DWORD;
using platform::HKEY;
using platform::LONG;

std::string AsText(const SettingValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
  return {};
}

// A text counts as a number only when it is a whole decimal number in range, spaces around allowed.
bool AsNumber(const SettingValue& value, int32_t& number) {
  if (const auto* stored = std::get_if<int32_t>(&value)) {
    number = *stored;
    return true;
  }
  const auto* text = std::get_if<std::string>(&value);
  if (text == nullptr) {
    number = 0;
    return true;
  }
  std::string_view digits = *text;
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty()) return false;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  return error == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

HKEY RegHelper::OpenSettingsKey() {
  HKEY key = 0;
  LONG result = registry_.RegOpenKeyExA(platform::HKEY_CURRENT_USER, kSettingsKey, 0, kSettingsAccess, key);
  if (result == platform::ERROR_FILE_NOT_FOUND) {
    CreateRegKey(kSettingsKey, platform::HKEY_CURRENT_USER);
    registry_.RegOpenKeyExA(platform::HKEY_CURRENT_USER, kSettingsKey, 0, kSettingsAccess, key);
  }
  return key;
}

void RegHelper::CreateRegKey(const std::string& keyPath, HKEY root) {
  HKEY key = 0;
  DWORD disposition = 0;
  registry_.RegCreateKeyExA(root, keyPath, 0, nullptr, platform::REG_OPTION_NON_VOLATILE, kSettingsAccess,
                            nullptr, key, &disposition);
  registry_.RegCloseKey(key);
}

LONG RegHelper::WriteRegValue(HKEY key, const std::string& name, DWORD type, const SettingValue& value) {
  if (type == platform::REG_SZ) {
    std::string text = AsText(value);
    if (text.size() >= std::numeric_limits<DWORD>::max()) return platform::ERROR_INVALID_PARAMETER;
    text.push_back('\0');
    return registry_.RegSetValueExA(key, name, 0, platform::REG_SZ,
                                    reinterpret_cast<const uint8_t*>(text.data()),
                                    static_cast<DWORD>(text.size()));
  }
  if (type == platform::REG_DWORD) {
    int32_t number = 0;
    if (!AsNumber(value, number)) return platform::ERROR_INVALID_PARAMETER;
    auto bits = static_cast<uint32_t>(number);
    const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                              static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
    return registry_.RegSetValueExA(key, name, 0, platform::REG_DWORD, bytes, sizeof bytes);
  }
  return platform::ERROR_SUCCESS;
}

LONG RegHelper::ReadRegValue(HKEY key, const std::string& name, SettingValue& value) {
  DWORD type = 0;
  DWORD size = 0;
  LONG result = registry_.RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (result != platform::ERROR_SUCCESS) return result;
  if (type == platform::REG_SZ) {
    // Not even a terminator: there is no text to take, and the value stays as it was.
    if (size == 0) return result;
    std::string buffer(size, '\0');
    result = registry_.RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(buffer.data()),
                                        &size);
    if (result != platform::ERROR_SUCCESS) {
      value = std::monostate();
      return result;
    }
    buffer.resize(size);
    // Only the terminator goes: a text stored without one keeps its last character.
    if (!buffer.empty() && buffer.back() == '\0') buffer.pop_back();
    value = std::move(buffer);
    return result;
  }
  if (type == platform::REG_DWORD) {
    // The buffer's own size, not the size reported above: a longer value must not run past it.
    uint8_t bytes[4] = {};
    DWORD capacity = sizeof bytes;
    result = registry_.RegQueryValueExA(key, name, nullptr, &type, bytes, &capacity);
    if (result == platform::ERROR_SUCCESS) {
      uint32_t bits = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
      value = static_cast<int32_t>(bits);
    }
    return result;
  }
  return kUnsupportedType;
}

std::string RegHelper::ReadSetting(const std::string& name, const std::string& defaultText) {
  HKEY key = OpenSettingsKey();
  SettingValue value = std::string();
  LONG result = ReadRegValue(key, name, value);
  std::string text = AsText(value);
  if (result > 0) {
    text = defaultText;
    WriteRegValue(key, name, platform::REG_SZ, defaultText);
  }
  registry_.RegCloseKey(key);
  return text;
}

void RegHelper::WriteSetting(const std::string& name, const std::string& text) {
  HKEY key = OpenSettingsKey();
  WriteRegValue(key, name, platform::REG_SZ, text);
  registry_.RegCloseKey(key);
}

}  // namespace lectryn::settings
