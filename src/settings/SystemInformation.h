#pragma once
// The system-information program that the about box's "System Info..." button starts, found through
// the registry. On Linux nobody installs those values, so the program records them itself: the
// command that opens the desktop's own system-information program, when one is installed.
//
// The machine's hive (HKEY_LOCAL_MACHINE) is the administrator's and read-only to the program, so the
// record goes to the same key under HKEY_CURRENT_USER, where the about box looks after the machine's
// places. A value an administrator or the user set is never replaced.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace lectryn::settings {

// The places the about box reads, under HKEY_LOCAL_MACHINE (and the record under HKEY_CURRENT_USER).
inline constexpr char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char kSysInfoValue[] = "PATH";
inline constexpr char kSysInfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char kSysInfoLocationValue[] = "MSINFO";

// What the machine has installed: the full path of a program found on PATH, and whether a file exists.
struct InstalledPrograms {
  std::function<std::optional<std::string>(const std::string& name)> findProgram;
  std::function<bool(const std::string& path)> fileExists;
};

// The command line that opens the system-information program: that of the running desktop first
// (currentDesktop as in XDG_CURRENT_DESKTOP, "ubuntu:GNOME"), then GNOME Settings' About panel, KDE's
// Info Center and hardinfo. Nothing when none is installed.
std::optional<std::string> ChooseSysInfoCommand(const InstalledPrograms& installed,
                                                std::string_view currentDesktop);

enum class Recorded { Yes, AlreadyThere, NothingToRecord, Failed };

// Records command as the user's "PATH" value unless the machine's or the user's settings already have
// a "PATH" value; command nothing: records nothing.
Recorded RecordSysInfoCommand(platform::Registry& registry, const std::optional<std::string>& command);

}  // namespace lectryn::settings
