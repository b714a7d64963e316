#include "app/ReadOptions.h"

#include <functional>
#include <optional>
#include <string_view>

#include "narration/Captions.h"

namespace lectryn::app {
namespace {

// apply returns an error for people when the value is not one the option takes.
struct OptionEntry {
  std::string_view name;
  std::string_view valueName;  // empty for a switch
  std::function<std::optional<std::string>(ReadOptions&, const std::string&)> apply;
};

bool EndsWithWav(const std::string& path) {
  if (path.size() <= 4) return false;
  std::string end = path.substr(path.size() - 4);
  for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return end == ".wav";
}

const std::vector<OptionEntry>& Options() {
  using Error = std::optional<std::string>;
  static const std::vector<OptionEntry> options = {
      {"--print-text", "",
       [](ReadOptions& o, const std::string&) -> Error {
         o.mode = ReadMode::PrintText;
         return {};
       }},
      {"--element", "ID",
       [](ReadOptions& o, const std::string& id) -> Error {
         if (id.empty()) return "--element needs an element id";
         o.element = id;
         return {};
       }},
      {"--voice", "espeak|scripted",
       [](ReadOptions& o, const std::string& voice) -> Error {
         if (voice == "espeak")
           o.voice = VoiceKind::Espeak;
         else if (voice == "scripted")
           o.voice = VoiceKind::Scripted;
         else
           return "--voice takes espeak or scripted, not " + voice;
         return {};
       }},
      {"--audio", "auto|none|FILE.wav",
       [](ReadOptions& o, const std::string& audio) -> Error {
         if (audio == "auto")
           o.audio = AudioKind::Auto;
         else if (audio == "none")
           o.audio = AudioKind::None;
         else if (EndsWithWav(audio)) {
           o.audio = AudioKind::WavFile;
           o.wavPath = audio;
         } else {
           return "--audio takes auto, none or a file name ending in .wav, not " + audio;
         }
         return {};
       }},
      {"--trace", "FILE|-",
       [](ReadOptions& o, const std::string& trace) -> Error {
         if (trace.empty()) return "--trace needs a file name or -";
         o.trace = trace;
         return {};
       }},
      {"--captions", "FILE.vtt|FILE.srt",
       [](ReadOptions& o, const std::string& path) -> Error {
         if (!narration::CaptionFormatOf(path))
           return "--captions takes a file name ending in .vtt or .srt, not " + path;
         o.captions = path;
         return {};
       }},
      {"--quiet", "",
       [](ReadOptions& o, const std::string&) -> Error {
         o.quiet = true;
         return {};
       }},
  };
  return options;
}

const OptionEntry* FindOption(std::string_view name) {
  for (const OptionEntry& entry : Options())
    if (entry.name == name) return &entry;
  return nullptr;
}

ParsedCommandLine Fail(std::string error) {
  ParsedCommandLine parsed;
  parsed.error = std::move(error);
  return parsed;
}

// The desktop program takes the voice, audio and trace options of the reader and any number of pages.
bool DesktopTakes(std::string_view name) {
  return name == "--voice" || name == "--audio" || name == "--trace";
}

std::string Usage(std::string_view program, bool desktop) {
  std::string usage = "usage: " + std::string(program);
  for (const OptionEntry& entry : Options()) {
    if (desktop && !DesktopTakes(entry.name)) continue;
    usage += " [";
    usage += entry.name;
    if (!entry.valueName.empty()) usage += " " + std::string(entry.valueName);
    usage += "]";
  }
  return usage + (desktop ? " [PAGE...]" : " PAGE");
}

ParsedCommandLine Parse(const std::vector<std::string>& arguments, bool desktop) {
  ParsedCommandLine parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
    if (!isOption) {
      if (!desktop && !parsed.options.pages.empty())
        return Fail("more than one page given: " + parsed.options.pages.front() + " and " + argument);
      parsed.options.pages.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument == "-h" || argument == "--help") {
      parsed.help = true;
      parsed.ok = true;
      return parsed;
    }
    size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    const OptionEntry* entry = FindOption(name);
    if (entry == nullptr || (desktop && !DesktopTakes(name))) return Fail("unknown option " + name);
    std::string value;
    if (entry->valueName.empty()) {
      if (equals != std::string::npos) return Fail(name + " takes no value");
    } else if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return Fail(name + " needs " + std::string(entry->valueName));
    }
    if (auto error = entry->apply(parsed.options, value)) return Fail(*error);
  }
  if (!desktop && parsed.options.pages.empty()) return Fail("no page given");
  if (parsed.options.voice == VoiceKind::Scripted && parsed.options.audio == AudioKind::WavFile)
    return Fail("--audio " + parsed.options.wavPath +
                " needs the espeak voice: the scripted voice makes no sound");
  if (!parsed.options.pages.empty()) parsed.options.page = parsed.options.pages.front();
  parsed.ok = true;
  return parsed;
}

}  // namespace

std::string ReadUsage() {
  return Usage("lectryn-read", false);
}

std::string DesktopUsage() {
  return Usage("lectryn", true);
}

ParsedCommandLine ParseReadOptions(const std::vector<std::string>& arguments) {
  return Parse(arguments, false);
}

ParsedCommandLine ParseDesktopOptions(const std::vector<std::string>& arguments) {
  return Parse(arguments, true);
}

}  // namespace lectryn::app
