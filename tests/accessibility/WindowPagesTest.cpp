// Browser windows' pages: how often the bus is asked, which snapshot a drag gets after a change
// or a new address, and what a failing bus leaves. Time is a fake clock moved by the tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "AxFixtures.h"
#include "accessibility/BrowserDocument.h"
#include "accessibility/WindowPages.h"
#include "forms/CheckBox.h"
#include "narration/Narration.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::accessibility {
namespace {

using namespace std::chrono_literals;
using testing::Box;
using testing::FakeBridge;
using testing::Texted;

std::u16string TrimmedText(platform::IHTMLTxtRange& range) {
  std::u16string text = range.text();
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
  return text;
}

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
    return Box(AxRole::Document, document,
               {Texted(AxRole::Paragraph, document + 1, texts.at(document)),
                Texted(AxRole::Paragraph, document + 2, "The end.")});
  }
  // Answered at once unless the test holds the reads back.
  void ReadTreeLater(AxRef document, std::function<void(std::optional<AxNode>)> done) override {
    held.emplace_back(document, std::move(done));
    if (!holdReads) Finish();
  }
  std::optional<AxNode> ReadPartOf(AxRef document, const std::vector<AxRef>& chain, int32_t, int32_t) override {
    ++partReads;
    if (std::find(chain.begin(), chain.end(), document + 1) == chain.end()) return std::nullopt;
    return Box(AxRole::Document, document, {Texted(AxRole::Paragraph, document + 1, texts.at(document))});
  }
  void Finish() {
    auto reads = std::move(held);
    held.clear();
    for (auto& [document, done] : reads) {
      std::optional<AxNode> tree;
      if (!failReads) tree = ReadTree(document);
      done(std::move(tree));
    }
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
  int partReads = 0;
  bool holdReads = false;
  std::vector<std::pair<AxRef, std::function<void(std::optional<AxNode>)>>> held;
  AxExtents asked;
  bool failLookups = false;
  bool failReads = false;
};

constexpr BrowserWindow kWindow{7, 100, {10, 20, 800, 600}};

class WindowPagesTest : public ::testing::Test {
 protected:
  WindowPagesTest() { bus_.Serve(100, 40, "First page"); }

