#include "accessibility/atspi/AtspiWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "accessibility/atspi/DocumentFinder.h"
#include "accessibility/atspi/TreeReader.h"
#include "platform/Failure.h"

namespace lectryn::accessibility::atspi {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

AtspiWorker::PostFunction NoUi() {
  return [](std::function<void()>) {};
}

TEST(AtspiWorkerCall, ReturnsTheResultAndRethrowsTheTasksFailure) {
  AtspiWorker worker(NoUi(), AtspiWorker::Bus::None);
  std::thread::id caller = std::this_thread::get_id();
  EXPECT_TRUE(worker.Call([caller] { return std::this_thread::get_id() != caller; }, 1000));
  EXPECT_THROW(worker.Call([]() -> int { throw platform::Failure("gone"); }, 1000), platform::Failure);
  EXPECT_EQ(worker.Call([] { return std::string("after a failure"); }, 1000), "after a failure");
}

// A task that waits for the gate hangs until the test opens it, however slow the machine is.
class Gate {
 public:
  void Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

TEST(AtspiWorkerCall, AHungTaskCostsOneBoundedWaitThenCallsFailAtOnceUntilItEnds) {
  AtspiWorker worker(NoUi(), AtspiWorker::Bus::None);
  auto gate = std::make_shared<Gate>();
  auto start = Clock::now();
  EXPECT_THROW(worker.Call([gate] { gate->Wait(); }, 100), platform::Failure);
  EXPECT_GE(MsSince(start), 100);

  // Waiting again would take the whole minute; failing at once takes nowhere near half of it.
  constexpr int32_t kLongWaitMs = 60000;
  start = Clock::now();
  EXPECT_THROW(worker.Call([] { return 1; }, kLongWaitMs), platform::Failure);
  EXPECT_LT(MsSince(start), kLongWaitMs / 2) << "a second call must not wait again";

  gate->Open();
  std::optional<int> answer;
  for (auto giveUp = Clock::now() + std::chrono::seconds(30); !answer && Clock::now() < giveUp;) {
    try {
      answer = worker.Call([] { return 2; }, kLongWaitMs);
    } catch (const platform::Failure&) {
      std::this_thread::sleep_for(milliseconds(10));  // the hung task is still ending
    }
  }
  EXPECT_EQ(answer, 2) << "the worker works again once it is free";
}

TEST(AtspiWorkerCall, StopsWhileATaskHangsAndReleasesWhatTheTaskHeld) {
  auto held = std::make_shared<int>(7);
  auto start = Clock::now();
  {
    AtspiWorker worker(NoUi(), AtspiWorker::Bus::None);
    EXPECT_THROW(worker.Call([held] { std::this_thread::sleep_for(milliseconds(300)); }, 50),
                 platform::Failure);
    worker.Queue([held] { ADD_FAILURE() << "a task queued behind the hung one ran at stop"; });
  }
  EXPECT_LT(MsSince(start), 10000) << "stopping waited for more than the hung task";
  EXPECT_EQ(held.use_count(), 1);
}

struct EmbeddedCase {
  const char* utf8;
  std::vector<int32_t> offsets;
};

class EmbeddedOffsetsTest : public ::testing::TestWithParam<EmbeddedCase> {};

TEST_P(EmbeddedOffsetsTest, CountsCodePoints) {
  EXPECT_EQ(EmbeddedOffsets(GetParam().utf8), GetParam().offsets);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EmbeddedOffsetsTest,
    ::testing::Values(EmbeddedCase{"no links", {}}, EmbeddedCase{"\xEF\xBF\xBC", {0}},
                      EmbeddedCase{"ab \xEF\xBF\xBC cd \xEF\xBF\xBC", {3, 8}},
                      // é (2 bytes), U+1F600 (4 bytes) and the U+FEFF one program adds after it
                      EmbeddedCase{"\xC3\xA9\xF0\x9F\x98\x80\xEF\xBB\xBF\xEF\xBF\xBC", {3}}));

TEST(BestFrame, PicksTheProgramsWindowThatMatchesTheRectangle) {
  AxExtents window{100, 50, 800, 600};
  // A dialog inside the window overlaps less than the window's own frame.
  EXPECT_EQ(BestFrame({{120, 80, 300, 200}, {100, 50, 800, 600}, {900, 0, 400, 400}}, window), 1);
  // Two frames cover it alike: the one of the same size wins.
  EXPECT_EQ(BestFrame({{0, 0, 1280, 1024}, {98, 48, 804, 604}}, window), 1);
  EXPECT_EQ(BestFrame({{1000, 700, 100, 100}, {0, 0, 0, 0}}, window), -1);
  EXPECT_EQ(BestFrame({}, window), -1);
}

// A sandboxed browser's window is matched to its frame by place alone: near enough is the same
// window, a frame of another size or place is not.
TEST(SamePlace, NearlyAllOfEachCoversTheOther) {
  AxExtents window{100, 50, 800, 600};
  EXPECT_TRUE(SamePlace({100, 50, 800, 600}, window));
  EXPECT_TRUE(SamePlace({96, 46, 808, 610}, window)) << "a frame's shadow or border";
  EXPECT_FALSE(SamePlace({100, 50, 400, 600}, window)) << "half the window";
  EXPECT_FALSE(SamePlace({0, 0, 1280, 1024}, window)) << "a frame that holds the window";
  EXPECT_FALSE(SamePlace({900, 50, 800, 600}, window)) << "beside it";
}

TEST(IsLanguageTag, TellsAPagesLanguageFromAProcessLocale) {
  for (const char* tag : {"fr", "en-GB", "zh-Hans", "de-CH-1996"}) EXPECT_TRUE(IsLanguageTag(tag)) << tag;
  for (const char* locale : {"", "C", "POSIX", "C.UTF-8", "en_US.UTF-8", "de_DE", "1en", "en US"})
    EXPECT_FALSE(IsLanguageTag(locale)) << locale;
}

}  // namespace
}  // namespace lectryn::accessibility::atspi
