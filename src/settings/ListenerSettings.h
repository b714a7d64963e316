#pragma once
// The listener's stored choices, as texts beside the window's place: the speed, the voice for each
// language and the engine the voices come from. A stored text that cannot be read back whole is not
// used.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Voice.h"

namespace lectryn::settings {

inline constexpr char kRateSetting[] = "VoiceRate";
inline constexpr char kVoicesSetting[] = "Voices";
// The key of the engine chosen last (platform::VoiceEngine::key), written when it is chosen.
inline constexpr char kEngineSetting[] = "VoiceEngine";

// "0" (the voice's own) or whole words per minute from kMinWordsPerMinute to kMaxWordsPerMinute,
// blanks around it allowed; nothing for any other text.
std::optional<int32_t> RateOfSetting(const std::string& text);
std::string SettingOfRate(int32_t wordsPerMinute);

// One line per language: "en=gmw/en-GB-x-rp", the language 1 to 8 lower-case ASCII letters and the
// identifier not empty. Nothing when a line does not read so; the empty text is no choice at all.
std::optional<platform::VoiceChoices> VoiceChoicesOfSetting(const std::string& text);
// Choices whose language or identifier could not be read back (a line break in an identifier) are
// left out.
std::string SettingOfVoiceChoices(const platform::VoiceChoices& choices);

}  // namespace lectryn::settings
