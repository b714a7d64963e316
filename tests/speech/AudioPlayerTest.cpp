#include "speech/AudioPlayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "system/PlainUiLoop.h"

namespace lectryn::speech {
namespace {

// A device whose playback position the test sets by hand.
class HandClockOutput : public AudioOutput {
 public:
  void Write(std::span<const int16_t> samples) override {
    std::lock_guard lock(mutex_);
    written_ += static_cast<int64_t>(samples.size());
    contents_.insert(contents_.end(), samples.begin(), samples.end());
    changed_.notify_all();
  }
  int64_t PlayedSamples() override {
    std::lock_guard lock(mutex_);
    return std::min(played_, written_);
  }
  void Flush() override {
    std::lock_guard lock(mutex_);
    ++flushes_;
    played_ = written_;
    changed_.notify_all();
  }
  double PlaybackRate() const override { return kSampleRate; }
  int64_t LeadSamples() const override { return lead; }

  void Play(int64_t upTo) {
    std::lock_guard lock(mutex_);
    played_ = upTo;
  }
  void WaitForWritten(int64_t samples) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return written_ >= samples; });
  }
  int Flushes() {
    std::lock_guard lock(mutex_);
    return flushes_;
  }
  void WaitForFlushes(int flushes) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return flushes_ >= flushes; });
  }
  std::vector<int16_t> Contents() {
    std::lock_guard lock(mutex_);
    return contents_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t written_ = 0;
  int64_t played_ = 0;
  int flushes_ = 0;
  std::vector<int16_t> contents_;

 public:
  int64_t lead = 100 * kSampleRate;  // set before the player starts writing
};

struct PlayerFixture : ::testing::Test {
  system::PlainUiLoop loop;
  HandClockOutput* device = nullptr;
  std::shared_ptr<AudioPlayer> player = [this] {
    auto output = std::make_unique<HandClockOutput>();
    device = output.get();
    // The device here plays only when the test says so.
    return std::make_shared<AudioPlayer>(std::move(output), loop, std::chrono::hours(1));
  }();
  std::shared_ptr<RunTicket> run = std::make_shared<RunTicket>(std::make_shared<SpeechStream>());
  std::vector<std::string> log;

  PlayerTask Note(std::string name) {
    return [this, name](const PlayedEvent& at) { log.push_back(name + "@" + std::to_string(at.streamMs)); };
  }
  void RunUntilLogHas(size_t entries) {
    auto guard = loop.StartTimer(30000, [&] { loop.Quit(); });
    bool done = log.size() >= entries || loop.Run([&] { return log.size() >= entries; });
    loop.StopTimer(guard);
    ASSERT_TRUE(done) << "only " << log.size() << " events";
  }
};

TEST_F(PlayerFixture, EventsWaitUntilTheDeviceHasPlayedTheirSample) {
  player->PushEvent(run, 0, Note("first"));
  player->PushEvent(run, 2205, Note("second"));
  player->PushEvent(run, 4409, Note("last"));
  player->PushAudio(run, std::vector<int16_t>(4410));
  player->PushEnd(run, Note("end"));
  device->WaitForWritten(4410);
  RunUntilLogHas(1);
  loop.DoEvents();
  EXPECT_EQ((std::vector<std::string>{"first@0"}), log);  // only sample 0 has been played
  device->Play(2205);
  RunUntilLogHas(2);
  EXPECT_EQ("second@100", log.back());
  device->Play(4409);
  RunUntilLogHas(3);
  loop.DoEvents();
  EXPECT_EQ((std::vector<std::string>{"first@0", "second@100", "last@199"}),
            log);  // the end waits for the last sample
  device->Play(4410);
  RunUntilLogHas(4);
  EXPECT_EQ("end@200", log.back());
}

TEST_F(PlayerFixture, CancelSilencesWhatTheDeviceHoldsAndDropsItsEvents) {
  player->PushEvent(run, 0, Note("first"));
  player->PushEvent(run, 1000, Note("second"));
  player->PushAudio(run, std::vector<int16_t>(4410));
  device->WaitForWritten(4410);
  RunUntilLogHas(1);
  player->Cancel(*run);
  player->WaitUntilIdle();
  EXPECT_EQ(1, device->Flushes());
  loop.DoEvents();
  EXPECT_EQ((std::vector<std::string>{"first@0"}), log);

  // The next run's times count from its own start, after what was flushed.
  auto next = std::make_shared<RunTicket>(std::make_shared<SpeechStream>());
  player->PushEvent(next, 0, Note("again"));
  player->PushAudio(next, std::vector<int16_t>(100));
  player->PushEnd(next, Note("end"));
  device->Play(4510);
  RunUntilLogHas(3);
  EXPECT_EQ((std::vector<std::string>{"first@0", "again@0", "end@4"}), log);
}

TEST_F(PlayerFixture, RunOfTheSameStreamGoesOnCountingTheStreamsTime) {
  player->PushAudio(run, std::vector<int16_t>(2205));
  player->PushEnd(run, Note("first-run-end"));
  auto skipped = std::make_shared<RunTicket>(run->stream);
  player->PushEvent(skipped, 0, Note("after-skip"));
  player->PushAudio(skipped, std::vector<int16_t>(2205));
  player->PushEnd(skipped, Note("end"));
  device->Play(4410);
  RunUntilLogHas(3);
  EXPECT_EQ((std::vector<std::string>{"first-run-end@100", "after-skip@100", "end@200"}), log);
}

