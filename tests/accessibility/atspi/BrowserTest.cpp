// Run by browser-session with a browser showing tests/pages/browser.htm.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "BusProbe.h"
#include "accessibility/atspi/AtspiPages.h"
#include "platform/Text.h"

namespace lectryn::accessibility::atspi {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

int ShellValue(const std::string& shell, const std::string& key) {
  size_t at = shell.find(key + "=");
  return at == std::string::npos ? 0 : std::atoi(shell.c_str() + at + key.size() + 1);
}

const AxNode* Find(const AxNode& node, const std::function<bool(const AxNode&)>& match) {
  if (match(node)) return &node;
  for (const AxNode& child : node.children) {
    if (const AxNode* found = Find(child, match)) return found;
  }
  return nullptr;
}

bool Has(const std::u16string& text, const char* words) {
  return text.find(platform::FromUtf8(words)) != std::u16string::npos;
}

int Count(const AxNode& node, AxRole role) {
  int count = node.role == role ? 1 : 0;
  for (const AxNode& child : node.children) count += Count(child, role);
  return count;
}

class BrowserPage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* pid = std::getenv("LECTRYN_BROWSER_PID");
    const char* window = std::getenv("LECTRYN_BROWSER_WINDOW");
    if (pid == nullptr || window == nullptr) return;
    pid_ = std::atoi(pid);
    std::string shell = Output(std::string("xdotool getwindowgeometry --shell ") + window);
    window_ = AxExtents{ShellValue(shell, "X"), ShellValue(shell, "Y"), ShellValue(shell, "WIDTH"),
                        ShellValue(shell, "HEIGHT")};
    pages_ = new AtspiPages([](std::function<void()>) {});
    document_ = pages_->WebDocumentOf(pid_, window_).value_or(0);
    if (document_ != 0) tree_ = new AxNode(pages_->ReadTree(document_));
  }
  static void TearDownTestSuite() {
    delete tree_;
    delete pages_;
  }
  void SetUp() override {
    if (pages_ == nullptr) GTEST_SKIP() << "run through tests/e2e/browser-session";
    ASSERT_NE(document_, 0) << "no web document in the browser's window";
  }
  const AxNode& Paragraph(const char* words) const {
    const AxNode* found = Find(*tree_, [words](const AxNode& node) {
      return node.role == AxRole::Paragraph && Has(node.text, words);
    });
    if (found == nullptr) throw std::runtime_error(std::string("no paragraph ") + words);
    return *found;
  }

  static inline int32_t pid_ = 0;
  static inline AxExtents window_;
  static inline AtspiPages* pages_ = nullptr;
  static inline AxRef document_ = 0;
  static inline AxNode* tree_ = nullptr;
};

TEST_F(BrowserPage, TreeHasThePagesStructureAndWords) {
  SCOPED_TRACE(probe::Dump(*tree_));
  EXPECT_EQ(tree_->role, AxRole::Document);
  const AxNode* title = Find(*tree_, [](const AxNode& n) { return n.role == AxRole::Heading; });
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->level, 1);
  EXPECT_TRUE(Has(title->text, "Browser page"));

  const AxNode& first = Paragraph("first paragraph");
  ASSERT_EQ(first.embedded.size(), 1U);
  ASSERT_GE(first.embedded[0], 0);
  const AxNode& link = first.children.at(static_cast<size_t>(first.embedded[0]));
  EXPECT_EQ(link.role, AxRole::Link);
  EXPECT_TRUE(Has(probe::ShownText(link), "the first link"));

  EXPECT_EQ(Count(*tree_, AxRole::ListItem), 2);
  EXPECT_EQ(Count(*tree_, AxRole::Row), 2);
  EXPECT_EQ(Count(*tree_, AxRole::Cell), 4);
  EXPECT_TRUE(Has(Paragraph("smile").text, "\xF0\x9F\x98\x80"));

  // Each browser tells the page's languages in its own way; both arrive as tags.
  EXPECT_EQ(platform::ToUtf8(tree_->language), "en");
  EXPECT_EQ(platform::ToUtf8(Paragraph("en fran").language), "fr");
  EXPECT_EQ(platform::ToUtf8(first.language), "en");
}

TEST_F(BrowserPage, HiddenAndProtectedWordsAreLeftOut) {
  SCOPED_TRACE(probe::Dump(*tree_));
  std::u16string shown = probe::ShownText(*tree_);
  EXPECT_TRUE(Has(shown, "last paragraph ends"));
  EXPECT_FALSE(Has(shown, "Offscreen words"));
  EXPECT_FALSE(Has(shown, "Hidden words"));
  EXPECT_FALSE(Has(shown, "secret123"));
  const AxNode* password = Find(*tree_, [](const AxNode& n) { return n.role == AxRole::Password; });
  ASSERT_NE(password, nullptr);
  EXPECT_TRUE(password->isProtected);
  EXPECT_TRUE(password->text.empty());
}

