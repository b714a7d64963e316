#include "app/ListenerSettings.h"

#include <string>

#include "settings/ListenerSettings.h"
#include "settings/RegHelper.h"

namespace lectryn::app {

ListenerSettings ReadListenerSettings(system::RegistryStore& store) {
  ListenerSettings stored;
  // Opened for reading only: RegHelper's own opening would create the key.
  platform::HKEY key = 0;
  if (store.RegOpenKeyExA(platform::HKEY_CURRENT_USER, settings::kSettingsKey, 0, platform::KEY_QUERY_VALUE,
                          key) != platform::ERROR_SUCCESS)
    return stored;
  settings::RegHelper helper(store);
  auto text = [&](const char* name) -> std::optional<std::string> {
    settings::SettingValue value;
    if (helper.ReadRegValue(key, name, value) != platform::ERROR_SUCCESS) return std::nullopt;
    if (const auto* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
    if (const auto* written = std::get_if<std::string>(&value)) return *written;
    return std::nullopt;
  };
  if (auto rate = text(settings::kRateSetting)) stored.rate = settings::RateOfSetting(*rate);
  if (auto voices = text(settings::kVoicesSetting)) {
    if (auto choices = settings::VoiceChoicesOfSetting(*voices)) stored.voices = std::move(*choices);
  }
  if (auto engine = text(settings::kEngineSetting); engine && !engine->empty())
    stored.engine = std::move(*engine);
  store.RegCloseKey(key);
  return stored;
}

}  // namespace lectryn::app
