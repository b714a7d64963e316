#include "settings/SystemInformation.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>

#include "system/RegistryStore.h"
#include "system/TempFolder.h"

namespace lectryn::settings {
namespace {

using namespace platform;
using lectryn::testing::TempFolder;

// A machine whose PATH holds the given programs (name to full path) and whose disk the given files.
struct FakeMachine {
  std::map<std::string, std::string> programs;
  std::set<std::string> files;

  InstalledPrograms Installed() const {
    return {[this](const std::string& name) -> std::optional<std::string> {
              auto found = programs.find(name);
              if (found == programs.end()) return std::nullopt;
              return found->second;
            },
            [this](const std::string& path) { return files.count(path) == 1; }};
  }
};

const std::string kGnome = "/usr/bin/gnome-control-center";
const std::string kKde = "/usr/bin/kinfocenter";
const std::string kHardinfo = "/usr/bin/hardinfo";
const std::string kOldGnomePanel = "/usr/share/applications/gnome-info-overview-panel.desktop";

struct Choice {
  const char* name;
  FakeMachine machine;
  const char* desktop;  // XDG_CURRENT_DESKTOP
  std::optional<std::string> command;
};

class SysInfoChoice : public ::testing::TestWithParam<Choice> {};

TEST_P(SysInfoChoice, PrefersTheRunningDesktopsOwnProgram) {
  const Choice& choice = GetParam();
  EXPECT_EQ(choice.command, ChooseSysInfoCommand(choice.machine.Installed(), choice.desktop));
}

INSTANTIATE_TEST_SUITE_P(
    Installed, SysInfoChoice,
    ::testing::Values(
        Choice{"Nothing", {}, "GNOME", std::nullopt},
        Choice{"GnomeUpTo45",
               {{{"gnome-control-center", kGnome}}, {kOldGnomePanel}},
               "GNOME",
               kGnome + " info-overview"},
        Choice{"GnomeSince46", {{{"gnome-control-center", kGnome}}, {}}, "GNOME", kGnome + " system about"},
        Choice{"KdeOnPlasma", {{{"gnome-control-center", kGnome}, {"kinfocenter", kKde}}, {}}, "KDE", kKde},
        Choice{"GnomeOnUbuntusGnome",
               {{{"gnome-control-center", kGnome}, {"kinfocenter", kKde}}, {kOldGnomePanel}},
               "ubuntu:GNOME",
               kGnome + " info-overview"},
        Choice{"GnomeFirstElsewhere",
               {{{"kinfocenter", kKde}, {"gnome-control-center", kGnome}}, {}},
               "XFCE",
               kGnome + " system about"},
        Choice{"KdeWithoutItsDesktop", {{{"kinfocenter", kKde}, {"hardinfo", kHardinfo}}, {}}, "", kKde},
        Choice{"HardinfoAlone", {{{"hardinfo", kHardinfo}}, {}}, "KDE", kHardinfo},
        Choice{"DesktopNameIsWholeWord",
               {{{"kinfocenter", kKde}, {"gnome-control-center", kGnome}}, {}},
               "GNOME-Flashback-KDEish",
               kGnome + " system about"},
        Choice{"PathWithSpaceIsQuoted",
               {{{"hardinfo", "/opt/my tools/hardinfo"}}, {}},
               "",
               std::string("\"/opt/my tools/hardinfo\"")}),
    [](const ::testing::TestParamInfo<Choice>& info) { return std::string(info.param.name); });

class SysInfoRecord : public ::testing::Test {
 protected:
  // The text value name of key under root, without its terminator; nothing when it cannot be read.
  std::optional<std::string> Value(system::RegistryStore& store, HKEY root, const char* key,
                                   const char* name) {
    HKEY handle = 0;
    if (store.RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, handle) != ERROR_SUCCESS) return std::nullopt;
    uint8_t data[1024] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    LONG result = store.RegQueryValueExA(handle, name, nullptr, &type, data, &size);
    store.RegCloseKey(handle);
    if (result != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }

  void Set(system::RegistryStore& store, HKEY root, const char* key, const char* name,
           const std::string& text) {
    HKEY handle = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              store.RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle, nullptr));
    std::string data = text + '\0';
    ASSERT_EQ(ERROR_SUCCESS,
              store.RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(data.data()),
                                   static_cast<DWORD>(data.size())));
    store.RegCloseKey(handle);
  }

  TempFolder temp_;
  // What the program opens: the machine's hive read-only; and what an administrator opens.
  system::RegistryStore store_{temp_ / "user", temp_ / "machine"};
  system::RegistryStore admin_{temp_ / "user", temp_ / "machine", system::MachineHive::Writable};
};

TEST_F(SysInfoRecord, MissingValuesAreRecordedForTheUserOnce) {
  EXPECT_EQ(Recorded::Yes, RecordSysInfoCommand(store_, "/usr/bin/hardinfo"));
  EXPECT_EQ("/usr/bin/hardinfo", Value(store_, HKEY_CURRENT_USER, kSysInfoKey, kSysInfoValue));
  EXPECT_FALSE(Value(store_, HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue)) << "the machine's is read-only";
  EXPECT_FALSE(std::filesystem::exists(temp_ / "machine")) << "nothing written for the machine";

  // The next start finds it there and leaves it, also when another program has come since.
  EXPECT_EQ(Recorded::AlreadyThere, RecordSysInfoCommand(store_, "/usr/bin/kinfocenter"));
  EXPECT_EQ("/usr/bin/hardinfo", Value(store_, HKEY_CURRENT_USER, kSysInfoKey, kSysInfoValue));
}

TEST_F(SysInfoRecord, ValuesAlreadyThereAreLeftAlone) {
  Set(admin_, HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, "/usr/local/bin/inventory");
  EXPECT_EQ(Recorded::AlreadyThere, RecordSysInfoCommand(store_, "/usr/bin/hardinfo"));
  EXPECT_FALSE(Value(store_, HKEY_CURRENT_USER, kSysInfoKey, kSysInfoValue)) << "the administrator's wins";

  TempFolder other;
  system::RegistryStore user(other / "user", other / "machine");
  Set(user, HKEY_CURRENT_USER, kSysInfoKey, kSysInfoValue, "/home/me/bin/my-sysinfo --all");
  EXPECT_EQ(Recorded::AlreadyThere, RecordSysInfoCommand(user, "/usr/bin/hardinfo"));
  EXPECT_EQ("/home/me/bin/my-sysinfo --all", Value(user, HKEY_CURRENT_USER, kSysInfoKey, kSysInfoValue));
}

TEST_F(SysInfoRecord, NothingInstalledRecordsNothing) {
  EXPECT_EQ(Recorded::NothingToRecord, RecordSysInfoCommand(store_, std::nullopt));
  EXPECT_FALSE(Value(store_, HKEY_CURRENT_USER, kSysInfoKey, kSysInfoValue));
  EXPECT_FALSE(std::filesystem::exists(store_.HivePath(HKEY_CURRENT_USER))) << "no hive made for nothing";
}

}  // namespace
}  // namespace lectryn::settings
