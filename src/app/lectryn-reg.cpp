// lectryn-reg: shows and changes the values of the registry hives, and sets access rules on keys.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Version.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "system/RegistryStore.h"

namespace {

using lectryn::platform::DWORD;
using lectryn::platform::HKEY;
using lectryn::platform::LONG;
namespace platform = lectryn::platform;
namespace sys = lectryn::system;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: lectryn-reg [--machine-folder DIR] COMMAND KEY ...\n"
    "Shows and changes the settings Lectryn keeps, in its registry hives.\n"
    "\n"
    "Commands:\n"
    "  query KEY [NAME]            print each value of KEY (or only NAME) as: NAME TYPE DATA\n"
    "  set KEY NAME sz|dword DATA  set a text or 32-bit number value, creating KEY when missing\n"
    "  delete KEY NAME             delete a value\n"
    "  deny KEY MASK               refuse the access rights MASK (e.g. 0x3F: query, set, create sub-key,\n"
    "                              enumerate, notify, create link) to every open of KEY, creating KEY\n"
    "                              when missing; MASK 0 removes the rule\n"
    "\n"
    "KEY is HKCU\\PATH or HKEY_CURRENT_USER\\PATH for the user's hive ($XDG_CONFIG_HOME/lectryn/user.hive,\n"
    "or ~/.config/lectryn/user.hive), HKLM\\PATH or HKEY_LOCAL_MACHINE\\PATH for the machine hive\n"
    "(/etc/lectryn/machine.hive, or DIR/machine.hive; only its owner may change it). Key paths are\n"
    "separated by backslashes; quote them in the shell. \"\" names a key's unnamed value.\n"
    "Text is printed without its terminating NUL, REG_DWORD in decimal, other types as hex bytes.\n"
    "\n"
    "A deny rule may also be written by hand: in the hive file, a line \"deny 0x3f\" right after the\n"
    "key's \"key PATH\" line.\n"
    "\n"
    "Options:\n"
    "  --machine-folder DIR        the machine hive's folder instead of /etc/lectryn\n"
    "  -h, --help                  show this help and exit\n"
    "  --version                   show the version and exit\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "lectryn-reg: %s\n\n%s", problem.c_str(), kUsage);
  return kExitUsage;
}

struct KeyName {
  HKEY root = 0;
  std::string path;
};

std::optional<KeyName> ParseKey(std::string_view text) {
  size_t separator = text.find('\\');
  std::string_view rootName = text.substr(0, separator);
  std::string_view path =
      separator == std::string_view::npos ? std::string_view() : text.substr(separator + 1);
  KeyName key{0, std::string(path)};
  if (platform::EqualsIgnoringAsciiCase(rootName, "HKCU") ||
      platform::EqualsIgnoringAsciiCase(rootName, "HKEY_CURRENT_USER")) {
    key.root = platform::HKEY_CURRENT_USER;
  } else if (platform::EqualsIgnoringAsciiCase(rootName, "HKLM") ||
             platform::EqualsIgnoringAsciiCase(rootName, "HKEY_LOCAL_MACHINE")) {
    key.root = platform::HKEY_LOCAL_MACHINE;
  } else {
    return std::nullopt;
  }
  return key;
}

// Decimal, or hexadecimal after 0x; a decimal number may be negative (stored as its two's complement).
std::optional<uint32_t> ParseNumber(std::string_view text) {
  int base = 10;
  bool negative = false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  uint64_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative ? number > 0x80000000ull : number > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(negative ? 0 - number : number);
}

std::string TypeName(DWORD type) {
  switch (type) {
    case platform::REG_NONE:
      return "REG_NONE";
    case platform::REG_SZ:
      return "REG_SZ";
    case platform::REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case platform::REG_BINARY:
      return "REG_BINARY";
    case platform::REG_DWORD:
      return "REG_DWORD";
    case platform::REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case platform::REG_QWORD:
      return "REG_QWORD";
    default:
      return std::to_string(type);
  }
}

