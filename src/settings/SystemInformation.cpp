#include "settings/SystemInformation.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lectryn::settings {
namespace {

// GNOME Settings shows its About panel as "info-overview" up to GNOME 45 and as the "about" page of
// its "system" panel since; each panel installs a menu entry of its own name.
constexpr char kGnomeSettings[] = "gnome-control-center";
constexpr std::array<const char*, 2> kApplicationFolders = {"/usr/share/applications",
                                                            "/usr/local/share/applications"};

struct Candidate {
  std::string_view desktop;  // the XDG_CURRENT_DESKTOP name it belongs to; empty: none in particular
  std::string_view program;
};

constexpr std::array<Candidate, 3> kCandidates = {{
    {"GNOME", kGnomeSettings},
    {"KDE", "kinfocenter"},
    {"", "hardinfo"},
}};

bool NamesDesktop(std::string_view currentDesktop, std::string_view desktop) {
  while (!desktop.empty() && !currentDesktop.empty()) {
    size_t colon = currentDesktop.find(':');
    if (currentDesktop.substr(0, colon) == desktop) return true;
    if (colon == std::string_view::npos) break;
    currentDesktop.remove_prefix(colon + 1);
  }
  return false;
}

// A path the command line's word splitting keeps whole.
std::string Quoted(const std::string& path) {
  if (path.find_first_of(" \t\"'\\") == std::string::npos) return path;
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CommandFor(const InstalledPrograms& installed, std::string_view program,
                       const std::string& path) {
  if (program != kGnomeSettings) return Quoted(path);
  for (const char* folder : kApplicationFolders) {
    if (installed.fileExists(std::string(folder) + "/gnome-info-overview-panel.desktop"))
      return Quoted(path) + " info-overview";
  }
  return Quoted(path) + " system about";
}

bool HasValue(platform::Registry& registry, platform::HKEY root, const char* key, const char* name) {
  platform::HKEY handle = 0;
  if (registry.RegOpenKeyExA(root, key, 0, platform::KEY_QUERY_VALUE, handle) != platform::ERROR_SUCCESS)
    return false;
  platform::DWORD size = 0;
  bool found =
      registry.RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, &size) == platform::ERROR_SUCCESS;
  registry.RegCloseKey(handle);
  return found;
}

}  // namespace

std::optional<std::string> ChooseSysInfoCommand(const InstalledPrograms& installed,
                                                std::string_view currentDesktop) {
  std::vector<Candidate> order;
  for (const Candidate& candidate : kCandidates)
    if (NamesDesktop(currentDesktop, candidate.desktop)) order.push_back(candidate);
  for (const Candidate& candidate : kCandidates)
    if (!NamesDesktop(currentDesktop, candidate.desktop)) order.push_back(candidate);
  for (const Candidate& candidate : order) {
    if (std::optional<std::string> path = installed.findProgram(std::string(candidate.program)))
      return CommandFor(installed, candidate.program, *path);
  }
  return std::nullopt;
}

Recorded RecordSysInfoCommand(platform::Registry& registry, const std::optional<std::string>& command) {
  for (platform::HKEY root : {platform::HKEY_LOCAL_MACHINE, platform::HKEY_CURRENT_USER}) {
    if (HasValue(registry, root, kSysInfoKey, kSysInfoValue)) return Recorded::AlreadyThere;
  }
  if (!command) return Recorded::NothingToRecord;
  platform::HKEY key = 0;
  if (registry.RegCreateKeyExA(platform::HKEY_CURRENT_USER, kSysInfoKey, 0, nullptr,
                               platform::REG_OPTION_NON_VOLATILE, platform::KEY_SET_VALUE, nullptr, key,
                               nullptr) != platform::ERROR_SUCCESS)
    return Recorded::Failed;
  std::string text = *command + '\0';
  platform::LONG result = registry.RegSetValueExA(key, kSysInfoValue, 0, platform::REG_SZ,
                                                  reinterpret_cast<const uint8_t*>(text.data()),
                                                  static_cast<platform::DWORD>(text.size()));
  registry.RegCloseKey(key);
  return result == platform::ERROR_SUCCESS ? Recorded::Yes : Recorded::Failed;
}

}  // namespace lectryn::settings
