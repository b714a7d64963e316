#include "system/RegistryStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using namespace platform;
using lectryn::testing::ReadFile;
using lectryn::testing::TempFolder;
using lectryn::testing::WriteFile;

constexpr char kKey[] = "Software\\Corvath\\Lectryn\\1.00b";

class RegistryStoreTest : public ::testing::Test {
 protected:
  std::filesystem::path UserFolder() const { return temp_ / "config" / "lectryn"; }
  std::filesystem::path MachineFolder() const { return temp_ / "etc" / "lectryn"; }
  std::filesystem::path UserHive() const { return UserFolder() / "user.hive"; }
  RegistryStore NewStore() { return RegistryStore(UserFolder(), MachineFolder()); }

  static HKEY Create(RegistryStore& store, HKEY root, const std::string& path, REGSAM access = 0x3F,
                     DWORD* disposition = nullptr) {
    HKEY key = 0;
    EXPECT_EQ(ERROR_SUCCESS, store.RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                                   nullptr, key, disposition));
    return key;
  }
  static LONG SetText(RegistryStore& store, HKEY key, const std::string& name, std::string text) {
    text.push_back('\0');
    return store.RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(text.data()),
                                static_cast<DWORD>(text.size()));
  }
  // The value's type and bytes, or the failing result code as the type and no bytes.
  static std::pair<DWORD, std::string> Get(RegistryStore& store, HKEY key, const std::string& name) {
    DWORD type = 0;
    DWORD size = 0;
    LONG result = store.RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return {1000 + static_cast<DWORD>(result), ""};
    std::string data(size, '?');
    result =
        store.RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(data.data()), &size);
    if (result != ERROR_SUCCESS) return {1000 + static_cast<DWORD>(result), ""};
    return {type, data.substr(0, size)};
  }

  TempFolder temp_;
};

TEST_F(RegistryStoreTest, CreateMakesMissingParentsAndReportsWhatItDid) {
  RegistryStore store = NewStore();
  DWORD disposition = 0;
  HKEY key = Create(store, HKEY_CURRENT_USER, kKey, 0x3F, &disposition);
  EXPECT_GT(key, 0);
  EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
  HKEY again = Create(store, HKEY_CURRENT_USER, "SOFTWARE\\corvath\\LECTRYN\\1.00B", 0x3F, &disposition);
  EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
  EXPECT_NE(key, again);

  HKEY parent = 0;
  EXPECT_EQ(ERROR_SUCCESS,
            store.RegOpenKeyExA(HKEY_CURRENT_USER, "software\\Corvath", 0, KEY_QUERY_VALUE, parent));
  // A key opened relative to another handle.
  HKEY child = 0;
  EXPECT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(parent, "lectryn\\1.00b", 0, KEY_QUERY_VALUE, child));
  EXPECT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));
  EXPECT_EQ("1000", Get(store, child, "MainLeft").second.substr(0, 4));
}

TEST_F(RegistryStoreTest, OpeningAMissingKeyFailsWithNotFoundAndNoHandle) {
  RegistryStore store = NewStore();
  HKEY key = 1234;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, 0x3F, key));
  EXPECT_EQ(0, key);
  EXPECT_FALSE(std::filesystem::exists(UserFolder())) << "a read must not create anything";
  EXPECT_EQ(ERROR_INVALID_PARAMETER, store.RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, 0x3F, key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, store.RegOpenKeyExA(static_cast<HKEY>(0x80000003u), "x", 0, 0x3F, key));
}

TEST_F(RegistryStoreTest, HandlesAreValidUntilClosedAndNeverReused) {
  RegistryStore store = NewStore();
  HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
  EXPECT_EQ(ERROR_SUCCESS, store.RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, store.RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, store.RegCloseKey(0));
  EXPECT_EQ(ERROR_INVALID_HANDLE, store.RegCloseKey(987654));
  DWORD size = 0;
  EXPECT_EQ(ERROR_INVALID_HANDLE, store.RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_INVALID_HANDLE, SetText(store, key, "x", "y"));
  HKEY next = Create(store, HKEY_CURRENT_USER, kKey);
  EXPECT_NE(key, next);
}

