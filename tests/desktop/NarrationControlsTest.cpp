// The media controls on the narration, on the simulated platform with the real page engine: what
// they show of a reading and what their commands do to it.
#include "app/NarrationControls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/TracingVoice.h"
#include "engine/Document.h"
#include "narration/Narration.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace lectryn::app {
namespace {

using desktop::PlaybackStatus;
using Texts = std::vector<std::u16string>;

struct NarrationControlsTest : ::testing::Test {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 100};
  std::vector<int32_t> heard;  // the UTF-16 position of each word heard
  TracingVoiceFactory tracing{voices, Hooks()};
  narration::Narration main{tracing};
  int raised = 0;
  std::unique_ptr<NarrationControls> controls =
      std::make_unique<NarrationControls>(main, [this] { ++raised; });

  VoiceHooks Hooks() {
    VoiceHooks hooks;
    hooks.afterWord = [this](int32_t position, int32_t, int64_t) { heard.push_back(position); };
    return hooks;
  }

  // The paragraph becomes the pick and is read, as the picker does it.
  void Pick(const std::string& html) {
    auto doc = engine::Document::Parse(html, u"file:///page.htm");
    main.workingDoc = doc;
    main.rng = doc->body()->createTextRange();
    main.rng->moveToElementText(*doc->getElementById(u"p"));
    main.SayRange();
  }
};

TEST_F(NarrationControlsTest, StateFollowsTheReadingAndNamesItAfterThePage) {
  desktop::MediaState state = controls->State();
  EXPECT_EQ(PlaybackStatus::Stopped, state.status);
  EXPECT_FALSE(state.canPlay);
  // The instructions in the text box are no title: nothing was picked.
  EXPECT_EQ(u"", state.title);
  EXPECT_EQ(1.0, state.rate);
  EXPECT_DOUBLE_EQ(platform::kMinWordsPerMinute / double(voices.DefaultRate()), state.minimumRate);
  EXPECT_DOUBLE_EQ(platform::kMaxWordsPerMinute / double(voices.DefaultRate()), state.maximumRate);

  Pick("<title>  The   page </title><p id=p>Reading test one two.</p>");
  state = controls->State();
  EXPECT_EQ(PlaybackStatus::Playing, state.status);
  EXPECT_TRUE(state.canPlay);
  EXPECT_EQ(u"The page", state.title);

  loop.RunUntilIdle();
  state = controls->State();
  EXPECT_EQ(PlaybackStatus::Stopped, state.status);
  EXPECT_TRUE(state.canPlay) << "the pick can be read again";
  EXPECT_EQ(u"The page", state.title);

  // Without a title, the first words of what is read.
  Pick("<p id=p>One two three four five six seven eight nine ten.</p>");
  EXPECT_EQ(u"One two three four five six seven eight\u2026", controls->State().title);
}

TEST_F(NarrationControlsTest, PlayReadsTheLastPickAgainOnlyWhenThereIsOne) {
  controls->Play();
  loop.RunUntilIdle();
  EXPECT_TRUE(voices.Spoken().empty()) << "Play read the instructions";

  Pick("<p id=p>Read me twice.</p>");
  loop.RunUntilIdle();
  controls->Play();
  EXPECT_EQ(PlaybackStatus::Playing, controls->State().status);
  loop.RunUntilIdle();
  EXPECT_EQ((Texts{u"Read me twice.", u"Read me twice."}), voices.Spoken());

  // A second Play while reading does not start over.
  controls->Play();
  controls->Play();
  loop.RunUntilIdle();
  EXPECT_EQ(3u, voices.Spoken().size());

  controls->Raise();
  EXPECT_EQ(1, raised);
}

TEST_F(NarrationControlsTest, NextAndStopAreTheNarrationsCommands) {
  // "One two. Three four." at 100 ms a word: "Three" is at 9.
  Pick("<p id=p>One two. Three four.</p>");
  loop.AdvanceBy(50);
  ASSERT_EQ(std::vector<int32_t>{0}, heard);
  controls->NextSentence();
  loop.AdvanceBy(10);
  EXPECT_EQ((std::vector<int32_t>{0, 9}), heard) << "Next did not go on to the next sentence";

  controls->Stop();
  EXPECT_EQ(PlaybackStatus::Stopped, controls->State().status);
  EXPECT_EQ(narration::ChainEnd::Stopped, main.LastChainEnd());
}

TEST_F(NarrationControlsTest, RateFactorsBecomeWordsPerMinuteWithinTheVoicesLimits) {
  int32_t normal = voices.DefaultRate();
  controls->SetRate(2.0);
  EXPECT_EQ(2 * normal, main.Rate());
  EXPECT_DOUBLE_EQ(2.0, controls->State().rate);
  // A tiny factor is the slowest speed, not 0 (the voice's own speed).
  controls->SetRate(0.001);
  EXPECT_EQ(platform::kMinWordsPerMinute, main.Rate());
  controls->SetRate(1e12);
  EXPECT_EQ(platform::kMaxWordsPerMinute, main.Rate());
  main.NormalSpeed();
  EXPECT_EQ(1.0, controls->State().rate);
}

TEST_F(NarrationControlsTest, ObserverIsToldUntilReplacedOrTheControlsGo) {
  int told = 0;
  controls->Watch([&] { ++told; });
  main.SetRate(200);
  EXPECT_EQ(1, told);
  controls->Watch({});
  main.SetRate(250);
  EXPECT_EQ(1, told);
  controls->Watch([&] { ++told; });
  // The narration keeps its observers; the controls' one must not reach them once they are gone.
  controls.reset();
  main.SetRate(300);
  EXPECT_EQ(1, told);
}

TEST(FirstWords, TakeWholeWordsAcrossLineBreaksAndMarkTheRest) {
  EXPECT_EQ(u"one two\u2026", FirstWords(u"  one two\r\nthree", 2));
  EXPECT_EQ(u"one two", FirstWords(u"one\r\ntwo \r\n", 2));
  EXPECT_EQ(u"\u00e9t\u00e9 \U0001F600\u2026", FirstWords(u"\u00e9t\u00e9 \U0001F600 x", 2));
}

}  // namespace
}  // namespace lectryn::app