std::string FormatData(DWORD type, const std::vector<uint8_t>& data) {
  if (type == platform::REG_SZ) {
    std::string text(data.begin(), data.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }
  if (type == platform::REG_DWORD && data.size() == 4) {
    return std::to_string(data[0] | (data[1] << 8) | (data[2] << 16) |
                          (static_cast<uint32_t>(data[3]) << 24));
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : data) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xF];
  }
  return hex;
}

void PrintValue(const std::string& name, DWORD type, const std::vector<uint8_t>& data) {
  std::string line = (name.empty() ? std::string("\"\"") : name) + " " + TypeName(type);
  std::string shown = FormatData(type, data);
  if (!shown.empty()) line += " " + shown;
  std::printf("%s\n", line.c_str());
}

int Failed(sys::RegistryStore& store, const std::string& what, LONG result,
           const char* missing = "no such key") {
  std::string reason;
  switch (result) {
    case platform::ERROR_FILE_NOT_FOUND:
      reason = missing;
      break;
    case platform::ERROR_ACCESS_DENIED:
      reason = "access denied";
      break;
    case platform::ERROR_INVALID_PARAMETER:
      reason = "invalid key path or value";
      break;
    default:
      reason = "error " + std::to_string(result);
      break;
  }
  std::string detail = store.LastError();
  if (result == platform::ERROR_ACCESS_DENIED && detail.empty()) {
    detail = "the key has a deny rule (lectryn-reg deny KEY 0 removes it)";
  }
  if (!detail.empty()) reason += "; " + detail;
  std::fprintf(stderr, "lectryn-reg: cannot %s: %s\n", what.c_str(), reason.c_str());
  return kExitFailure;
}

// Opens KEY with the given rights; on failure reports it and returns 0.
HKEY Open(sys::RegistryStore& store, const KeyName& key, const std::string& keyText, platform::REGSAM rights,
          int& exitCode) {
  HKEY handle = 0;
  LONG result = store.RegOpenKeyExA(key.root, key.path, 0, rights, handle);
  if (result != platform::ERROR_SUCCESS) exitCode = Failed(store, "open " + keyText, result);
  return handle;
}

int Query(sys::RegistryStore& store, const KeyName& key, const std::string& keyText,
          const std::string* name) {
  int exitCode = 0;
  HKEY handle = Open(store, key, keyText, platform::KEY_QUERY_VALUE, exitCode);
  if (handle == 0) return exitCode;
  if (name != nullptr) {
    DWORD type = 0;
    DWORD size = 0;
    LONG result = store.RegQueryValueExA(handle, *name, nullptr, &type, nullptr, &size);
    std::vector<uint8_t> data(size);
    if (result == platform::ERROR_SUCCESS && size > 0) {
      result = store.RegQueryValueExA(handle, *name, nullptr, &type, data.data(), &size);
      data.resize(size);
    }
    if (result != platform::ERROR_SUCCESS) {
      exitCode = Failed(store, "read " + *name + " in " + keyText, result, "no such value");
    } else {
      // Shown as stored: names match ignoring case.
      std::string shown = *name;
      std::string stored;
      DWORD storedType = 0;
      std::vector<uint8_t> storedData;
      for (DWORD index = 0; store.RegEnumValueA(handle, index, stored, storedType, storedData) == 0;
           ++index) {
        if (platform::EqualsIgnoringAsciiCase(stored, *name)) shown = stored;
      }
      PrintValue(shown, type, data);
    }
  } else {
    std::string valueName;
    DWORD type = 0;
    std::vector<uint8_t> data;
    for (DWORD index = 0;
         store.RegEnumValueA(handle, index, valueName, type, data) == platform::ERROR_SUCCESS; ++index) {
      PrintValue(valueName, type, data);
    }
  }
  store.RegCloseKey(handle);
  return exitCode;
}