TEST_F(RegistryStoreTest, QueryGivesSizeWithoutBufferAndMoreDataWithTheSizeForAShortOne) {
  RegistryStore store = NewStore();
  HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));

  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, store.RegQueryValueExA(key, "MainLeft", nullptr, &type, nullptr, &size));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(5u, size);

  uint8_t buffer[8] = {'-', '-', '-', '-', '-', '-', '-', '-'};
  size = 3;
  EXPECT_EQ(ERROR_MORE_DATA, store.RegQueryValueExA(key, "MainLeft", nullptr, &type, buffer, &size));
  EXPECT_EQ(5u, size);
  size = sizeof buffer;
  EXPECT_EQ(ERROR_SUCCESS, store.RegQueryValueExA(key, "mainleft", nullptr, &type, buffer, &size));
  EXPECT_EQ(5u, size);
  EXPECT_EQ(std::string("1000\0---", 8), std::string(reinterpret_cast<char*>(buffer), 8));

  EXPECT_EQ(ERROR_FILE_NOT_FOUND, store.RegQueryValueExA(key, "MainTop", nullptr, &type, nullptr, &size));
  DWORD reserved = 0;
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            store.RegQueryValueExA(key, "MainLeft", &reserved, &type, nullptr, &size));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            store.RegQueryValueExA(key, "MainLeft", nullptr, &type, buffer, nullptr));
}

TEST_F(RegistryStoreTest, ValuesKeepTheirTypeAndExactBytesAcrossStores) {
  const std::vector<std::pair<DWORD, std::string>> values = {{REG_SZ, std::string("no terminator")},
                                                             {REG_SZ, std::string("in\0side\0", 8)},
                                                             {REG_EXPAND_SZ, std::string("%HOME%\0", 7)},
                                                             {REG_BINARY, std::string("\x00\xff\n\r%@", 6)},
                                                             {REG_DWORD, std::string("\xd2\x04\0\0", 4)},
                                                             {REG_QWORD, std::string(8, '\x7f')},
                                                             {REG_NONE, std::string()},
                                                             {777, std::string("odd type")}};
  {
    RegistryStore store = NewStore();
    HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
    for (size_t i = 0; i < values.size(); ++i) {
      ASSERT_EQ(ERROR_SUCCESS, store.RegSetValueExA(key, "v " + std::to_string(i), 0, values[i].first,
                                                    reinterpret_cast<const uint8_t*>(values[i].second.data()),
                                                    static_cast<DWORD>(values[i].second.size())));
    }
    ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "", "unnamed"));
  }
  RegistryStore reopened = NewStore();
  HKEY key = 0;
  ASSERT_EQ(ERROR_SUCCESS, reopened.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, key));
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(values[i], Get(reopened, key, "v " + std::to_string(i)));
  EXPECT_EQ(std::string("unnamed\0", 8), Get(reopened, key, "").second);
}

TEST_F(RegistryStoreTest, ASetReplacesTypeAndBytesAndRejectsMissingData) {
  RegistryStore store = NewStore();
  HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));
  const uint8_t number[4] = {1, 0, 0, 0};
  ASSERT_EQ(ERROR_SUCCESS, store.RegSetValueExA(key, "MAINLEFT", 0, REG_DWORD, number, 4));
  EXPECT_EQ(std::make_pair(REG_DWORD, std::string("\1\0\0\0", 4)), Get(store, key, "MainLeft"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, store.RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 4));
}

TEST_F(RegistryStoreTest, HandlesGrantOnlyTheRightsTheyWereOpenedWith) {
  RegistryStore store = NewStore();
  HKEY full = Create(store, HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(ERROR_SUCCESS, SetText(store, full, "MainLeft", "1000"));
  HKEY readOnly = 0;
  HKEY writeOnly = 0;
  ASSERT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, readOnly));
  ASSERT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, writeOnly));
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetText(store, readOnly, "MainLeft", "5"));
  DWORD size = 0;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            store.RegQueryValueExA(writeOnly, "MainLeft", nullptr, nullptr, nullptr, &size));
  // Creating a sub-key needs the create right on the parent handle.
  HKEY child = 0;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            store.RegCreateKeyExA(readOnly, "child", 0, nullptr, 0, 0x3F, nullptr, child, nullptr));
  EXPECT_EQ(std::string("1000\0", 5), Get(store, full, "MainLeft").second);
}

