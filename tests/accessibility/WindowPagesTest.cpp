// Browser windows' pages: how often the bus is asked, which snapshot a drag gets after a change
// or a new address, and what a failing bus leaves. Time is a fake clock moved by the tests.
#include <gtest/gtest.h>

#include "AxFixtures.h"
#include "accessibility/BrowserDocument.h"
#include "accessibility/WindowPages.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::accessibility {
namespace {

using namespace std::chrono_literals;
using testing::Box;
using testing::FakeBridge;
using testing::Texted;

class FakeBus : public PageBus {
 public:
  std::optional<AxRef> WebDocumentOf(int32_t pid, AxExtents windowScreenRect) override {
    ++lookups;
    asked = windowScreenRect;
    if (failLookups) throw platform::Failure("the browser did not answer");
    auto shown = shownBy.find(pid);
    return shown == shownBy.end() ? std::nullopt : std::optional<AxRef>(shown->second);
  }
  AxNode ReadTree(AxRef document) override {
    ++reads;
    if (failReads) throw platform::Failure("the browser did not answer");
    return Box(AxRole::Document, document, {Texted(AxRole::Paragraph, document + 1, texts.at(document))});
  }
  std::shared_ptr<AxBridge> Bridge(AxRef document) override { return bridges.at(document); }
  int OnPageChanged(std::function<void(AxRef document)> changed) override {
    listeners[++lastListener] = std::move(changed);
    return lastListener;
  }
  void StopPageChanged(int id) override { listeners.erase(id); }

  void Changed(AxRef document) {
    for (auto& [id, changed] : std::map(listeners)) changed(document);
  }
  void Serve(int32_t pid, AxRef document, std::string text) {
    shownBy[pid] = document;
    texts[document] = std::move(text);
    bridges.try_emplace(document, std::make_shared<FakeBridge>());
  }

  std::map<int32_t, AxRef> shownBy;
  std::map<AxRef, std::string> texts;
  std::map<AxRef, std::shared_ptr<FakeBridge>> bridges;
  std::map<int, std::function<void(AxRef)>> listeners;
  int lastListener = 0;
  int lookups = 0;
  int reads = 0;
  AxExtents asked;
  bool failLookups = false;
  bool failReads = false;
};

constexpr BrowserWindow kWindow{7, 100, {10, 20, 800, 600}};

class WindowPagesTest : public ::testing::Test {
 protected:
  WindowPagesTest() { bus_.Serve(100, 40, "First page"); }

  std::string Text(const std::shared_ptr<BrowserDocument>& document) {
    return document ? platform::ToUtf8(document->body()->innerText()) : "(none)";
  }

