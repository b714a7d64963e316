#include "settings/ListenerSettings.h"

#include <charconv>

#include "platform/Text.h"

namespace lectryn::settings {
namespace {

bool IsLanguage(std::string_view language) {
  if (language.empty() || language.size() > 8) return false;
  for (char c : language) {
    if (c < 'a' || c > 'z') return false;
  }
  return true;
}

bool IsIdentifier(std::string_view identifier) {
  return !identifier.empty() && identifier.find('\n') == std::string_view::npos;
}

}  // namespace

std::optional<int32_t> RateOfSetting(const std::string& text) {
  std::string_view number = platform::TrimAsciiSpace(text);
  int32_t rate = 0;
  auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), rate);
  if (number.empty() || error != std::errc() || stop != number.data() + number.size()) return std::nullopt;
  if (rate != 0 && (rate < platform::kMinWordsPerMinute || rate > platform::kMaxWordsPerMinute))
    return std::nullopt;
  return rate;
}

std::string SettingOfRate(int32_t wordsPerMinute) {
  return std::to_string(wordsPerMinute);
}

std::optional<platform::VoiceChoices> VoiceChoicesOfSetting(const std::string& text) {
  platform::VoiceChoices choices;
  std::string_view rest = text;
  while (!rest.empty()) {
    size_t lineEnd = rest.find('\n');
    std::string_view line = rest.substr(0, lineEnd);
    rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view language = line.substr(0, equals);
    std::string_view identifier = line.substr(equals + 1);
    if (!IsLanguage(language) || !IsIdentifier(identifier)) return std::nullopt;
    choices[std::string(language)] = identifier;
  }
  return choices;
}

std::string SettingOfVoiceChoices(const platform::VoiceChoices& choices) {
  std::string text;
  for (const auto& [language, identifier] : choices) {
    if (!IsLanguage(language) || !IsIdentifier(identifier)) continue;
    if (!text.empty()) text += '\n';
    text += language + '=' + identifier;
  }
  return text;
}

}  // namespace lectryn::settings
