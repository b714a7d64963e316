#include "desktop/QtUiLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "UiLoopWaitChecks.h"
#include "desktop/GuiApplication.h"

namespace lectryn::desktop {
namespace {

constexpr int64_t kPatienceMs = 5000;

class QtUiLoopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }

  // Runs the loop until `done` or the patience runs out; true when done.
  bool RunUntil(const std::function<bool()>& done) {
    int64_t start = loop_.NowMs();
    while (!done()) {
      if (loop_.NowMs() - start > kPatienceMs) return false;
      loop_.DoEvents();
    }
    return true;
  }

  QtUiLoop loop_;
};

TEST_F(QtUiLoopTest, PostedTasksRunInOrderOnTheNextDoEventsAndMayPostMore) {
  std::vector<int> order;
  loop_.Post([&] { order.push_back(1); });
  loop_.Post([&] {
    order.push_back(2);
    loop_.Post([&] { order.push_back(4); });
  });
  loop_.Post([&] { order.push_back(3); });
  EXPECT_TRUE(order.empty()) << "posting never runs the task at once";
  loop_.DoEvents();
  EXPECT_TRUE(RunUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(QtUiLoopTest, PostsFromAnotherThreadRunOnTheLoopThread) {
  std::atomic<int> ran{0};
  std::thread::id ranOn;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) {
      loop_.Post([&] {
        ranOn = std::this_thread::get_id();
        ++ran;
      });
    }
  });
  poster.join();
  EXPECT_TRUE(RunUntil([&] { return ran == 100; }));
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(QtUiLoopTest, TimersTickUntilStoppedAlsoFromTheirOwnTick) {
  int ticks = 0;
  platform::TimerId timer = 0;
  timer = loop_.StartTimer(1, [&] {
    if (++ticks == 3) loop_.StopTimer(timer);
  });
  int other = 0;
  platform::TimerId second = loop_.StartTimer(1, [&] { ++other; });
  EXPECT_NE(timer, 0);
  EXPECT_NE(second, timer);
  ASSERT_TRUE(RunUntil([&] { return ticks == 3 && other >= 6; }));
  loop_.StopTimer(second);
  int atStop = other;
  int64_t stoppedAt = loop_.NowMs();
  RunUntil([&] { return loop_.NowMs() - stoppedAt > 30; });
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(other, atStop);

  platform::TimerId third = loop_.StartTimer(5, [] {});
  EXPECT_GT(third, second) << "ids are not reused";
  loop_.StopTimer(third);
  loop_.StopTimer(third);  // stopping twice is harmless
}

// The scripted voice paces its words with delayed tasks on the real clock.
TEST_F(QtUiLoopTest, DelayedTasksRunOnceInTheOrderTheyFallDueNotBefore) {
  std::vector<std::pair<int, int64_t>> ran;
  int64_t start = loop_.NowMs();
  loop_.PostDelayed(40, [&] { ran.emplace_back(2, loop_.NowMs() - start); });
  loop_.PostDelayed(10, [&] { ran.emplace_back(1, loop_.NowMs() - start); });
  ASSERT_TRUE(RunUntil([&] { return ran.size() == 2; }));
  RunUntil([&] { return loop_.NowMs() - start > 80; });
  ASSERT_EQ(2u, ran.size());
  EXPECT_EQ(1, ran[0].first);
  EXPECT_EQ(2, ran[1].first);
  EXPECT_GE(ran[0].second, 9);
  EXPECT_GE(ran[1].second, 39);
}

TEST_F(QtUiLoopTest, TheClockIsMonotonicAndCountsMilliseconds) {
  int64_t before = loop_.NowMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  int64_t after = loop_.NowMs();
  EXPECT_GE(after - before, 29);
  EXPECT_LT(after - before, 2000);
}

TEST_F(QtUiLoopTest, WaitRunsWhatIsPendingAtOnceAndOtherwiseSleepsUntilATaskATimerOrTheBound) {
  lectryn::testing::ExpectPendingTaskRunsWithoutSleeping(loop_);
  lectryn::testing::ExpectIdleWaitSleepsUntilTheBound(loop_);
  lectryn::testing::ExpectTaskFromAnotherThreadWakesTheWait(loop_);
  lectryn::testing::ExpectDueTimerWakesTheWait(loop_);
}

}  // namespace
}  // namespace lectryn::desktop