TEST_F(RegistryStoreTest, DenyRuleRefusesEveryOpenThatAsksForADeniedRight) {
  {
    RegistryStore store = NewStore();
    HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));
    ASSERT_EQ(ERROR_SUCCESS, store.SetDeniedAccess(HKEY_CURRENT_USER, kKey, 0x3F));
  }
  RegistryStore store = NewStore();  // the rule is kept in the hive
  HKEY key = 77;
  EXPECT_EQ(ERROR_ACCESS_DENIED, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, 0x3F, key));
  EXPECT_EQ(0, key);
  EXPECT_EQ(ERROR_ACCESS_DENIED, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_NOTIFY, key));
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            store.RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, 0x3F, nullptr, key, nullptr));
  // Asking for no denied right still opens, but such a handle can do nothing.
  ASSERT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, READ_CONTROL, key));
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetText(store, key, "MainLeft", "5"));

  ASSERT_EQ(ERROR_SUCCESS, store.SetDeniedAccess(HKEY_CURRENT_USER, kKey, 0));
  ASSERT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, 0x3F, key));
  EXPECT_EQ(std::string("1000\0", 5), Get(store, key, "MainLeft").second);
}

TEST_F(RegistryStoreTest, DenyRuleWrittenByHandInTheHiveIsObeyed) {
  std::filesystem::create_directories(UserFolder());
  WriteFile(UserHive(), "lectryn-hive 1\nkey Software\\Corvath\\Lectryn\\1.00b\ndeny 0x1\nend\n");
  RegistryStore store = NewStore();
  HKEY key = 0;
  EXPECT_EQ(ERROR_ACCESS_DENIED, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, 0x3F, key));
  EXPECT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, key));
}

TEST_F(RegistryStoreTest, MachineHiveIsReadOnlyToTheProgram) {
  std::filesystem::create_directories(MachineFolder());
  const std::string text =
      "lectryn-hive 1\nkey SOFTWARE\\Microsoft\\Shared%20Tools\\MSINFO\nvalue PATH REG_SZ 2f6200\nend\n";
  WriteFile(MachineFolder() / "machine.hive", text);
  RegistryStore store = NewStore();
  HKEY key = 0;
  // Opening with write rights succeeds, so that readers that ask for them still read.
  ASSERT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                               "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", 0, 0x2003F, key));
  EXPECT_EQ(std::make_pair(REG_SZ, std::string("/b\0", 3)), Get(store, key, "PATH"));
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetText(store, key, "PATH", "/evil"));
  HKEY created = 0;
  EXPECT_EQ(ERROR_ACCESS_DENIED, store.RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, nullptr, 0,
                                                       0x3F, nullptr, created, nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetText(store, HKEY_LOCAL_MACHINE, "x", "y"));
  EXPECT_EQ(text, ReadFile(MachineFolder() / "machine.hive"));
  // The user's hive is a different one.
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            store.RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", 0, 1, key));
}

