#include "app/ListenerSettings.h"

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "settings/RegHelper.h"

namespace lectryn::app {
namespace {

constexpr std::string_view kVoicePrefix = "Voice.";

std::optional<int32_t> NumberOf(const settings::SettingValue& value) {
  if (const auto* number = std::get_if<int32_t>(&value)) return *number;
  const auto* text = std::get_if<std::string>(&value);
  if (!text) return std::nullopt;
  int32_t number = 0;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), number);
  if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return number;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

}  // namespace

ListenerSettings ReadListenerSettings(system::RegistryStore& store) {
  ListenerSettings stored;
  // Opened for reading only: RegHelper's own opening would create the key.
  platform::HKEY key = 0;
  if (store.RegOpenKeyExA(platform::HKEY_CURRENT_USER, settings::kSettingsKey, 0, platform::KEY_QUERY_VALUE,
                          key) != platform::ERROR_SUCCESS)
    return stored;
  settings::RegHelper helper(store);
  std::vector<std::string> names;
  for (platform::DWORD index = 0;; ++index) {
    std::string name;
    platform::DWORD type = 0;
    std::vector<uint8_t> data;
    if (store.RegEnumValueA(key, index, name, type, data) != platform::ERROR_SUCCESS) break;
    names.push_back(std::move(name));
  }
  for (const std::string& name : names) {
    settings::SettingValue value;
    if (helper.ReadRegValue(key, name, value) != platform::ERROR_SUCCESS) continue;
    if (name == "Rate") {
      stored.rate = NumberOf(value);
    } else if (name.size() > kVoicePrefix.size() && name.starts_with(kVoicePrefix)) {
      const auto* identifier = std::get_if<std::string>(&value);
      if (identifier && !identifier->empty())
        stored.voices[Lower(name.substr(kVoicePrefix.size()))] = *identifier;
    }
  }
  store.RegCloseKey(key);
  return stored;
}

}  // namespace lectryn::app
