// Processes killed with SIGKILL at random moments: a settings writer must leave a hive that reads back
// whole, with the value it was replacing or the one it was writing, and a killed lock holder must not
// keep the next copy of the program from starting. The delays come from a generator started from a printed
// number, so LECTRYN_KILL_PATTERN replays a run; LECTRYN_KILL_ROUNDS changes the number of kills.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <random>
#include <string>

#include "settings/RegHelper.h"
#include "system/Hive.h"
#include "system/InstanceLock.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using namespace platform;
using lectryn::testing::ReadFile;
using lectryn::testing::TempFolder;

int KillRounds() {
  if (const char* rounds = std::getenv("LECTRYN_KILL_ROUNDS")) return std::max(1, std::atoi(rounds));
  return 1000;
}

uint32_t KillPattern() {
  if (const char* pattern = std::getenv("LECTRYN_KILL_PATTERN"))
    return static_cast<uint32_t>(std::strtoul(pattern, nullptr, 10));
  return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// Up to a few milliseconds, most of them short: the child is mid-write for much of that time.
useconds_t KillDelayMicros(std::mt19937& random) {
  return static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 6000)(random));
}

// What the child had begun and finished writing, in memory shared with the parent.
struct WriterProgress {
  std::atomic<int64_t> started;
  std::atomic<int64_t> finished;
};

class SharedProgress {
 public:
  SharedProgress() {
    void* memory =
        mmap(nullptr, sizeof(WriterProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) std::abort();
    progress_ = new (memory) WriterProgress{};
  }
  ~SharedProgress() { munmap(progress_, sizeof(WriterProgress)); }
  SharedProgress(const SharedProgress&) = delete;
  SharedProgress& operator=(const SharedProgress&) = delete;
  WriterProgress* operator->() { return progress_; }
  WriterProgress& Get() { return *progress_; }

 private:
  WriterProgress* progress_;
};

class KilledWriterTest : public ::testing::Test {
 protected:
  std::filesystem::path UserFolder() const { return temp_ / "config" / "lectryn"; }
  RegistryStore NewStore() const { return RegistryStore(UserFolder(), temp_ / "machine"); }

  // A settings value read without writing anything back; "<missing: code>" when it cannot be read.
  std::string ReadText(RegistryStore& store, const std::string& name) const {
    HKEY key = 0;
    LONG opened = store.RegOpenKeyExA(HKEY_CURRENT_USER, settings::kSettingsKey, 0, KEY_QUERY_VALUE, key);
    if (opened != ERROR_SUCCESS) return "<no key: " + std::to_string(opened) + ">";
    DWORD type = 0;
    std::string data(64, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    LONG result =
        store.RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(data.data()), &size);
    store.RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "<missing: " + std::to_string(result) + ">";
    if (type != REG_SZ || size == 0 || data[size - 1] != '\0')
      return "<not a text: " + data.substr(0, size) + ">";
    return data.substr(0, size - 1);
  }

  // Files in the settings folder whose names start with prefix.
  int CountFiles(const std::string& prefix) const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(UserFolder()))
      count += entry.path().filename().string().starts_with(prefix);
    return count;
  }

  [[noreturn]] void RunWriter(int64_t first, WriterProgress& progress) const {
    RegistryStore store = NewStore();
    settings::RegHelper helper(store);
    for (int64_t value = first;; ++value) {
      progress.started = value;
      helper.WriteSetting("MainLeft", std::to_string(value));
      progress.finished = value;
    }
  }

  TempFolder temp_;
};

