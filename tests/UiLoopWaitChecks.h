#pragma once
// What every UI loop on the real clock must do in WaitForEvents. The times are bounds loose enough
// for a loaded machine: a wait that misses its event takes the long bound, one that spins makes
// hundreds of calls where a sleeping one makes a handful.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/UiLoop.h"

namespace lectryn::testing {

// No wait below should come near this; reaching it means the wait did not wake.
constexpr int64_t kLongBoundMs = 20'000;

inline int64_t MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

inline void ExpectPendingTaskRunsWithoutSleeping(platform::UiLoop& loop) {
  bool ran = false;
  loop.Post([&] { ran = true; });
  auto start = std::chrono::steady_clock::now();
  loop.WaitForEvents(kLongBoundMs);
  EXPECT_TRUE(ran);
  EXPECT_LT(MsSince(start), kLongBoundMs / 2);
}

// Over 300 ms of idle waits of 30 ms each: about ten calls; a few more only if stray events came.
inline void ExpectIdleWaitSleepsUntilTheBound(platform::UiLoop& loop) {
  constexpr int64_t kBoundMs = 30;
  constexpr int64_t kWindowMs = 300;
  loop.DoEvents();
  int calls = 0;
  auto start = std::chrono::steady_clock::now();
  while (MsSince(start) < kWindowMs) {
    loop.WaitForEvents(kBoundMs);
    ++calls;
  }
  EXPECT_LE(calls, 2 * kWindowMs / kBoundMs) << "the idle wait did not sleep";
}

inline void ExpectTaskFromAnotherThreadWakesTheWait(platform::UiLoop& loop) {
  std::atomic<bool> ran{false};
  auto start = std::chrono::steady_clock::now();
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    loop.Post([&] { ran = true; });
  });
  while (!ran && MsSince(start) < kLongBoundMs) loop.WaitForEvents(kLongBoundMs);
  poster.join();
  EXPECT_TRUE(ran);
  EXPECT_LT(MsSince(start), kLongBoundMs);
}

inline void ExpectDueTimerWakesTheWait(platform::UiLoop& loop) {
  int ticks = 0;
  platform::TimerId timer = loop.StartTimer(30, [&] { ++ticks; });
  auto start = std::chrono::steady_clock::now();
  while (ticks == 0 && MsSince(start) < kLongBoundMs) loop.WaitForEvents(kLongBoundMs);
  loop.StopTimer(timer);
  EXPECT_GE(ticks, 1);
  EXPECT_LT(MsSince(start), kLongBoundMs);
}

}  // namespace lectryn::testing
