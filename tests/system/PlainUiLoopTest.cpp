#include "system/PlainUiLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "UiLoopWaitChecks.h"

namespace lectryn::system {
namespace {

TEST(PlainUiLoop, RunsPostedTasksInOrderOnItsThreadUntilDone) {
  PlainUiLoop loop;
  std::string log;
  std::thread::id ranOn;
  std::thread poster([&] {
    for (char c : std::string("abc")) loop.Post([&, c] {
      log += c;
      ranOn = std::this_thread::get_id();
    });
  });
  poster.join();
  EXPECT_TRUE(loop.Run([&] { return log.size() == 3; }));
  EXPECT_EQ("abc", log);
  EXPECT_EQ(std::this_thread::get_id(), ranOn);
}

TEST(PlainUiLoop, TimersTickWhileRunningAndQuitEndsTheRun) {
  PlainUiLoop loop;
  int ticks = 0;
  platform::TimerId id = loop.StartTimer(5, [&] {
    if (++ticks == 3) loop.Quit();
  });
  EXPECT_FALSE(loop.Run());
  EXPECT_EQ(3, ticks);
  loop.StopTimer(id);
}

TEST(PlainUiLoop, DoEventsRunsPendingTasksOnce) {
  PlainUiLoop loop;
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    loop.Post(again);
  };
  loop.Post(again);
  loop.DoEvents();
  EXPECT_EQ(1, runs);
}

TEST(PlainUiLoopWait, RunsWhatIsPendingAtOnceAndOtherwiseSleepsUntilATaskATimerOrTheBound) {
  PlainUiLoop loop;
  testing::ExpectPendingTaskRunsWithoutSleeping(loop);
  testing::ExpectIdleWaitSleepsUntilTheBound(loop);
  testing::ExpectTaskFromAnotherThreadWakesTheWait(loop);
  testing::ExpectDueTimerWakesTheWait(loop);
}

}  // namespace
}  // namespace lectryn::system
