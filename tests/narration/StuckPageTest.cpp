// The reader on pages whose ranges misbehave: an engine that cannot move forward, and range
// operations that fail half-way. The chain must end instead of looping or reading stale text.
#include <gtest/gtest.h>

#include <functional>

#include "forms/CheckBox.h"
#include "narration/Narration.h"
#include "platform/Failure.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace lectryn::narration {
namespace {

using platform::Failure;

// A page of one text; ranges are [start, end) offsets into it. Word moves can be frozen and any
// operation can be made to fail.
struct FakePage {
  std::u16string text = u"hello world and more";
  bool wordsFrozen = false;
  std::function<bool(const char*)> fails = [](const char*) { return false; };
  void Check(const char* operation) const {
    if (fails(operation)) throw Failure(std::string(operation) + " failed: the page changed");
  }
};

class FakeElement;

class FakeRange : public platform::IHTMLTxtRange, public std::enable_shared_from_this<FakeRange> {
 public:
  FakeRange(FakePage& page, int32_t start, int32_t end) : page_(page), start_(start), end_(end) {}
  platform::TxtRangePtr duplicate() override {
    page_.Check("duplicate");
    return std::make_shared<FakeRange>(page_, start_, end_);
  }
  void collapse(bool toStart) override { (toStart ? end_ : start_) = toStart ? start_ : end_; }
  int32_t move(const std::u16string&, int32_t) override { return 0; }
  int32_t moveStart(const std::u16string&, int32_t count) override { return Move(start_, count); }
  int32_t moveEnd(const std::u16string&, int32_t count) override { return Move(end_, count); }
  int32_t compareEndPoints(const std::u16string& how, IHTMLTxtRange& other) override {
    auto& o = static_cast<FakeRange&>(other);
    int32_t mine = how.starts_with(u"Start") ? start_ : end_;
    int32_t theirs = how.ends_with(u"ToStart") ? o.start_ : o.end_;
    return (mine > theirs) - (mine < theirs);
  }
  void setEndPoint(const std::u16string& how, IHTMLTxtRange& other) override {
    auto& o = static_cast<FakeRange&>(other);
    int32_t to = how.ends_with(u"ToStart") ? o.start_ : o.end_;
    if (how.starts_with(u"Start")) {
      start_ = to;
      end_ = std::max(end_, to);
    } else {
      end_ = to;
      start_ = std::min(start_, to);
    }
  }
  platform::ElementPtr parentElement() override;
  void moveToElementText(platform::IHTMLElement& element) override;
  std::u16string text() override {
    page_.Check("text");
    return page_.text.substr(start_, end_ - start_);
  }
  std::u16string htmlText() override { return text(); }
  bool findText(const std::u16string&, int32_t, int32_t) override { return false; }
  bool execCommand(const std::u16string&, bool) override { return true; }
  void select() override {}
  void scrollIntoView(bool) override {}

  FakePage& page_;
  int32_t start_, end_;

 private:
  int32_t Move(int32_t& point, int32_t count) {
    page_.Check("move");
    if (page_.wordsFrozen) return 0;
    int32_t before = point;
    point = std::clamp<int32_t>(point + count * 6, 0, static_cast<int32_t>(page_.text.size()));
    if (start_ > end_) {  // the other end point moves with it
      if (&point == &start_)
        end_ = start_;
      else
        start_ = end_;
    }
    return point - before;
  }
};

// The body, or an element covering [start, end) of the text.
class FakeElement : public platform::IHTMLElement {
 public:
  FakeElement(FakePage& page, int32_t start, int32_t end) : page_(page), start_(start), end_(end) {}
  std::u16string nodeName() override { return u"P"; }
  std::u16string id() override { return u""; }
  std::u16string innerText() override { return page_.text.substr(start_, end_ - start_); }
  std::u16string language() override { return u""; }
  int32_t offsetLeft() override { return 0; }
  int32_t offsetTop() override { return 0; }
  int32_t offsetWidth() override { return 0; }
  int32_t offsetHeight() override { return 0; }
  platform::ElementPtr offsetParent() override { return nullptr; }
  int32_t clientLeft() override { return 0; }
  int32_t clientTop() override { return 0; }
  int32_t scrollTop() override { return 0; }
  int32_t scrollLeft() override { return 0; }
  std::shared_ptr<platform::IHTMLWindow2> contentWindow() override { throw Failure("not a frame"); }
  platform::TxtRangePtr createTextRange() override {
    return std::make_shared<FakeRange>(page_, start_, end_);
  }
  void insertAdjacentHTML(const std::u16string&, const std::u16string&) override {}
  void put_topMargin(int32_t) override {}
  void put_leftMargin(int32_t) override {}