TEST_F(BrowserPage, DocumentTellsItsUrlAndIsNotBusy) {
  auto bridge = pages_->Bridge(document_);
  std::u16string url = bridge->Url();
  EXPECT_TRUE(url.starts_with(u"file://") && url.ends_with(u"browser.htm")) << platform::ToUtf8(url);
  EXPECT_FALSE(bridge->Busy());
}

TEST_F(BrowserPage, ObjectsAtAParagraphsCentreEndWithItAndTheDocument) {
  auto bridge = pages_->Bridge(document_);
  const AxNode& paragraph = Paragraph("last paragraph");
  AxExtents box = bridge->Extents(paragraph.ref);
  ASSERT_GT(box.width, 0);
  std::vector<AxRef> chain = bridge->ObjectsAtPoint(box.x + box.width / 2, box.y + box.height / 2);
  ASSERT_FALSE(chain.empty());
  EXPECT_EQ(chain.back(), document_);
  std::string trace;
  for (AxRef ref : chain) {
    AxExtents e = bridge->Extents(ref);
    trace += std::to_string(ref) + " (" + std::to_string(e.x) + "," + std::to_string(e.y) + " " +
             std::to_string(e.width) + "x" + std::to_string(e.height) + ") ";
  }
  EXPECT_NE(std::find(chain.begin(), chain.end(), paragraph.ref), chain.end())
      << "the chain names the paragraph by the key the tree gave it; paragraph " << paragraph.ref << " at "
      << box.x << "," << box.y << " " << box.width << "x" << box.height << "; chain " << trace;
  EXPECT_TRUE(bridge->ObjectsAtPoint(-5000, -5000).empty());
}

TEST_F(BrowserPage, SelectSetsTheBrowsersSelection) {
  auto bridge = pages_->Bridge(document_);
  const AxNode& paragraph = Paragraph("first paragraph");
  bridge->Select(paragraph.ref, 4, 9);  // "first"
  bridge->ScrollTo(paragraph.ref, 4, 9);
  const char* tool = std::getenv("LECTRYN_AX");
  ASSERT_NE(tool, nullptr);
  // The browser applies a selection a moment later.
  auto selectionWith = [tool](const char* words) {
    std::string selection;
    for (auto deadline = Clock::now() + std::chrono::seconds(3); Clock::now() < deadline;) {
      selection = Output(std::string(tool) + " selection");
      if (selection.find(words) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return selection;
  };
  std::string selection = selectionWith(" 4 9 [first]");
  EXPECT_NE(selection.find(" 4 9 [first]"), std::string::npos) << selection;

  bridge->Select(paragraph.ref, 10, 19);  // "paragraph": moves it, leaves no other
  selection = selectionWith("[paragraph]");
  EXPECT_NE(selection.find("[paragraph]"), std::string::npos) << selection;
  EXPECT_EQ(selection.find("[first]"), std::string::npos) << selection;
}

// Last: the browser is stopped and resumed.
TEST_F(BrowserPage, StoppedBrowserCostsOneBoundedWait) {
  auto bridge = pages_->Bridge(document_);
  const AxNode& paragraph = Paragraph("last paragraph");
  ASSERT_EQ(kill(pid_, SIGSTOP), 0);
  auto start = Clock::now();
  EXPECT_THROW(bridge->Extents(paragraph.ref), platform::Failure);
  int64_t firstMs = MsSince(start);
  start = Clock::now();
  EXPECT_THROW(bridge->Extents(paragraph.ref), platform::Failure);
  int64_t secondMs = MsSince(start);
  kill(pid_, SIGCONT);
  // One time-out of the bus call, give or take a loaded machine; the second not even half of one.
  EXPECT_GE(firstMs, 900);
  EXPECT_LT(firstMs, 5000);
  EXPECT_LT(secondMs, 500);

  // Resumed, it answers again once the hung call gave up.
  bool answered = false;
  for (auto deadline = Clock::now() + std::chrono::seconds(5); !answered && Clock::now() < deadline;) {
    answered = platform::Tolerate([&] { bridge->Extents(paragraph.ref); });
    if (!answered) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(answered);
}

}  // namespace
}  // namespace lectryn::accessibility::atspi