int Set(sys::RegistryStore& store, const KeyName& key, const std::string& keyText, const std::string& name,
        std::string_view kind, const std::string& text) {
  std::vector<uint8_t> data;
  DWORD type = 0;
  if (kind == "sz") {
    type = platform::REG_SZ;
    data.assign(text.begin(), text.end());
    data.push_back(0);
  } else if (kind == "dword") {
    std::optional<uint32_t> number = ParseNumber(text);
    if (!number) return Usage("not a 32-bit number: " + text);
    type = platform::REG_DWORD;
    data = {static_cast<uint8_t>(*number), static_cast<uint8_t>(*number >> 8),
            static_cast<uint8_t>(*number >> 16), static_cast<uint8_t>(*number >> 24)};
  } else {
    return Usage("unknown value type " + std::string(kind) + " (sz or dword)");
  }
  HKEY handle = 0;
  LONG result = store.RegCreateKeyExA(key.root, key.path, 0, nullptr, platform::REG_OPTION_NON_VOLATILE,
                                      platform::KEY_SET_VALUE, nullptr, handle, nullptr);
  if (result != platform::ERROR_SUCCESS) return Failed(store, "create " + keyText, result);
  result = store.RegSetValueExA(handle, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
  store.RegCloseKey(handle);
  if (result != platform::ERROR_SUCCESS) return Failed(store, "set " + name + " in " + keyText, result);
  return 0;
}

int Delete(sys::RegistryStore& store, const KeyName& key, const std::string& keyText,
           const std::string& name) {
  int exitCode = 0;
  HKEY handle = Open(store, key, keyText, platform::KEY_SET_VALUE, exitCode);
  if (handle == 0) return exitCode;
  LONG result = store.RegDeleteValueA(handle, name);
  store.RegCloseKey(handle);
  if (result != platform::ERROR_SUCCESS) {
    return Failed(store, "delete " + name + " in " + keyText, result, "no such value");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string machineFolder = sys::DefaultRegistryFolders().machine;
  while (!args.empty() && args[0].starts_with("-")) {
    if (args[0] == "--help" || args[0] == "-h") {
      std::printf("%s", kUsage);
      return 0;
    }
    if (args[0] == "--version") {
      lectryn::app::PrintVersion("lectryn-reg");
      return 0;
    }
    if (args[0] != "--machine-folder" || args.size() < 2) return Usage("unknown option " + args[0]);
    machineFolder = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) return Usage("missing command or key");
  const std::string& command = args[0];
  const std::string& keyText = args[1];
  std::optional<KeyName> key = ParseKey(keyText);
  if (!key) return Usage("a key starts with HKCU\\ or HKLM\\: " + keyText);

  sys::RegistryFolders folders = sys::DefaultRegistryFolders();
  if (folders.user.empty()) {
    std::fprintf(stderr,
                 "lectryn-reg: cannot find the user's settings folder: set HOME or XDG_CONFIG_HOME\n");
    return kExitFailure;
  }
  // The tool administers: the machine hive is as writable as its folder lets this user make it.
  sys::RegistryStore store(folders.user, machineFolder, sys::MachineHive::Writable);

  if (command == "query" && (args.size() == 2 || args.size() == 3)) {
    return Query(store, *key, keyText, args.size() == 3 ? &args[2] : nullptr);
  }
  if (command == "set" && args.size() == 5) return Set(store, *key, keyText, args[2], args[3], args[4]);
  if (command == "delete" && args.size() == 3) return Delete(store, *key, keyText, args[2]);
  if (command == "deny" && args.size() == 3) {
    std::optional<uint32_t> mask = ParseNumber(args[2]);
    if (!mask) return Usage("not an access mask: " + args[2]);
    LONG result = store.SetDeniedAccess(key->root, key->path, *mask);
    if (result != platform::ERROR_SUCCESS) return Failed(store, "set the deny rule of " + keyText, result);
    return 0;
  }
  return Usage("unknown command or wrong number of arguments: " + command);
}
