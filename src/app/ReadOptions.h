#pragma once
// The command lines of lectryn-read and of the desktop program. Options are described in one table
// (ReadOptions.cpp), so a new option is one entry there and one member here.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/CommandSocket.h"

namespace lectryn::app {

enum class ReadMode { ReadAloud, PrintText };
// Espeak: our own synthesiser; Speechd: the desktop's speech server; Scripted: the silent test voice.
enum class VoiceKind { Espeak, Speechd, Scripted };
enum class AudioKind { Auto, None, File };

struct ReadOptions {
  ReadMode mode = ReadMode::ReadAloud;
  std::string page;                    // a path or an address, as given
  std::vector<std::string> pages;      // every page given (the desktop opens each)
  std::optional<std::string> element;  // read from this element on, as a drag onto it would
  VoiceKind voice = VoiceKind::Espeak;
  bool voiceGiven = false;  // --voice was given: the desktop then does not take the engine stored
  AudioKind audio = AudioKind::Auto;
  std::string audioPath;                // with AudioKind::File: WAV, or Ogg Opus for .ogg and .opus
  std::optional<int32_t> rate;          // words per minute; none: as the desktop last stored it
  std::optional<std::string> trace;     // a file, or "-" for standard output
  std::optional<std::string> captions;  // a .vtt or .srt file
  bool quiet = false;
  // The desktop's command for the running copy: handed over at start, which then ends.
  std::optional<system::Command> command;
};

struct ParsedCommandLine {
  bool ok = false;
  bool help = false;     // -h or --help: print the usage and stop
  bool version = false;  // --version: print the version and stop
  ReadOptions options;
  std::string error;  // for people, when !ok: "unknown option --x"
};

// arguments: without the program name. "--name value" and "--name=value" are both accepted;
// "--" ends the options.
ParsedCommandLine ParseReadOptions(const std::vector<std::string>& arguments);

// What --help prints: the synopsis, then each option with a line of description. Ends in a newline.
std::string ReadUsage();

// The desktop program's command line: the voice, audio and trace options and any number of pages, or
// at most one command for the running copy ("--pause"), without pages.
ParsedCommandLine ParseDesktopOptions(const std::vector<std::string>& arguments);
// The option that gives command: "--pause".
std::string CommandOption(system::Command command);
std::string DesktopUsage();

}  // namespace lectryn::app
