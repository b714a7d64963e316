#include "accessibility/atspi/PageBridge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeProgram.h"
#include "platform/Failure.h"

namespace lectryn::accessibility::atspi {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testing::FakeProgram;

// Far above one bound and its slack, far below what the same calls cost one bound each.
constexpr int64_t kOneBoundAtMostMs = 2500;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// A fake program and a session on its connection; the session stops first.
struct Page {
  explicit Page(int depth)
      : program(depth), session(std::make_shared<Session>([](std::function<void()>) {}, program.Connection())) {}

  AxRef Object(int index) {
    return session->Call(
        [index](BusClient&, Session::WorkerState& state) {
          return state.table.Intern(BusObject{":1.7", FakeProgram::Path(index)});
        },
        1000);
  }

  FakeProgram program;
  std::shared_ptr<Session> session;
};

// Calls task until it stops failing, for at most ms; false when it never did.
template <class Task>
bool WorksWithin(int64_t ms, Task task) {
  auto start = Clock::now();
  for (;;) {
    try {
      task();
      return true;
    } catch (const platform::Failure&) {
      if (MsSince(start) > ms) return false;
      std::this_thread::sleep_for(milliseconds(20));
    }
  }
}

TEST(PageBridgeBound, APointLookupOverASlowPageCostsOneBoundAndTheNextCallsWorkSoonAfter) {
  struct Case {
    const char* name;
    int depth;      // 1: the page answers "nothing there", as one does before its first layout
    int delayMs;    // before each answer
  };
  for (Case slow : {Case{"a deep page", 200, 50}, Case{"a page not laid out yet", 1, 150}}) {
    SCOPED_TRACE(slow.name);
    Page page(slow.depth);
    PageBridge bridge(page.session, page.Object(0));
    page.program.delayMs = slow.delayMs;
    auto start = Clock::now();
    EXPECT_THROW(bridge.ObjectsAtPoint(10, 10), platform::Failure);
    EXPECT_LT(MsSince(start), kOneBoundAtMostMs);
    // The lookup's calls ended with it: the worker is free once the still slow program answers.
    EXPECT_TRUE(WorksWithin(1500, [&] { bridge.Extents(page.Object(0)); }));
  }
}

TEST(PageBridgeBound, APointLookupFindsTheDeepestObjectAndItsAncestors) {
  Page page(5);
  PageBridge bridge(page.session, page.Object(0));
  std::vector<AxRef> chain = bridge.ObjectsAtPoint(10, 10);
  ASSERT_EQ(chain.size(), 5U);
  EXPECT_EQ(chain.front(), page.Object(4));
  EXPECT_EQ(chain.back(), page.Object(0));
  EXPECT_TRUE(bridge.ObjectsAtPoint(2000, 10).empty()) << "a point outside the page";
}

TEST(PageBridgeStalled, AStoppedProgramCostsOneBoundAndIsHighlightedAgainOnceItAnswersLate) {
  Page page(3);
  std::vector<std::u16string> held;
  page.session->reports.held = [&held](const std::u16string& text) { held.push_back(text); };
  PageBridge bridge(page.session, page.Object(0));
  AxRef text = page.Object(2);
  bridge.Select(text, 4, 9);
  ASSERT_EQ(page.program.Selected(), "quick");
  EXPECT_TRUE(held.empty()) << "nothing was asked before";

  page.program.Stop();
  auto start = Clock::now();
  EXPECT_THROW(bridge.Select(text, 10, 15), platform::Failure);
  EXPECT_LT(MsSince(start), kOneBoundAtMostMs);
  start = Clock::now();
  EXPECT_THROW(bridge.Select(text, 10, 15), platform::Failure);
  EXPECT_LT(MsSince(start), 500) << "the next word must not wait again";

  page.program.Resume();  // it answers what it got, late
  EXPECT_TRUE(WorksWithin(3000, [&] { bridge.Select(text, 10, 15); }));
  EXPECT_EQ(page.program.Selected(), "brown");
  bridge.Select(text, 16, 19);
  EXPECT_EQ(page.program.Selected(), "fox");
  // Each word is read back when the next is asked for: the late answers were taken for none.
  ASSERT_GE(held.size(), 2U);
  EXPECT_EQ(held[0], u"quick");
  EXPECT_EQ(held.back(), u"brown");
}

TEST(PageBridgeReports, AFailedHighlightIsToldOnceAPageAndEachTimeToTheCaller) {
  Page page(3);
  std::vector<BusProblem> problems;
  page.session->reports.problem = [&problems](const BusProblem& problem) { problems.push_back(problem); };
  PageBridge bridge(page.session, page.Object(0));
  EXPECT_EQ(bridge.Url(), u"file:///fake/page.htm");
  AxRef text = page.Object(2);

  page.program.refuseSelection = true;
  for (int word = 0; word < 3; ++word) EXPECT_THROW(bridge.Select(text, 0, 3), platform::Failure);
  page.program.refuseScroll = true;
  EXPECT_THROW(bridge.ScrollTo(text, 0, 3), platform::Failure);
  ASSERT_EQ(problems.size(), 4U);
  EXPECT_TRUE(problems[0].first);
  for (size_t i = 1; i < problems.size(); ++i) EXPECT_FALSE(problems[i].first) << i;
  EXPECT_EQ(problems[0].action, BusProblem::Action::Select);
  EXPECT_EQ(problems[3].action, BusProblem::Action::Scroll);
  EXPECT_EQ(problems[0].url, u"file:///fake/page.htm");
  EXPECT_FALSE(problems[0].reason.empty());

  // Another page is news again.
  PageBridge other(page.session, page.Object(1));
  EXPECT_THROW(other.Select(text, 0, 3), platform::Failure);
  ASSERT_EQ(problems.size(), 5U);
  EXPECT_TRUE(problems.back().first);

  page.program.refuseSelection = false;
  page.program.refuseScroll = false;
  bridge.Select(text, 4, 9);
  bridge.ScrollTo(text, 4, 9);
  EXPECT_EQ(problems.size(), 5U) << "a highlight taken is no problem";
}

TEST(Deadline, ItsWaitsStopAtTheBound) {
  Deadline deadline(50);
  EXPECT_GE(deadline.LeftMs(), 1);
  auto start = Clock::now();
  deadline.Sleep(5000);
  EXPECT_LT(MsSince(start), 1000);
  EXPECT_THROW(deadline.LeftMs(), platform::Failure) << "nothing is left once it passed";
}

}  // namespace
}  // namespace lectryn::accessibility::atspi
