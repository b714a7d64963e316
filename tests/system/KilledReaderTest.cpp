// The terminal reader killed with SIGKILL while it reads: nothing it leaves behind may stop the next
// start, the settings stay as they were and the next reading goes to the end of the page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "settings/RegHelper.h"
#include "system/InstanceLock.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using lectryn::testing::ReadFile;
using lectryn::testing::TempFolder;

const std::string kPage = std::string(LECTRYN_TEST_PAGES_DIR) + "/reading.htm";

struct KillPoint {
  const char* name;
  const char* waitFor;  // trace text that must have appeared before the kill; empty: kill at once
};

class KilledReaderTest : public ::testing::TestWithParam<KillPoint> {
 protected:
  void SetUp() override {
    for (const char* folder : {"run", "config", "home"}) std::filesystem::create_directories(temp_ / folder);
    RegistryStore store(temp_ / "config" / "lectryn", temp_ / "machine");
    settings::RegHelper helper(store);
    helper.WriteSetting("MainLeft", "1000");
    helper.WriteSetting("Voice", "en");
  }

  // Starts the reader with this test's folders as its whole environment; output goes to files.
  pid_t Start(std::vector<std::string> arguments) {
    std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + (temp_ / "run").string(),
                                            "XDG_CONFIG_HOME=" + (temp_ / "config").string(),
                                            "HOME=" + (temp_ / "home").string(), "PATH=/usr/bin:/bin"};
    arguments.insert(arguments.begin(), LECTRYN_READ_BINARY);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, OutPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (temp_ / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t child = -1;
    if (posix_spawn(&child, LECTRYN_READ_BINARY, &actions, nullptr, Pointers(arguments).data(),
                    Pointers(environment).data()) != 0) {
      child = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
  }

  static std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  std::string OutPath() const { return (temp_ / "out").string(); }

  // Every file below folder, relative to it.
  std::set<std::string> FilesIn(const std::string& folder) const {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(temp_ / folder))
      files.insert(std::filesystem::relative(entry.path(), temp_ / folder).string());
    return files;
  }

  TempFolder temp_;
};

TEST_P(KilledReaderTest, NextStartReadsToTheEndAndFindsEverythingAsItWas) {
  const std::string hiveBefore = ReadFile(temp_ / "config" / "lectryn" / "user.hive");
  const std::set<std::string> configBefore = FilesIn("config");

  // The real voice in silent mode speaks in real time, so the reading is still going when killed.
  pid_t reader = Start({"--audio", "none", "--quiet", "--trace", "-", kPage});
  ASSERT_GT(reader, 0);
  const std::string waitFor = GetParam().waitFor;
  bool seen = waitFor.empty();
  for (int tries = 0; tries < 1000 && !seen; ++tries) {
    usleep(10'000);
    seen = ReadFile(OutPath()).find(waitFor) != std::string::npos;
  }
  kill(reader, SIGKILL);
  int status = 0;
  ASSERT_EQ(reader, waitpid(reader, &status, 0));
  ASSERT_TRUE(seen) << "the reader never got to " << waitFor << "; it wrote: " << ReadFile(OutPath());
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
      << "the reader ended before the kill; it wrote: " << ReadFile(OutPath());
  EXPECT_EQ(std::string::npos, ReadFile(OutPath()).find("end-of-page")) << "killed too late to test anything";

  EXPECT_EQ(hiveBefore, ReadFile(temp_ / "config" / "lectryn" / "user.hive"));
  EXPECT_EQ(configBefore, FilesIn("config"));
  EXPECT_TRUE(InstanceLock((temp_ / "run").string()).Acquire()) << "a lock outlived the killed reader";

  pid_t next = Start({"--voice", "scripted", "--quiet", "--trace", "-", kPage});
  ASSERT_GT(next, 0);
  ASSERT_EQ(next, waitpid(next, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(temp_ / "err");
  std::string out = ReadFile(OutPath());
  size_t lastLine = out.rfind('\n', out.size() - 2);
  EXPECT_TRUE(out.substr(lastLine + 1).starts_with("{\"event\":\"stop\",\"reason\":\"end-of-page\",")) << out;
  EXPECT_EQ(hiveBefore, ReadFile(temp_ / "config" / "lectryn" / "user.hive"));
}

INSTANTIATE_TEST_SUITE_P(KillPoints, KilledReaderTest,
                         ::testing::Values(KillPoint{"WhileLoading", ""}, KillPoint{"MidWord", "\"word\""},
                                           KillPoint{"BetweenPieces", "{\"event\":\"end\","}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lectryn::system
