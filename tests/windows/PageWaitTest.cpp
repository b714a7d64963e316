// The page wait of the reading windows on the simulated loop: it ends when the page is usable, on
// its limit on the loop's clock, and when its request is given up, while the loop's work goes on.
#include "windows/PageWait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/SimUiLoop.h"

namespace lectryn::windows {
namespace {

constexpr int32_t kLoading = static_cast<int32_t>(platform::ReadyState::Loading);
constexpr int32_t kInteractive = static_cast<int32_t>(platform::ReadyState::Interactive);
constexpr int32_t kComplete = static_cast<int32_t>(platform::ReadyState::Complete);

struct PageWaitTest : ::testing::Test {
  bool Wait() {
    return WaitForPage(
        loop, [this] { return state; }, [this] { return wanted; });
  }

  sim::SimUiLoop loop;
  int32_t state = kLoading;
  bool wanted = true;
};

// The clock stops where the page became usable, not at the next bound of the wait.
TEST_F(PageWaitTest, EndsWhenThePageBecomesUsableAtTheMomentItDoes) {
  loop.PostDelayed(730, [this] { state = kInteractive; });
  EXPECT_TRUE(Wait());
  EXPECT_EQ(730, loop.NowMs());
}

// A voice's words every 25 ms keep coming during the wait; the limit is on the loop's clock.
TEST_F(PageWaitTest, EndsOnItsLimitWhileTheLoopKeepsRunning) {
  int ticks = 0;
  loop.StartTimer(25, [&] { ++ticks; });
  EXPECT_FALSE(Wait());
  EXPECT_GE(loop.NowMs(), kPageWaitLimitMs);
  EXPECT_LT(loop.NowMs(), kPageWaitLimitMs + kPageWaitPollMs);
  EXPECT_EQ(loop.NowMs() / 25, ticks);
}

TEST_F(PageWaitTest, EndsWhenTheRequestIsGivenUpAlsoAsThePageBecomesUsable) {
  loop.PostDelayed(480, [this] { wanted = false; });
  EXPECT_FALSE(Wait());
  EXPECT_EQ(480, loop.NowMs());

  wanted = true;
  loop.PostDelayed(120, [this] {
    state = kComplete;
    wanted = false;
  });
  EXPECT_FALSE(Wait());
}

// Pages are fetched on a worker thread, in real time: the idle wait must leave the worker time to
// post before the loop's own clock runs to the limit.
TEST_F(PageWaitTest, PageMadeUsableByAWorkerThreadEndsTheWait) {
  std::thread worker([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    loop.Post([this] { state = kComplete; });
  });
  bool usable = Wait();
  worker.join();
  EXPECT_TRUE(usable);
}

}  // namespace
}  // namespace lectryn::windows