  std::string Text(const std::shared_ptr<BrowserDocument>& document) {
    if (!document) return "(none)";
    std::string text = platform::ToUtf8(document->body()->innerText());
    return text.substr(0, text.find('\r'));  // the first paragraph
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
  EXPECT_FALSE(pages_->Answered(kWindow.id));
  bus_.failLookups = false;
  EXPECT_EQ(nullptr, pages_->Document(kWindow));
  now_ += 1s;
  EXPECT_TRUE(pages_->ShowsPage(kWindow));
  EXPECT_TRUE(pages_->Answered(kWindow.id));

  // A tree that could not be read is read at the next drag, without waiting for the recheck.
  bus_.failReads = true;
  auto unread = pages_->Document(kWindow);
  EXPECT_TRUE(unread->ReadFailed());
  EXPECT_EQ("", Text(unread));
  bus_.failReads = false;
  EXPECT_EQ("First page", Text(pages_->Document(kWindow)));

  // A browser that stopped answering on a page read before gives nothing, not the old snapshot.
  bus_.bridges[40]->failing = true;
  EXPECT_EQ(nullptr, pages_->Document(kWindow));
}

// A big page takes seconds to read whole: the part under the pointer is read when it comes there, a
// reading of it starts at once, and goes on into the rest once the whole page is in.
TEST_F(WindowPagesTest, ThePartUnderThePointerFirstThenTheWholePage) {
  bus_.holdReads = true;
  auto page = pages_->Document(kWindow);
  ASSERT_NE(nullptr, page);
  EXPECT_FALSE(page->Whole());
  EXPECT_EQ("", Text(page));
  auto& bridge = *bus_.bridges[40];
  bridge.chains[{50, 70}] = {42, 41, 40};  // a text leaf of the paragraph, the paragraph, the page
  auto element = page->elementFromPoint(40, 50);
  ASSERT_NE(nullptr, element);
  EXPECT_EQ(u"P", element->nodeName());
  EXPECT_EQ(1, bus_.partReads);
  EXPECT_EQ(0, bus_.reads);
  // The reading's piece and the word it is on, taken from the part.
  auto piece = page->body()->createTextRange();
  piece->moveToElementText(*element);
  auto word = piece->duplicate();
  ASSERT_TRUE(word->findText(u"page", 1, 0));
  bool grown = false;
  EXPECT_TRUE(page->WhenMore([&grown] { grown = true; }));

  // A drag over the same page meanwhile does not start another read.
  EXPECT_EQ(page, pages_->Document(kWindow));
  bus_.Changed(40);
  EXPECT_EQ(page, pages_->Document(kWindow));
  ASSERT_EQ(1u, bus_.held.size());

  bus_.Finish();
  EXPECT_TRUE(grown);
  EXPECT_TRUE(page->Whole());
  EXPECT_FALSE(page->WhenMore([] {}));
  // What was handed out moved over to the whole page: the same text, the same element.
  EXPECT_EQ(u"First page", piece->text());
  EXPECT_EQ(u"page", word->text());
  EXPECT_EQ(u"First page", element->innerText());
  piece->collapse(false);
  piece->moveEnd(u"word", 2);
  EXPECT_EQ(u"\r\nThe ", piece->text());  // the next piece starts right after the part's end
  EXPECT_EQ(u"First page\r\nThe end.", TrimmedText(*page->body()->createTextRange()));
  word->select();
  EXPECT_EQ((std::vector<FakeBridge::Call>{{41, 6, 10}}), bridge.selects);
  // The change seen during the read makes the next drag read the page again.
  auto next = pages_->Document(kWindow);
  EXPECT_NE(page, next);
}

// Reading from a caret: the part around it is given before any point is asked for, and ranges
// taken in it move over to the whole page once that is in.
TEST_F(WindowPagesTest, APartGivenUpFrontIsReadUntilTheWholePageIsIn) {
  bus_.holdReads = true;
  auto page = ReadInParts(bus_, 40, bus_.bridges[40], u"file:///page.htm", {});
  ASSERT_NE(nullptr, page);
  ASSERT_EQ(1u, bus_.held.size()) << "the whole page is asked for at once";
  EXPECT_EQ(0, bus_.reads);
  std::optional<AxNode> part = bus_.ReadPartOf(40, {41, 40}, PageBus::kNoPoint, 0);
  ASSERT_TRUE(part);
  page->AddPart(*part);
  EXPECT_FALSE(page->Whole());
  auto caret = page->RangeAt(41, 6, 6);
  ASSERT_NE(nullptr, caret);
  caret->moveEnd(u"word", 1);
  EXPECT_EQ(u"page", caret->text());

  bus_.Finish();
  EXPECT_TRUE(page->Whole());
  EXPECT_EQ(u"page", caret->text());
  EXPECT_EQ(u"First page\r\nThe end.", TrimmedText(*page->body()->createTextRange()));
  // A part that comes after the whole page takes nothing from it.
  page->AddPart(*part);
  EXPECT_EQ(u"First page\r\nThe end.", TrimmedText(*page->body()->createTextRange()));
}

// A part that lies outside what the pointer gives (the page itself) reads nothing; a failed
// whole read leaves the part read, and the reading ends there.
TEST_F(WindowPagesTest, AFailedWholeReadEndsTheReadingWithTheParts) {
  bus_.holdReads = true;
  auto page = pages_->Document(kWindow);
  bus_.bridges[40]->chains[{50, 70}] = {41, 40};
  bus_.bridges[40]->chains[{60, 70}] = {40};
  EXPECT_EQ(u"BODY", page->elementFromPoint(50, 50)->nodeName());
  EXPECT_EQ(0, bus_.partReads);
  ASSERT_NE(nullptr, page->elementFromPoint(40, 50));
  bool told = false;
  EXPECT_TRUE(page->WhenMore([&told] { told = true; }));
  bus_.failReads = true;
  bus_.Finish();
  EXPECT_TRUE(told);
  EXPECT_TRUE(page->Whole());
  EXPECT_TRUE(page->ReadFailed());
  EXPECT_EQ("First page", Text(page));
}

// A reading started on the part under the pointer waits at the part's end for the whole page and
// goes on into it; one stopped meanwhile stays stopped.
TEST_F(WindowPagesTest, AReadingOfThePartGoesOnOnceTheWholePageIsIn) {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 10};
  narration::Narration main{voices};
  main.cbContinue.SetValue(forms::vbChecked);
  bus_.holdReads = true;
  bus_.bridges[40]->chains[{50, 70}] = {41, 40};
  auto read = [&] {
    auto page = pages_->Document(kWindow);
    auto element = page->elementFromPoint(40, 50);
    main.workingDoc = page;
    main.rng = page->body()->createTextRange();
    main.rng->moveToElementText(*element);
    main.SayRange();
    loop.RunUntilIdle();
    return page;
  };
  read();
  EXPECT_EQ(u"First page", main.tbSpeach.Text());
  EXPECT_EQ(narration::ChainEnd::Running, main.LastChainEnd());  // waiting for the rest
  bus_.Finish();
  loop.RunUntilIdle();
  EXPECT_EQ(u"The end.", main.tbSpeach.Text());
  EXPECT_EQ(narration::ChainEnd::EndOfPage, main.LastChainEnd());

  bus_.Changed(40);
  read();
  main.StopSpeaking();
  bus_.Finish();
  loop.RunUntilIdle();
  EXPECT_EQ(u"First page", main.tbSpeach.Text());
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