TEST_F(RegistryStoreTest, AnotherStoresChangesAreSeenAndMergedNotLost) {
  RegistryStore first = NewStore();
  RegistryStore second = NewStore();
  HKEY a = Create(first, HKEY_CURRENT_USER, kKey);
  HKEY b = Create(second, HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(ERROR_SUCCESS, SetText(first, a, "MainLeft", "1"));
  ASSERT_EQ(ERROR_SUCCESS, SetText(second, b, "MainTop", "2"));  // second never read MainLeft
  ASSERT_EQ(ERROR_SUCCESS, SetText(first, a, "Other", "3"));
  EXPECT_EQ(std::string("2\0", 2), Get(first, a, "MainTop").second);
  EXPECT_EQ(std::string("1\0", 2), Get(second, b, "MainLeft").second);
  EXPECT_EQ(std::string("3\0", 2), Get(second, b, "Other").second);
}

TEST_F(RegistryStoreTest, HiveFilesArePrivateToTheUser) {
  RegistryStore store = NewStore();
  HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));
  ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainTop", "1000"));
  struct stat info {};
  ASSERT_EQ(0, stat(UserFolder().c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 07777);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(UserFolder())) {
    ASSERT_EQ(0, stat(entry.path().c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 07777) << entry.path();
    ++files;
  }
  EXPECT_EQ(2, files) << "the hive and its lock file, no temporary left";
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceKeepEveryValue) {
  constexpr int kValuesEach = 40;
  std::vector<pid_t> children;
  for (char writer : {'a', 'b'}) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RegistryStore store = NewStore();
      HKEY key = 0;
      int failures = 0;
      for (int i = 0; i < kValuesEach; ++i) {
        failures +=
            store.RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, 0x3F, nullptr, key, nullptr) != 0;
        failures += SetText(store, key, std::string(1, writer) + std::to_string(i), "x") != ERROR_SUCCESS;
        store.RegCloseKey(key);
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  RegistryStore store = NewStore();
  HKEY key = 0;
  ASSERT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, key));
  int found = 0;
  for (char writer : {'a', 'b'}) {
    for (int i = 0; i < kValuesEach; ++i)
      found += Get(store, key, std::string(1, writer) + std::to_string(i)).first == REG_SZ;
  }
  EXPECT_EQ(2 * kValuesEach, found);
}

TEST_F(RegistryStoreTest, WriterKilledBeforeReplacingLeavesTheHiveIntact) {
  {
    RegistryStore store = NewStore();
    HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));
  }
  const std::string before = ReadFile(UserHive());
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RegistryStore store = NewStore();
    store.SetBeforeReplaceHookForTesting([] { _exit(0); });
    HKEY key = 0;
    store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, 0x3F, key);
    SetText(store, key, "MainLeft", "666");
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer did not stop at the hook";

  EXPECT_EQ(before, ReadFile(UserHive()));
  int temporaries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(UserFolder())) {
    temporaries += entry.path().filename().string().starts_with("user.hive.tmp-");
  }
  EXPECT_EQ(1, temporaries);

  RegistryStore store = NewStore();
  HKEY key = 0;
  ASSERT_EQ(ERROR_SUCCESS, store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, 0x3F, key));
  EXPECT_EQ(std::string("1000\0", 5), Get(store, key, "MainLeft").second);
  ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainTop", "7"));
  for (const auto& entry : std::filesystem::directory_iterator(UserFolder())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("user.hive.tmp-")) << entry.path();
  }
  RegistryStore later = NewStore();
  ASSERT_EQ(ERROR_SUCCESS, later.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, key));
  EXPECT_EQ(std::string("1000\0", 5), Get(later, key, "MainLeft").second);
  EXPECT_EQ(std::string("7\0", 2), Get(later, key, "MainTop").second);
}

TEST_F(RegistryStoreTest, DamagedHiveIsSetAsideReportedAndTheStoreGoesOnEmpty) {
  std::filesystem::create_directories(UserFolder());
  const std::string damaged = "lectryn-hive 1\nkey Software\nvalue MainLeft REG_SZ 31303\n";
  WriteFile(UserHive(), damaged);

  ::testing::internal::CaptureStderr();
  RegistryStore store = NewStore();
  HKEY key = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, store.RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, 0x3F, key));
  std::string message = ::testing::internal::GetCapturedStderr();

  std::vector<std::filesystem::path> aside;
  for (const auto& entry : std::filesystem::directory_iterator(UserFolder())) {
    if (entry.path().filename().string().starts_with("user.hive.damaged-")) aside.push_back(entry.path());
  }
  ASSERT_EQ(1u, aside.size());
  EXPECT_EQ(damaged, ReadFile(aside[0]));
  EXPECT_NE(std::string::npos, message.find(UserHive().string())) << message;
  EXPECT_NE(std::string::npos, message.find(aside[0].string())) << message;

  key = Create(store, HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));
  RegistryStore later = NewStore();
  ASSERT_EQ(ERROR_SUCCESS, later.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, key));
  EXPECT_EQ(std::string("1000\0", 5), Get(later, key, "MainLeft").second);
  EXPECT_EQ(damaged, ReadFile(aside[0])) << "the set-aside file is never touched again";
}

