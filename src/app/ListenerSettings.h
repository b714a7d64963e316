#pragma once
// The listener's settings that the desktop stores and the terminal reader follows: the speed and the
// voice of each language, as values under the settings key: "Rate" (words per minute, 0 for the
// voice's own) and "Voice.<language>" (a voice identifier for a lower-case primary language).
#include <cstdint>
#include <optional>

#include "platform/Voice.h"
#include "system/RegistryStore.h"

namespace lectryn::app {

struct ListenerSettings {
  std::optional<int32_t> rate;  // none when not stored or not a number
  platform::VoiceChoices voices;
};

// Reads them without writing anything: a user who never ran the desktop has none.
ListenerSettings ReadListenerSettings(system::RegistryStore& store);

}  // namespace lectryn::app
