#pragma once
// The listener's settings that the desktop stores (settings/ListenerSettings.h) and the terminal
// reader follows: the speed, the voice of each language and the engine chosen last.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Voice.h"
#include "system/RegistryStore.h"

namespace lectryn::app {

struct ListenerSettings {
  std::optional<int32_t> rate;  // none when not stored or unreadable
  platform::VoiceChoices voices;
  std::optional<std::string> engine;  // a VoiceEngine key; none when not stored or empty
};

// Reads them without writing anything: a user who never ran the desktop has none.
ListenerSettings ReadListenerSettings(system::RegistryStore& store);

}  // namespace lectryn::app