  FakePage& page_;
  int32_t start_, end_;
};

// The element enclosing a range is the first word's "paragraph": the first five characters.
platform::ElementPtr FakeRange::parentElement() {
  return std::make_shared<FakeElement>(page_, 0, 5);
}

void FakeRange::moveToElementText(platform::IHTMLElement& element) {
  page_.Check("moveToElementText");
  auto& e = static_cast<FakeElement&>(element);
  start_ = e.start_;
  end_ = e.end_;
}

class FakeDocument : public platform::HTMLDocument {
 public:
  explicit FakeDocument(FakePage& page) : page_(page) {}
  platform::ElementPtr body() override {
    return std::make_shared<FakeElement>(page_, 0, static_cast<int32_t>(page_.text.size()));
  }
  platform::ElementPtr documentElement() override { return body(); }
  std::u16string readyState() override { return u"complete"; }
  std::u16string URL() override { return u"about:blank"; }
  platform::ElementPtr elementFromPoint(int32_t, int32_t) override { return nullptr; }
  platform::ElementPtr getElementById(const std::u16string&) override { return nullptr; }

 private:
  FakePage& page_;
};

struct StuckPageTest : ::testing::Test {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 10};
  Narration main{voices};
  FakePage page;

  void PickFirstWord() {
    main.workingDoc = std::make_shared<FakeDocument>(page);
    main.rng = std::make_shared<FakeRange>(page, 0, 5);
    main.tbSpeach.SetText(u"hello");
    main.cbContinue.SetValue(forms::vbChecked);
    main.cbStart_Click();
  }
};

TEST_F(StuckPageTest, AnEngineThatCannotMoveForwardEndsTheChainInsteadOfLooping) {
  page.wordsFrozen = true;
  PickFirstWord();
  EXPECT_TRUE(loop.RunUntilIdle(10'000));
  EXPECT_EQ(ChainEnd::NoProgress, main.LastChainEnd());
  EXPECT_EQ(1u, voices.Spoken().size());
  EXPECT_FALSE(main.rng);
  EXPECT_FALSE(main.pVoice);
}

TEST_F(StuckPageTest, ARangeOperationFailingMidwayEndsTheChainAsAPageGone) {
  PickFirstWord();
  loop.AdvanceBy(5);  // "hello" is being spoken
  page.fails = [](const char* operation) { return std::string(operation) == "text"; };
  loop.RunUntilIdle();
  EXPECT_EQ(ChainEnd::PageGone, main.LastChainEnd());
  EXPECT_EQ(1u, voices.Spoken().size());
  EXPECT_FALSE(main.rng);
  EXPECT_FALSE(main.pVoice);
  EXPECT_EQ(u"hello", main.tbSpeach.Text());  // no half-made piece was left in the box
}

TEST_F(StuckPageTest, ARangeThatCannotBeCopiedClearsRangeAndVoice) {
  PickFirstWord();
  loop.AdvanceBy(5);
  page.fails = [](const char* operation) { return std::string(operation) == "duplicate"; };
  EXPECT_FALSE(main.SayNextParagraph());
  EXPECT_FALSE(main.rng);
  EXPECT_FALSE(main.pVoice);
}

}  // namespace
}  // namespace lectryn::narration