  FakeBus bus_;
  std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::time_point{} + 1h;
  std::map<WindowId, BrowserWindow> places_{{kWindow.id, kWindow}};
  int describes_ = 0;
  std::unique_ptr<WindowPages> pages_ = std::make_unique<WindowPages>(
      bus_,
      [this](WindowId id) -> std::optional<BrowserWindow> {
        ++describes_;
        auto place = places_.find(id);
        return place == places_.end() ? std::nullopt : std::optional(place->second);
      },
      [this] { return now_; });
};

TEST_F(WindowPagesTest, TheBusIsAskedAboutEachWindowAtMostOncePerSecond) {
  EXPECT_TRUE(pages_->ShowsPage(kWindow));
  EXPECT_EQ(1, bus_.lookups);
  EXPECT_EQ(800, bus_.asked.width);
  EXPECT_EQ(20, bus_.asked.y);

  bus_.Serve(100, 50, "Second tab");
  now_ += 999ms;
  EXPECT_EQ("First page", Text(pages_->Document(kWindow)));
  EXPECT_EQ(1, bus_.lookups);
  now_ += 1ms;
  EXPECT_EQ("Second tab", Text(pages_->Document(kWindow)));
  EXPECT_EQ(2, bus_.lookups);

  // Another window of another program has its own answer, not the first window's.
  BrowserWindow other{8, 200, {0, 0, 300, 200}};
  EXPECT_FALSE(pages_->ShowsPage(other));
  EXPECT_FALSE(pages_->ShowsPage(other));
  EXPECT_TRUE(pages_->ShowsPage(kWindow));
  EXPECT_EQ(3, bus_.lookups);
  // A window whose program does not say who it is is not looked for.
  EXPECT_EQ(nullptr, pages_->Document({9, 0, {}}));
  EXPECT_EQ(3, bus_.lookups);
}

TEST_F(WindowPagesTest, APageIsReadOncePerDocumentAndAddress) {
  auto first = pages_->Document(kWindow);
  now_ += 5s;
  EXPECT_EQ(first, pages_->Document(kWindow));
  // Two windows of one program showing the same document share its snapshot.
  EXPECT_EQ(first, pages_->Document({kWindow.id + 1, kWindow.pid, {}}));
  EXPECT_EQ(1, bus_.reads);
}

TEST_F(WindowPagesTest, AChangedPageIsReadAgainAtTheNextDragWhileAReadingKeepsItsSnapshot) {
  auto reading = pages_->Document(kWindow);
  bus_.texts[40] = "First page, edited";
  bus_.Changed(40);
  // The change may be a tab switch: the window is asked about again at once.
  auto next = pages_->Document(kWindow);
  EXPECT_EQ(2, bus_.lookups);
  EXPECT_EQ("First page, edited", Text(next));
  EXPECT_FALSE(reading->Discarded());
  EXPECT_EQ("First page", Text(reading));
  // Read once again, not at every call after the change.
  EXPECT_EQ(next, pages_->Document(kWindow));
  EXPECT_EQ(2, bus_.reads);

  // Another document's change leaves this snapshot as it is.
  bus_.Changed(99);
  EXPECT_EQ(next, pages_->Document(kWindow));
  EXPECT_EQ(2, bus_.reads);
}

TEST_F(WindowPagesTest, ANewAddressDiscardsTheOldSnapshot) {
  auto old = pages_->Document(kWindow);
  bus_.bridges[40]->url = u"https://example.test/next";
  bus_.texts[40] = "Next page";
  auto next = pages_->Document(kWindow);
  EXPECT_EQ("Next page", Text(next));
  EXPECT_EQ(u"https://example.test/next", next->URL());
  EXPECT_TRUE(old->Discarded());
  EXPECT_THROW(old->body(), platform::Failure);
}

TEST_F(WindowPagesTest, AFailingBusGivesNoPageAndIsAskedAgainLater) {
  bus_.failLookups = true;
  EXPECT_FALSE(pages_->ShowsPage(kWindow));
  bus_.failLookups = false;
  EXPECT_EQ(nullptr, pages_->Document(kWindow));
  now_ += 1s;
  EXPECT_TRUE(pages_->ShowsPage(kWindow));

  // A tree that could not be read is read at the next drag, without waiting for the recheck.
  bus_.failReads = true;
  EXPECT_EQ(nullptr, pages_->Document(kWindow));
  bus_.failReads = false;
  EXPECT_EQ("First page", Text(pages_->Document(kWindow)));

  // A browser that stopped answering on a page read before gives nothing, not the old snapshot.
  bus_.bridges[40]->failing = true;
  EXPECT_EQ(nullptr, pages_->Document(kWindow));
}

TEST_F(WindowPagesTest, TheWindowPlaceIsAskedAtMostEvery50Ms) {
  auto document = pages_->Document(kWindow);
  places_[kWindow.id].client = {30, 40, 800, 600};
  now_ += 49ms;
  EXPECT_EQ(10, document->Origin().x);
  EXPECT_EQ(0, describes_);
  now_ += 1ms;
  EXPECT_EQ(30, document->Origin().x);
  EXPECT_EQ(40, document->Origin().y);
  EXPECT_EQ(1, describes_);

  // A window that is gone keeps the place it was last seen at.
  places_.clear();
  now_ += 50ms;
  EXPECT_EQ(30, document->Origin().x);
  EXPECT_EQ(2, describes_);
}

TEST_F(WindowPagesTest, TheChangeListenerGoesWithThePagesWhileTheirDocumentsStayUsable) {
  auto document = pages_->Document(kWindow);
  EXPECT_EQ(1u, bus_.listeners.size());
  pages_.reset();
  EXPECT_TRUE(bus_.listeners.empty());
  bus_.Changed(40);
  now_ += 1s;
  EXPECT_EQ(10, document->Origin().x);
  EXPECT_EQ("First page", Text(document));
}

}  // namespace
}  // namespace lectryn::accessibility
