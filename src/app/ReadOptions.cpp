#include "app/ReadOptions.h"

#include <charconv>
#include <functional>
#include <optional>
#include <string_view>

#include "narration/Captions.h"
#include "platform/Voice.h"

namespace lectryn::app {
namespace {

constexpr int32_t kMinRate = platform::kMinWordsPerMinute;
constexpr int32_t kMaxRate = platform::kMaxWordsPerMinute;

// apply returns an error for people when the value is not one the option takes.
struct OptionEntry {
  std::string name;
  std::string_view valueName;    // empty for a switch
  std::string_view description;  // one line of --help
  std::function<std::optional<std::string>(ReadOptions&, const std::string&)> apply;
};

bool EndsWith(const std::string& path, std::string_view end) {
  if (path.size() <= end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    char c = path[path.size() - end.size() + i];
    if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != end[i]) return false;
  }
  return true;
}

bool IsAudioFileName(const std::string& path) {
  return EndsWith(path, ".wav") || EndsWith(path, ".ogg") || EndsWith(path, ".opus");
}

bool IsCommandOption(std::string_view name) {
  return name.starts_with("--") && system::CommandNamed(name.substr(2));
}

using Error = std::optional<std::string>;

std::string_view CommandDescription(system::Command command) {
  switch (command) {
    case system::Command::ReadSelection:
      return "read the focused program's selection (starts Lectryn)";
    case system::Command::Pause:
      return "pause the reading";
    case system::Command::Resume:
      return "resume a paused reading";
    case system::Command::Stop:
      return "stop reading";
    case system::Command::NextSentence:
      return "skip to the next sentence";
    case system::Command::PreviousSentence:
      return "back to the sentence's start, or to the one before";
  }
  return {};
}

std::vector<OptionEntry> MakeOptions() {
  std::vector<OptionEntry> options = {
      {"--print-text", "", "print the page's text as the reader sees it, and stop",
       [](ReadOptions& o, const std::string&) -> Error {
         o.mode = ReadMode::PrintText;
         return {};
       }},
      {"--element", "ID", "read from this element on, as a drag onto it would",
       [](ReadOptions& o, const std::string& id) -> Error {
         if (id.empty()) return "--element needs an element id";
         o.element = id;
         return {};
       }},
      {"--voice", "espeak|speechd|scripted", "espeak-ng, speech-dispatcher or a silent test voice",
       [](ReadOptions& o, const std::string& voice) -> Error {
         o.voiceGiven = true;
         if (voice == "espeak")
           o.voice = VoiceKind::Espeak;
         else if (voice == "speechd")
           o.voice = VoiceKind::Speechd;
         else if (voice == "scripted")
           o.voice = VoiceKind::Scripted;
         else
           return "--voice takes espeak, speechd or scripted, not " + voice;
         return {};
       }},
      {"--audio", "auto|none|FILE.wav|FILE.ogg|FILE.opus",
       "the sound device, silence in real time, or a file",
       [](ReadOptions& o, const std::string& audio) -> Error {
         if (audio == "auto")
           o.audio = AudioKind::Auto;
         else if (audio == "none")
           o.audio = AudioKind::None;
         else if (IsAudioFileName(audio)) {
           o.audio = AudioKind::File;
           o.audioPath = audio;
         } else {
           return "--audio takes auto, none or a file name ending in .wav, .ogg or .opus, not " + audio;
         }
         return {};
       }},
      {"--rate", "WPM", "words per minute, 80 to 450 (else the stored speed)",
       [](ReadOptions& o, const std::string& rate) -> Error {
         if (rate.empty()) return "--rate needs WPM";
         int32_t wpm = 0;
         auto [end, error] = std::from_chars(rate.data(), rate.data() + rate.size(), wpm);
         if (error != std::errc() || end != rate.data() + rate.size() || wpm < kMinRate || wpm > kMaxRate) {
           return "--rate takes words per minute from " + std::to_string(kMinRate) + " to " +
                  std::to_string(kMaxRate) + ", not " + rate;
         }
         o.rate = wpm;
         return {};
       }},
      {"--trace", "FILE|-", "write each event as a JSON line to FILE, - for stdout",
       [](ReadOptions& o, const std::string& trace) -> Error {
         if (trace.empty()) return "--trace needs a file name or -";
         o.trace = trace;
         return {};
       }},
      {"--captions", "FILE.vtt|FILE.srt", "write captions timed as the audio (WebVTT, SubRip)",
       [](ReadOptions& o, const std::string& path) -> Error {
         if (!narration::CaptionFormatOf(path))
           return "--captions takes a file name ending in .vtt or .srt, not " + path;
         o.captions = path;
         return {};
       }},
      {"--quiet", "", "show nothing on the terminal while reading",
       [](ReadOptions& o, const std::string&) -> Error {
         o.quiet = true;
         return {};
       }},
  };
  for (const system::CommandSpelling& spelling : system::kCommands) {
    options.push_back({CommandOption(spelling.command), "", CommandDescription(spelling.command),
                       [command = spelling.command](ReadOptions& o, const std::string&) -> Error {
                         if (o.command)
                           return CommandOption(*o.command) + " and " + CommandOption(command) +
                                  " given: give one command at a time";
                         o.command = command;
                         return {};
                       }});
  }
  return options;
}

const std::vector<OptionEntry>& Options() {
  static const std::vector<OptionEntry> options = MakeOptions();
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

// The desktop program takes the voice, audio and trace options of the reader, any number of pages and
// the commands.
bool DesktopTakes(std::string_view name) {
  return name == "--voice" || name == "--audio" || name == "--trace" || IsCommandOption(name);
}

// The terminal reader takes every option but the commands, which only a running desktop program takes.
bool Takes(bool desktop, std::string_view name) {
  return desktop ? DesktopTakes(name) : !IsCommandOption(name);
}

// One line per option, its description in a column; GNU's --help layout.
void AddOptionLine(std::string& usage, std::string_view option, std::string_view description) {
  constexpr size_t kDescriptionColumn = 26;
  std::string line = "  " + std::string(option);
  line += line.size() + 2 <= kDescriptionColumn ? std::string(kDescriptionColumn - line.size(), ' ')
                                                : "\n" + std::string(kDescriptionColumn, ' ');
  usage += line + std::string(description) + "\n";
}

std::string Usage(std::string_view program, bool desktop) {
  std::string options;
  std::string commands;
  for (const OptionEntry& entry : Options()) {
    if (!Takes(desktop, entry.name)) continue;
    std::string shown = entry.name;
    if (!entry.valueName.empty()) shown += " " + std::string(entry.valueName);
    AddOptionLine(IsCommandOption(entry.name) ? commands : options, shown, entry.description);
  }
  AddOptionLine(options, "-h, --help", "show this help and exit");
  AddOptionLine(options, "--version", "show the version and exit");
  std::string name(program);
  if (!desktop) {
    return "usage: " + name + " [OPTION]... PAGE\n" +
           "Reads PAGE (a file or an address) aloud in the terminal, showing each word as it\n" +
           "is spoken.\n\nOptions:\n" + options;
  }
  return "usage: " + name + " [OPTION]... [PAGE...]\n   or: " + name + " COMMAND\n" +
         "Reads web pages aloud and highlights each word while it is spoken; opens each\n" +
         "PAGE (a file or an address) in a page window.\n\nOptions:\n" + options +
         "\nCommands to the running Lectryn, one at a time and without pages:\n" + commands;
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
    if (argument == "-h" || argument == "--help" || argument == "--version") {
      (argument == "--version" ? parsed.version : parsed.help) = true;
      parsed.ok = true;
      return parsed;
    }
    size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    const OptionEntry* entry = FindOption(name);
    if (entry == nullptr || !Takes(desktop, name)) return Fail("unknown option " + name);
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
  if (parsed.options.voice == VoiceKind::Scripted && parsed.options.audio == AudioKind::File)
    return Fail("--audio " + parsed.options.audioPath +
                " needs the espeak voice: the scripted voice makes no sound");
  // The speech server plays its sound itself: only our own synthesiser can keep it silent or in a file.
  if (parsed.options.voice == VoiceKind::Speechd && parsed.options.audio != AudioKind::Auto) {
    std::string what =
        parsed.options.audio == AudioKind::File ? "--audio FILE writes audio" : "--audio none reads silently";
    return Fail(what +
                " with the espeak-ng voice; leave out --voice speechd, which speaks through "
                "speech-dispatcher");
  }
  // The desktop keeps writing its WAV file while it runs; only the reader records Ogg Opus.
  if (desktop && parsed.options.audio == AudioKind::File && !EndsWith(parsed.options.audioPath, ".wav"))
    return Fail("--audio takes a file name ending in .wav here, not " + parsed.options.audioPath);
  if (parsed.options.command && !parsed.options.pages.empty())
    return Fail(CommandOption(*parsed.options.command) +
                " goes to the running Lectryn and opens no page; leave out " + parsed.options.pages.front());
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

std::string CommandOption(system::Command command) {
  return "--" + std::string(system::NameOf(command));
}

}  // namespace lectryn::app
