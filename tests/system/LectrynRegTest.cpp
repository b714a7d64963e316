// Runs the built lectryn-reg against hives in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "settings/RegHelper.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using namespace platform;
using lectryn::testing::ReadFile;
using lectryn::testing::TempFolder;

constexpr char kKey[] = "HKCU\\Software\\Corvath\\Lectryn\\1.00b";

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class LectrynRegTest : public ::testing::Test {
 protected:
  std::filesystem::path ConfigHome() const { return temp_ / "config"; }
  std::filesystem::path MachineFolder() const { return temp_ / "machine"; }

  // The machine folder is always given, so no run can reach the real one.
  ToolRun Reg(std::vector<std::string> args) {
    args.insert(args.begin(), {LECTRYN_REG_PATH, "--machine-folder", MachineFolder().string()});
    std::filesystem::path out = temp_ / "out";
    std::filesystem::path err = temp_ / "err";
    pid_t child = fork();
    if (child == 0) {
      setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
      int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(120);
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(121);
    }
    ToolRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
      run.exitCode = WEXITSTATUS(status);
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
  }

  TempFolder temp_;
};

TEST_F(LectrynRegTest, SettingReadByTheProgramShowsAsTextWithoutItsTerminator) {
  RegistryStore store(ConfigHome() / "lectryn", MachineFolder());
  EXPECT_EQ("1000", settings::RegHelper(store).ReadSetting("MainLeft", "1000"));
  ToolRun run = Reg({"query", kKey});
  EXPECT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ("MainLeft REG_SZ 1000\n", run.out);
}

TEST_F(LectrynRegTest, SetQueryAndDeleteValues) {
  EXPECT_EQ(0, Reg({"set", kKey, "MainLeft", "sz", "1000"}).exitCode);
  EXPECT_EQ(0,
            Reg({"set", "HKEY_CURRENT_USER\\software\\corvath\\lectryn\\1.00B", "MainTop", "dword", "1234"})
                .exitCode);
  EXPECT_EQ(0, Reg({"set", kKey, "", "dword", "-1"}).exitCode);
  EXPECT_EQ("MainLeft REG_SZ 1000\nMainTop REG_DWORD 1234\n\"\" REG_DWORD 4294967295\n",
            Reg({"query", kKey}).out);
  EXPECT_EQ("MainTop REG_DWORD 1234\n", Reg({"query", kKey, "maintop"}).out);

  EXPECT_EQ(0, Reg({"delete", kKey, "MainTop"}).exitCode);
  ToolRun missing = Reg({"query", kKey, "MainTop"});
  EXPECT_EQ(1, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.err.find("no such value")) << missing.err;
  EXPECT_EQ(1, Reg({"delete", kKey, "MainTop"}).exitCode);

  // What the tool writes is what the store reads.
  RegistryStore store(ConfigHome() / "lectryn", MachineFolder());
  HKEY key = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            store.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvath\\Lectryn\\1.00b", 0, 1, key));
  uint8_t data[8] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS, store.RegQueryValueExA(key, "MainLeft", nullptr, &type, data, &size));
  EXPECT_EQ(std::string("1000\0", 5), std::string(reinterpret_cast<char*>(data), size));
}

TEST_F(LectrynRegTest, OtherTypesShowAsHexBytes) {
  RegistryStore store(ConfigHome() / "lectryn", MachineFolder());
  HKEY key = 0;
  ASSERT_EQ(ERROR_SUCCESS, store.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\T", 0, nullptr, 0, 0x3F,
                                                 nullptr, key, nullptr));
  const uint8_t bytes[] = {0x25, 0x00, 0xff};
  store.RegSetValueExA(key, "b", 0, REG_BINARY, bytes, 3);
  store.RegSetValueExA(key, "e", 0, REG_EXPAND_SZ, bytes, 2);
  store.RegSetValueExA(key, "short", 0, REG_DWORD, bytes, 3);
  store.RegSetValueExA(key, "q", 0, REG_QWORD, nullptr, 0);
  EXPECT_EQ("b REG_BINARY 2500ff\ne REG_EXPAND_SZ 2500\nshort REG_DWORD 2500ff\nq REG_QWORD\n",
            Reg({"query", "HKCU\\Software\\T"}).out);
}

TEST_F(LectrynRegTest, DenyRuleIsSetAndRemovedByTheTool) {
  ASSERT_EQ(0, Reg({"set", kKey, "MainLeft", "sz", "50"}).exitCode);
  ASSERT_EQ(0, Reg({"deny", kKey, "0x3F"}).exitCode);
  ToolRun denied = Reg({"query", kKey});
  EXPECT_EQ(1, denied.exitCode);
  EXPECT_NE(std::string::npos, denied.err.find("access denied")) << denied.err;

  RegistryStore store(ConfigHome() / "lectryn", MachineFolder());
  EXPECT_EQ("1000", settings::RegHelper(store).ReadSetting("MainLeft", "1000"));

  ASSERT_EQ(0, Reg({"deny", kKey, "0"}).exitCode);
  EXPECT_EQ("MainLeft REG_SZ 50\n", Reg({"query", kKey}).out);
}

TEST_F(LectrynRegTest, MachineHiveIsWrittenByTheToolAndReadableByEveryone) {
  ASSERT_EQ(0, Reg({"set", "HKLM\\SOFTWARE\\Shared Tools Location", "MSINFO", "sz", "/opt/info"}).exitCode);
  EXPECT_EQ("MSINFO REG_SZ /opt/info\n",
            Reg({"query", "HKEY_LOCAL_MACHINE\\software\\shared tools location"}).out);
  struct stat info {};
  ASSERT_EQ(0, stat((MachineFolder() / "machine.hive").c_str(), &info));
  EXPECT_EQ(0644u, info.st_mode & 07777);
}

TEST_F(LectrynRegTest, FailuresExitWithOneAndUsageErrorsWithTwo) {
  ToolRun missing = Reg({"query", "HKCU\\Software\\Nothing"});
  EXPECT_EQ(1, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.err.find("HKCU\\Software\\Nothing")) << missing.err;
  EXPECT_NE(std::string::npos, missing.err.find("no such key")) << missing.err;
  EXPECT_EQ(1, Reg({"set", "HKCU\\\\bad", "x", "sz", "y"}).exitCode);

  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"query"},
                                               {"query", "HKXX\\Software"},
                                               {"frob", kKey},
                                               {"set", kKey, "x", "qword", "1"},
                                               {"set", kKey, "x", "dword", "12abc"},
                                               {"set", kKey, "x", "dword", "4294967296"},
                                               {"set", kKey, "x"},
                                               {"deny", kKey, "lots"}}) {
    ToolRun run = Reg(args);
    EXPECT_EQ(2, run.exitCode) << ::testing::PrintToString(args);
    EXPECT_NE(std::string::npos, run.err.find("usage:")) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(ConfigHome() / "lectryn" / "user.hive")) << "nothing was written";
}

}  // namespace
}  // namespace lectryn::system