TEST_F(RegistryStoreTest, HiveOfANewerFormatIsNeitherReadNorOverwritten) {
  std::filesystem::create_directories(UserFolder());
  const std::string newer = "lectryn-hive 9\nsomething we do not know\n";
  WriteFile(UserHive(), newer);
  ::testing::internal::CaptureStderr();
  RegistryStore store = NewStore();
  HKEY key = 0;
  DWORD disposition = 0;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            store.RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, 0x3F, nullptr, key, &disposition));
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("newer"));
  EXPECT_EQ(newer, ReadFile(UserHive()));
}

TEST_F(RegistryStoreTest, HiveThatCannotBeReadIsNeverReplaced) {
  // A folder where the hive should be: unreadable for every user, root included.
  std::filesystem::create_directories(UserHive() / "inside");
  ::testing::internal::CaptureStderr();
  RegistryStore store = NewStore();
  HKEY key = 0;
  LONG result = store.RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, 0x3F, nullptr, key, nullptr);
  ::testing::internal::GetCapturedStderr();
  EXPECT_NE(ERROR_SUCCESS, result);
  EXPECT_NE(std::string::npos, store.LastError().find(UserHive().string())) << store.LastError();
  EXPECT_TRUE(std::filesystem::is_directory(UserHive() / "inside"));
}

// Runs check in a child process that is not root (root ignores file modes), returning its exit code;
// -1 when no such process can be made.
int RunAsOrdinaryUser(const std::filesystem::path& folder, const std::function<int()>& check) {
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (chown(entry.path().c_str(), kNobody, kNobody) != 0) _exit(100);
      }
      if (chown(folder.c_str(), kNobody, kNobody) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
        _exit(100);
    }
    _exit(check());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
}

TEST_F(RegistryStoreTest, ReadOnlyFolderMakesWritesAccessDeniedAndReadsGoOn) {
  {
    RegistryStore store = NewStore();
    HKEY key = Create(store, HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(ERROR_SUCCESS, SetText(store, key, "MainLeft", "1000"));
  }
  std::filesystem::remove(UserFolder() / "user.hive.lock");  // so that even opening the lock is refused
  const std::string before = ReadFile(UserHive());
  int failures = RunAsOrdinaryUser(temp_.Path(), [&] {
    if (chmod(UserFolder().c_str(), 0500) != 0) return 50;
    RegistryStore store = NewStore();
    HKEY key = 0;
    int failed = 0;
    failed |= (store.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, 0x3F, key) != ERROR_SUCCESS) << 0;
    failed |= (Get(store, key, "MainLeft").second != std::string("1000\0", 5)) << 1;
    failed |= (SetText(store, key, "MainLeft", "5") != ERROR_ACCESS_DENIED) << 2;
    HKEY created = 0;
    failed |= (store.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, 0x3F, nullptr,
                                     created, nullptr) != ERROR_ACCESS_DENIED)
              << 3;
    failed |= (store.LastError().find(UserFolder().string()) == std::string::npos) << 4;
    return failed;
  });
  if (failures < 0) GTEST_SKIP() << "cannot run a process as an ordinary user here";
  EXPECT_EQ(0, failures) << "bit mask of the failed checks";
  EXPECT_EQ(before, ReadFile(UserHive()));
}

TEST(DefaultRegistryFolders, FollowXdgConfigHomeThenHome) {
  const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
  const char* savedHome = std::getenv("HOME");
  std::string config = savedConfig ? savedConfig : "";
  std::string home = savedHome ? savedHome : "";
  setenv("XDG_CONFIG_HOME", "/x/config", 1);
  setenv("HOME", "/h", 1);
  EXPECT_EQ("/x/config/lectryn", DefaultRegistryFolders().user);
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ("/h/.config/lectryn", DefaultRegistryFolders().user);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ("/h/.config/lectryn", DefaultRegistryFolders().user);
  EXPECT_EQ("/etc/lectryn", DefaultRegistryFolders().machine);
  if (savedConfig) setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("HOME", home.c_str(), 1);
  if (!savedHome) unsetenv("HOME");
}

}  // namespace
}  // namespace lectryn::system
