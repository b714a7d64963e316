// Reaching a page window's document on the simulated desktop: which window is asked, and how long
// a busy page window may hold the thread.
#include <gtest/gtest.h>

#include "sim/SimWindowSystem.h"
#include "targeting/FakePage.h"
#include "targeting/MSAA.h"

namespace lectryn::targeting {
namespace {

struct DocumentFromWindowTest : ::testing::Test {
  sim::SimUiLoop loop;
  sim::SimWindowSystem windows{loop};
  std::shared_ptr<fake::Document> page = std::make_shared<fake::Document>(u"file:///a.htm");
};

TEST_F(DocumentFromWindowTest, NoWindowMakesNoCall) {
  EXPECT_EQ(nullptr, DocumentFromWindow(windows, 0));
  EXPECT_TRUE(windows.Calls().empty());
}

TEST_F(DocumentFromWindowTest, OuterWindowGivesItsFirstPageWindowAtAnyDepth) {
  platform::HWND frame = windows.CreateWindow("PageFrame", {0, 0, 800, 600});
  platform::HWND bar = windows.CreateWindow("AddressBar", {0, 0, 800, 30}, frame);
  windows.CreateWindow("Edit", {0, 0, 400, 30}, bar);
  platform::HWND holder = windows.CreateWindow("Shell DocObject View", {0, 30, 800, 600}, frame);
  platform::HWND server = windows.CreateWindow("internet explorer_SERVER", {0, 30, 800, 600}, holder);
  platform::HWND second = windows.CreateWindow("Internet Explorer_Server", {0, 30, 800, 600}, frame);
  windows.SetDocument(server, page);
  windows.SetDocument(second, std::make_shared<fake::Document>(u"file:///b.htm"));

  EXPECT_EQ(page, DocumentFromWindow(windows, frame));
  EXPECT_EQ(page, DocumentFromWindow(windows, server));
}

TEST_F(DocumentFromWindowTest, WindowWithoutPageIsStillAskedAndGivesNothing) {
  platform::HWND plain = windows.CreateWindow("Notepad", {0, 0, 100, 100});
  EXPECT_EQ(nullptr, DocumentFromWindow(windows, plain));
  EXPECT_EQ(1U, windows.CountCalls("SendMessageTimeoutA"));
  EXPECT_EQ(0U, windows.CountCalls("ObjectFromLresult"));
  EXPECT_EQ(0, loop.NowMs());
}

struct BusyCase {
  const char* name;
  sim::Answer answer;
  int64_t delayMs;
  bool answers;
  int64_t elapsedMs;  // virtual time the thread was held
};

struct BusyPageWindow : DocumentFromWindowTest, ::testing::WithParamInterface<BusyCase> {};

TEST_P(BusyPageWindow, WaitsAtMostOneSecond) {
  platform::HWND server = windows.CreateWindow("Internet Explorer_Server", {0, 0, 800, 600});
  windows.SetDocument(server, page);
  windows.SetAnswer(server, GetParam().answer, GetParam().delayMs);
  bool ran = false;
  loop.Post([&] { ran = true; });

  platform::DocumentPtr doc = DocumentFromWindow(windows, server);

  EXPECT_EQ(GetParam().answers, doc == page);
  EXPECT_EQ(GetParam().elapsedMs, loop.NowMs());
  EXPECT_FALSE(ran) << "the UI thread was blocked, not pumping";
}

INSTANTIATE_TEST_SUITE_P(Answers, BusyPageWindow,
                         ::testing::Values(BusyCase{"AtOnce", sim::Answer::Document, 0, true, 0},
                                           BusyCase{"Slow", sim::Answer::Document, 300, true, 300},
                                           BusyCase{"JustInTime", sim::Answer::Document, 1000, true, 1000},
                                           BusyCase{"TooSlow", sim::Answer::Document, 1500, false, 1000},
                                           BusyCase{"Never", sim::Answer::Document, -1, false, 1000},
                                           BusyCase{"Hung", sim::Answer::Hung, 0, false, 0}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lectryn::targeting
