#include "system/InstanceLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "system/DesktopShell.h"
#include "system/ProgramApp.h"
#include "system/ScopedEnvironment.h"
#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using testing::ScopedEnvironment;
using testing::TempFolder;

TEST(InstanceLock, SecondHolderFailsUntilTheFirstIsGone) {
  TempFolder temp;
  std::string folder = (temp / "run" / "deeper").string();  // made on demand
  std::optional<InstanceLock> first(std::in_place, folder);
  ASSERT_TRUE(first->Acquire());
  EXPECT_TRUE(first->Acquire()) << "asking again must not lose the lock";
  InstanceLock second(folder);
  EXPECT_FALSE(second.Acquire());

  InstanceLock moved(std::move(*first));
  first.reset();
  EXPECT_FALSE(second.Acquire()) << "the moved-to lock still holds";

  moved = InstanceLock((temp / "other").string());
  EXPECT_TRUE(second.Acquire());
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / InstanceLock::kFileName));
}

TEST(InstanceLock, KilledHolderDoesNotBlock) {
  TempFolder temp;
  InstanceLock childLock(temp.Path().string());
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char held = childLock.Acquire() ? 'y' : 'n';
    if (write(ready[1], &held, 1) != 1) _exit(1);
    for (;;) pause();
  }
  close(ready[1]);
  char held = 0;
  ASSERT_EQ(1, read(ready[0], &held, 1));
  close(ready[0]);
  EXPECT_EQ('y', held);

  InstanceLock mine(temp.Path().string());
  EXPECT_FALSE(mine.Acquire());
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(std::filesystem::exists(mine.FilePath())) << "the stale file stays";
  EXPECT_TRUE(mine.Acquire());
}

TEST(InstanceLock, ProgramsStartedWhileHeldDoNotKeepIt) {
  TempFolder temp;
  std::optional<InstanceLock> lock(std::in_place, temp.Path().string());
  ASSERT_TRUE(lock->Acquire());
  DesktopShell().StartProgram("/bin/sleep 3", 1);
  lock.reset();
  EXPECT_TRUE(InstanceLock(temp.Path().string()).Acquire());
}

TEST(InstanceLock, FolderPrefersRuntimeThenConfigThenHome) {
  ScopedEnvironment environment;
  environment.Set("XDG_RUNTIME_DIR", "/run/user/7");
  environment.Set("XDG_CONFIG_HOME", "/cfg");
  environment.Set("HOME", "/home/a");
  EXPECT_EQ("/run/user/7", InstanceLock::DefaultFolder());
  environment.Set("XDG_RUNTIME_DIR", "");
  EXPECT_EQ("/cfg/lectryn", InstanceLock::DefaultFolder());
  environment.Set("XDG_RUNTIME_DIR", nullptr);
  environment.Set("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ("/home/a/.config/lectryn", InstanceLock::DefaultFolder());
}

TEST(ProgramApp, KnowsItsFolderVersionAndTitle) {
  TempFolder temp;
  ProgramApp app(1, 2, 3, InstanceLock(temp.Path().string()));
  EXPECT_EQ(std::filesystem::canonical(SYSTEM_TESTS_DIR), std::filesystem::canonical(app.Path()));
  EXPECT_NE('/', app.Path().back());
  EXPECT_EQ(1, app.Major());
  EXPECT_EQ(2, app.Minor());
  EXPECT_EQ(3, app.Revision());
  EXPECT_EQ(u"Lectryn", app.Title());
}

TEST(ProgramApp, SecondCopyIsAPreviousInstanceAndStaysOne) {
  TempFolder temp;
  std::optional<ProgramApp> first(std::in_place, 1, 0, 0, InstanceLock(temp.Path().string()));
  ProgramApp second(1, 0, 0, InstanceLock(temp.Path().string()));
  EXPECT_FALSE(first->PrevInstance());
  EXPECT_TRUE(second.PrevInstance());
  first.reset();
  EXPECT_TRUE(second.PrevInstance()) << "the answer is given once, at start";
  EXPECT_FALSE(ProgramApp(1, 0, 0, InstanceLock(temp.Path().string())).PrevInstance());
}

// Installed, the data lies in share/lectryn beside bin/; in the build folder, beside the executable.
TEST(ProgramApp, FindsItsDataInstalledOrInTheBuildFolder) {
  TempFolder temp;
  std::filesystem::path bin = temp.Path() / "usr" / "bin";
  std::filesystem::path data = temp.Path() / "usr" / "share" / "lectryn";
  std::filesystem::create_directories(bin);
  EXPECT_EQ(bin.string(), ProgramApp::DataFolderFor(bin.string())) << "as built";
  std::filesystem::create_directories(data);
  EXPECT_EQ(bin.string(), ProgramApp::DataFolderFor(bin.string())) << "an empty share/lectryn is not ours";
  std::ofstream(data / "Help.htm") << "<p>help</p>";
  EXPECT_EQ(data.string(), ProgramApp::DataFolderFor(bin.string()));
  EXPECT_EQ(data.string(), ProgramApp::DataFolderFor(bin.string() + "/")) << "a trailing separator";
}

}  // namespace
}  // namespace lectryn::system