TEST_F(KilledWriterTest, HiveReadsBackTheOldOrTheNewValueAfterEveryKill) {
  const std::map<std::string, std::string> others = {
      {"MainTop", "120"}, {"MainWidth", "6400"},  {"MainHeight", "4800"},
      {"Voice", "en"},    {"Rate", "-2"},         {"Volume", "100"},
      {"Continue", "1"},  {"Highlight", "65535"}, {"LastPage", "C:\\a b\\page one.htm"},
      {"Empty", ""}};
  {
    RegistryStore store = NewStore();
    settings::RegHelper helper(store);
    for (const auto& [name, text] : others) helper.WriteSetting(name, text);
    helper.WriteSetting("MainLeft", "0");
  }
  const uint32_t pattern = KillPattern();
  const int rounds = KillRounds();
  std::printf("kill pattern %u (LECTRYN_KILL_PATTERN), %d kills\n", pattern, rounds);
  std::mt19937 random(pattern);
  SharedProgress progress;
  int64_t held = 0;  // the value the hive holds
  // Never written before, so that the old value and the new one can always be told apart.
  int64_t next = 1;
  int killedMidWrite = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("pattern " + std::to_string(pattern) + ", kill " + std::to_string(round));
    progress->started = held;
    progress->finished = held;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) RunWriter(next, progress.Get());
    usleep(KillDelayMicros(random));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the writer ended by itself: " << status;

    const int64_t started = progress->started;
    const int64_t finished = progress->finished;
    killedMidWrite += started != finished;
    Hive parsed;
    HiveParse parse = Hive::Parse(ReadFile(UserFolder() / "user.hive"), parsed);
    ASSERT_EQ(HiveParse::Outcome::Parsed, parse.outcome) << parse.problem;
    RegistryStore store = NewStore();
    std::string value = ReadText(store, "MainLeft");
    ASSERT_TRUE(value == std::to_string(started) || value == std::to_string(finished))
        << "read \"" << value << "\"; the writer had finished " << finished << " and begun " << started;
    for (const auto& [name, text] : others) ASSERT_EQ(text, ReadText(store, name)) << name;
    ASSERT_EQ(0, CountFiles("user.hive.damaged"));
    // Each writer clears what the one before left; only the last one's temporary file may remain.
    ASSERT_LE(CountFiles("user.hive.tmp-"), 1);
    held = std::stoll(value);
    next = std::max(next, started + 1);
  }
  std::printf("%d of %d kills landed inside a write; the value reached %lld\n", killedMidWrite, rounds,
              static_cast<long long>(held));
  EXPECT_GT(killedMidWrite, 0) << "no kill landed inside a write: the delays are too short to test anything";

  // The lock file the writers left does not stop the next one, which also clears the last temporary.
  RegistryStore store = NewStore();
  settings::RegHelper(store).WriteSetting("MainLeft", "done");
  EXPECT_EQ("done", ReadText(store, "MainLeft"));
  EXPECT_EQ(0, CountFiles("user.hive.tmp-"));
}

// The child takes and drops the lock over and over and is killed at a random moment: whatever it
// held, the parent gets the lock at once.
TEST(KilledLockHolder, NextStartAcquiresAtOnceAfterAKillAtAnyMoment) {
  TempFolder temp;
  const std::string folder = (temp / "run").string();
  const uint32_t pattern = KillPattern();
  const int rounds = std::max(1, KillRounds() / 5);
  std::printf("kill pattern %u (LECTRYN_KILL_PATTERN), %d kills\n", pattern, rounds);
  std::mt19937 random(pattern);
  int killedHolding = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("pattern " + std::to_string(pattern) + ", kill " + std::to_string(round));
    SharedProgress holding;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        InstanceLock lock(folder);
        if (!lock.Acquire()) _exit(1);
        holding->started = 1;
        usleep(200);  // most kills then find the lock held
        holding->started = 0;
      }
    }
    usleep(KillDelayMicros(random));
    kill(child, SIGKILL);
    ASSERT_EQ(child, waitpid(child, nullptr, 0));
    killedHolding += holding->started == 1;
    InstanceLock next(folder);
    ASSERT_TRUE(next.Acquire());
  }
  std::printf("%d of %d kills landed while the lock was held\n", killedHolding, rounds);
}

}  // namespace
}  // namespace lectryn::system
