#include "sim/SimUiLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace lectryn::sim {
namespace {

TEST(SimUiLoop, TasksRunInTimeThenPostOrder) {
  SimUiLoop loop;
  std::string log;
  loop.PostDelayed(20, [&] { log += "c"; });
  loop.Post([&] { log += "a"; });
  loop.PostDelayed(10, [&] { log += "b"; });
  loop.Post([&] { log += "a2"; });
  EXPECT_TRUE(loop.RunUntilIdle());
  EXPECT_EQ("aa2bc", log);
  EXPECT_EQ(20, loop.NowMs());
}

TEST(SimUiLoop, DoEventsRunsOnlyWhatWasPendingAndDue) {
  SimUiLoop loop;
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    loop.Post(again);  // reposting must not spin inside one DoEvents
  };
  loop.Post(again);
  loop.PostDelayed(5, [&] { runs += 100; });
  loop.DoEvents();
  EXPECT_EQ(1, runs);
  loop.DoEvents();
  EXPECT_EQ(2, runs);
  EXPECT_EQ(0, loop.NowMs());
}

TEST(SimUiLoop, RepeatingTimersTickAsTimeAdvancesAndStop) {
  SimUiLoop loop;
  std::vector<int64_t> ticks;
  platform::TimerId id = loop.StartTimer(400, [&] { ticks.push_back(loop.NowMs()); });
  loop.AdvanceBy(1000);
  EXPECT_EQ((std::vector<int64_t>{400, 800}), ticks);
  EXPECT_EQ(1000, loop.NowMs());
  loop.StopTimer(id);
  loop.AdvanceBy(1000);
  EXPECT_EQ(2u, ticks.size());
}

TEST(SimUiLoop, TimerThatStopsItselfAndTasksInterleaveByTime) {
  SimUiLoop loop;
  std::string log;
  platform::TimerId id = 0;
  id = loop.StartTimer(100, [&] {
    log += "t";
    loop.StopTimer(id);
  });
  loop.PostDelayed(50, [&] { log += "a"; });
  loop.PostDelayed(150, [&] { log += "b"; });
  EXPECT_TRUE(loop.RunUntilIdle());
  EXPECT_EQ("atb", log);
  EXPECT_EQ(0u, loop.ActiveTimers());
}

TEST(SimUiLoop, RunUntilIdleIgnoresTimersForIdleness) {
  SimUiLoop loop;
  int ticks = 0;
  loop.StartTimer(10, [&] { ++ticks; });
  EXPECT_TRUE(loop.RunUntilIdle());
  EXPECT_EQ(0, ticks);
  EXPECT_EQ(0, loop.NowMs());
}

TEST(SimUiLoop, PostFromAnotherThreadIsRunOnTheLoop) {
  SimUiLoop loop;
  std::thread::id ranOn;
  std::thread poster([&] { loop.Post([&] { ranOn = std::this_thread::get_id(); }); });
  poster.join();
  loop.RunUntilIdle();
  EXPECT_EQ(std::this_thread::get_id(), ranOn);
}

TEST(SimUiLoop, RunUntilIdleGivesUpOnEndlessWork) {
  SimUiLoop loop;
  std::function<void()> forever = [&] { loop.PostDelayed(1, forever); };
  loop.Post(forever);
  EXPECT_FALSE(loop.RunUntilIdle(1000));
}

TEST(SimUiLoopWait, PendingWorkRunsOnceWithoutMovingTheClock) {
  SimUiLoop loop;
  std::string log;
  loop.Post([&] {
    log += "a";
    loop.Post([&] { log += "b"; });
  });
  loop.PostDelayed(10, [&] { log += "c"; });
  loop.WaitForEvents(50);
  EXPECT_EQ("a", log);
  EXPECT_EQ(0, loop.NowMs());
}

// Idle, the clock moves to the first task or tick due within the bound, else to the bound.
TEST(SimUiLoopWait, IdleWaitMovesTheClockToWhatFallsDueOrElseToTheBound) {
  SimUiLoop loop;
  std::string log;
  loop.PostDelayed(30, [&] { log += "a@" + std::to_string(loop.NowMs()) + " "; });
  platform::TimerId timer = loop.StartTimer(70, [&] { log += "t@" + std::to_string(loop.NowMs()) + " "; });
  loop.WaitForEvents(50);
  loop.WaitForEvents(50);
  EXPECT_EQ("a@30 t@70 ", log);
  loop.WaitForEvents(50);
  EXPECT_EQ(120, loop.NowMs());
  EXPECT_EQ("a@30 t@70 ", log);
  loop.WaitForEvents(50);
  EXPECT_EQ("a@30 t@70 t@140 ", log);
  loop.StopTimer(timer);
  loop.WaitForEvents(0);
  EXPECT_EQ(140, loop.NowMs());
}

}  // namespace
}  // namespace lectryn::sim
