#include "speech/VoiceLanguages.h"

#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <map>
#include <utility>

namespace lectryn::speech {
namespace {

const std::string kNone;

// Tags whose language the voice data files under another name. Only used when the voice exists.
constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
    {"zh", "cmn"},    {"zh-hans", "cmn"}, {"zh-hant", "cmn"}, {"zh-cn", "cmn"},  {"zh-sg", "cmn"},
    {"zh-tw", "cmn"}, {"zh-hk", "yue"},   {"zh-mo", "yue"},   {"zh-yue", "yue"}, {"iw", "he"},
    {"in", "id"},     {"ji", "yi"},       {"no", "nb"},       {"nn", "nb"},      {"jw", "jv"},
    {"mo", "ro"},     {"sh", "sr"},       {"tl", "fil"},      {"zh-cmn", "cmn"},
};

std::string Normalized(std::string_view tag) {
  std::string out;
  for (char c : tag) {
    if (c == '_') c = '-';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out += c;
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out;
}

std::vector<std::string> Subtags(const std::string& tag) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= tag.size()) {
    size_t dash = tag.find('-', start);
    if (dash == std::string::npos) dash = tag.size();
    if (dash > start) parts.push_back(tag.substr(start, dash - start));
    start = dash + 1;
  }
  return parts;
}

std::string Joined(const std::vector<std::string>& parts, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < parts.size(); ++i) out += (i ? "-" : "") + parts[i];
  return out;
}

// The tags to try, best first: the whole tag, then without its script ("zh-hant-hk" -> "zh-hk"),
// then ever shorter prefixes.
std::vector<std::string> Candidates(const std::string& tag) {
  std::vector<std::string> parts = Subtags(tag);
  std::vector<std::string> out;
  auto add = [&](std::string candidate) {
    if (!candidate.empty() && std::find(out.begin(), out.end(), candidate) == out.end())
      out.push_back(std::move(candidate));
  };
  add(tag);
  if (parts.size() >= 3 && parts[1].size() == 4) {
    std::vector<std::string> withoutScript = parts;
    withoutScript.erase(withoutScript.begin() + 1);
    add(Joined(withoutScript, withoutScript.size()));
  }
  for (size_t count = parts.size(); count >= 1; --count) add(Joined(parts, count));
  return out;
}

std::string_view AliasOf(std::string_view language) {
  for (const auto& [from, to] : kAliases) {
    if (from == language) return to;
  }
  return {};
}

// "English_(Great_Britain)" and "female2" as people write them: "English (Great Britain)", "female 2".
std::string PersonName(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), '_', ' ');
  size_t digits = out.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(out[digits - 1]))) --digits;
  if (digits > 0 && digits < out.size() && std::isalpha(static_cast<unsigned char>(out[digits - 1])))
    return out.substr(0, digits) + ' ' + out.substr(digits);
  return out;
}

}  // namespace

VoiceLanguages::VoiceLanguages(std::vector<VoiceEntry> voices, std::string_view localeTag)
    : voices_(std::move(voices)) {
  default_ = Find(localeTag);
  if (default_.empty()) default_ = Find("en");
  if (default_.empty() && !voices_.empty()) default_ = voices_.front().identifier;
}

const std::string& VoiceLanguages::Match(std::string_view language) const {
  const std::string* best = &kNone;
  int bestPriority = 0;
  for (const VoiceEntry& voice : voices_) {
    for (const VoiceEntry::Language& entry : voice.languages) {
      if (entry.name == language && (best->empty() || entry.priority < bestPriority)) {
        best = &voice.identifier;
        bestPriority = entry.priority;
      }
    }
  }
  return *best;
}

const std::string& VoiceLanguages::Find(std::string_view tag) const {
  for (const std::string& candidate : Candidates(Normalized(tag))) {
    if (const std::string& voice = Match(candidate); !voice.empty()) return voice;
    if (std::string_view alias = AliasOf(candidate); !alias.empty()) {
      if (const std::string& voice = Match(alias); !voice.empty()) return voice;
    }
  }
  return kNone;
}

const std::string& VoiceLanguages::Choose(std::u16string_view tag) const {
  std::string ascii;
  for (char16_t c : tag) {
    if (c >= 0x80) return default_;  // not a language tag
    ascii += static_cast<char>(c);
  }
  const std::string& found = Find(ascii);
  return found.empty() ? default_ : found;
}

std::string VoiceLanguages::PrimaryLanguage(std::u16string_view tag) const {
  std::string language = Normalized(platform::ToUtf8(tag));
  if (language.empty()) {
    auto voice = std::find_if(voices_.begin(), voices_.end(),
                              [&](const VoiceEntry& entry) { return entry.identifier == default_; });
    if (voice == voices_.end() || voice->languages.empty()) return {};
    language = voice->languages.front().name;
  }
  return language.substr(0, language.find('-'));
}

std::string Bcp47Tag(std::string_view name) {
  std::vector<std::string> parts = Subtags(Normalized(name));
  bool privateUse = false;
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string& part = parts[i];
    privateUse = privateUse || part == "x";
    if (privateUse) continue;
    if (part.size() == 2) {
      for (char& c : part) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (part.size() == 4 && std::isalpha(static_cast<unsigned char>(part[0]))) {
      part[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(part[0])));
    }
  }
  return Joined(parts, parts.size());
}

std::vector<platform::InstalledVoice> VoiceChoices(const std::vector<VoiceEntry>& voices,
                                                   const std::vector<std::string>& names,
                                                   const std::vector<VariantEntry>& variants) {
  // Every variant with every voice would list hundreds of English voices: each language's variants go
  // with one voice of it, the one that names the bare language best, else its first.
  auto primaryOf = [](const VoiceEntry& voice) {
    return voice.languages.empty() ? std::string() : platform::ChoiceLanguageOf(voice.languages.front().name);
  };
  std::map<std::string, std::pair<int, size_t>> carrier;  // language -> (priority, voice index)
  for (size_t i = 0; i < voices.size(); ++i) {
    std::string primary = primaryOf(voices[i]);
    int priority = std::numeric_limits<int>::max();
    for (const VoiceEntry::Language& language : voices[i].languages)
      if (language.name == primary) priority = std::min(priority, language.priority);
    auto [at, added] = carrier.try_emplace(primary, priority, i);
    if (!added && priority < at->second.first) at->second = {priority, i};
  }
  std::vector<platform::InstalledVoice> out;
  for (size_t i = 0; i < voices.size(); ++i) {
    const VoiceEntry& voice = voices[i];
    std::vector<std::string> tags;
    for (const VoiceEntry::Language& language : voice.languages) tags.push_back(Bcp47Tag(language.name));
    bool named = i < names.size() && !names[i].empty();
    std::u16string name = platform::FromUtf8(PersonName(named ? names[i] : voice.identifier));
    out.push_back({voice.identifier, name, tags});
    if (carrier[primaryOf(voice)].second != i) continue;
    for (const VariantEntry& variant : variants) {
      out.push_back({voice.identifier + "+" + variant.identifier,
                     name + u", " + platform::FromUtf8(PersonName(variant.name)), tags});
    }
  }
  return out;
}

std::string LocaleLanguageTag() {
  std::string_view value;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* set = std::getenv(name);
    if (set && *set) {
      value = set;
      break;
    }
  }
  // "fr_FR.UTF-8@euro": the language and territory come before the code set and the modifier.
  value = value.substr(0, value.find_first_of(".@"));
  if (value == "C" || value == "POSIX") return {};
  std::string tag(value);
  std::replace(tag.begin(), tag.end(), '_', '-');
  return tag;
}

}  // namespace lectryn::speech