// Samples numbered from..to-1 (mod 30000), so that what the device gets tells which ones it got.
std::vector<int16_t> Numbered(int from, int to) {
  std::vector<int16_t> samples;
  for (int i = from; i < to; ++i) samples.push_back(static_cast<int16_t>(i % 30000));
  return samples;
}

TEST_F(PlayerFixture, CutEndsTheRunAtItsFirstWordNotYetWrittenAndTheNextRunGoesOnFromThere) {
  device->lead = 3000;
  player->PushEvent(run, 500, Note("a"));
  WordMark b{1, 1, 2500}, c{2, 2, 4500};
  player->PushEvent(run, b.runSample, Note("b"), &b);
  player->PushEvent(run, c.runSample, Note("c"), &c);
  for (int at = 0; at < 6000; at += 1000) player->PushAudio(run, Numbered(at, at + 1000));
  player->PushEnd(run, Note("old-end"));
  device->WaitForWritten(3000);

  RunCut cut = player->Cut(*run);
  ASSERT_EQ(RunCut::Kind::AtWord, cut.kind);
  EXPECT_EQ(2, cut.mark.word);
  EXPECT_EQ(2, cut.mark.sentence);
  auto next = std::make_shared<RunTicket>(run->stream);
  player->PushEvent(next, 0, Note("c-faster"));
  player->PushAudio(next, Numbered(20000, 21000));
  player->PushEnd(next, Note("end"));
  device->Play(100000);
  RunUntilLogHas(4);
  player->WaitUntilIdle();
  loop.DoEvents();
  EXPECT_EQ((std::vector<std::string>{"a@22", "b@113", "c-faster@204", "end@249"}), log);
  std::vector<int16_t> heard = Numbered(0, 4500);
  std::vector<int16_t> faster = Numbered(20000, 21000);
  heard.insert(heard.end(), faster.begin(), faster.end());
  EXPECT_EQ(heard, device->Contents());
  EXPECT_EQ(RunCut::Kind::NoWordAhead, player->Cut(*next).kind);
}

TEST_F(PlayerFixture, PauseWritesAgainFromTheSampleHeardAndHoldsEventsUntilResume) {
  device->lead = 3000;
  player->PushEvent(run, 0, Note("a"));
  for (int at = 0; at < 3000; at += 1000) player->PushAudio(run, Numbered(at, at + 1000));
  device->WaitForWritten(3000);
  RunUntilLogHas(1);
  device->Play(1200);

  ASSERT_TRUE(player->Pause());
  device->WaitForFlushes(1);
  // The rest of the run comes while paused.
  player->PushEvent(run, 3500, Note("b"));
  for (int at = 3000; at < 5000; at += 1000) player->PushAudio(run, Numbered(at, at + 1000));
  player->PushEnd(run, Note("end"));
  device->Play(100000);  // nothing is written while paused, so nothing more is heard
  loop.PostDelayed(30, [&] { loop.Quit(); });
  loop.Run();
  EXPECT_EQ((std::vector<std::string>{"a@0"}), log);
  EXPECT_EQ(1200, player->HeardSample());

  player->Resume();
  RunUntilLogHas(3);
  player->WaitUntilIdle();
  EXPECT_EQ((std::vector<std::string>{"a@0", "b@158", "end@226"}), log);
  std::vector<int16_t> given = Numbered(0, 3000);
  std::vector<int16_t> again = Numbered(1200, 5000);
  given.insert(given.end(), again.begin(), again.end());
  EXPECT_EQ(given, device->Contents());
}

TEST(AudioPlayerStall, DeviceThatStopsPlayingIsFlushedSoTheEndStillComes) {
  system::PlainUiLoop loop;
  auto output = std::make_unique<HandClockOutput>();
  HandClockOutput& device = *output;
  AudioPlayer player(std::move(output), loop, std::chrono::milliseconds(20));
  auto run = std::make_shared<RunTicket>(std::make_shared<SpeechStream>());
  std::vector<std::string> log;
  player.PushEvent(run, 10, [&](const PlayedEvent&) { log.push_back("word"); });
  player.PushAudio(run, std::vector<int16_t>(100));
  player.PushEnd(run, [&](const PlayedEvent&) { log.push_back("end"); });
  auto guard = loop.StartTimer(30000, [&] { loop.Quit(); });
  ASSERT_TRUE(loop.Run([&] { return log.size() == 2; }));  // the device never plays a sample
  loop.StopTimer(guard);
  EXPECT_EQ(1, device.Flushes());
  EXPECT_EQ((std::vector<std::string>{"word", "end"}), log);
}

TEST(AudioPlayerRoom, SynthesisWaitsWhileTwoSecondsAreQueuedAndCancelReleasesIt) {
  system::PlainUiLoop loop;
  auto output = std::make_unique<HandClockOutput>();
  HandClockOutput& device = *output;
  device.lead = 1;  // the device takes one block and plays nothing
  AudioPlayer player(std::move(output), loop);
  auto run = std::make_shared<RunTicket>(std::make_shared<SpeechStream>());
  std::atomic<int> pushed = 0;
  std::thread synthesiser([&] {
    while (pushed < 200 && player.WaitForRoom(*run)) {
      player.PushAudio(run, std::vector<int16_t>(kSampleRate / 2));
      ++pushed;
    }
  });
  device.WaitForWritten(kSampleRate / 2);
  player.Cancel(*run);
  synthesiser.join();
  EXPECT_LE(pushed, 7);  // one written, two seconds queued, one more before the wait
}

}  // namespace
}  // namespace lectryn::speech
