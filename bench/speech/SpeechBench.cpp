// The voice's costs: synthesis to a WAV file against the espeak-ng command line on the same text, the
// time from Speak to the first sample handed to the output, how late a word's event runs on the UI
// loop after its sample is heard (on the silent output's clock), how soon a pause silences the output
// and a resume feeds it again, and how much audio at the old speed is heard after a change of speed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Text.h"
#include "speech/AudioPlayer.h"
#include "speech/EspeakVoiceFactory.h"
#include "speech/SilentOutput.h"
#include "system/PlainUiLoop.h"

namespace lectryn::speech {
namespace {

using Clock = std::chrono::steady_clock;

// A plain English text of the given number of words, sentences of varied length and some numbers.
std::string EnglishText(int words) {
  static const char* const kWords[] = {
      "the",       "reader",  "follows",  "each",  "word",   "of",         "a",      "page",   "while",
      "it",        "is",      "spoken",   "aloud", "and",    "highlights", "what",   "you",    "hear",
      "in",        "order",   "from",     "one",   "piece",  "to",         "next",   "such",   "as",
      "paragraph", "heading", "list",     "item",  "for",    "people",     "who",    "prefer", "listening",
      "reading",   "long",    "articles", "1999",  "twenty", "cats",       "walked", "slowly", "through",
      "garden",    "under",   "bright",   "moon",  "light"};
  std::string text;
  int inSentence = 0;
  unsigned state = 12345;
  for (int i = 0; i < words; ++i) {
    state = state * 1103515245u + 12345u;
    const char* word = kWords[(state >> 8) % std::size(kWords)];
    std::string w = word;
    if (inSentence == 0) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
    text += w;
    ++inSentence;
    bool end = inSentence >= 6 + static_cast<int>((state >> 16) % 14) || i + 1 == words;
    if (end) {
      text += ". ";
      inSentence = 0;
    } else {
      text += (state >> 20) % 9 == 0 ? ", " : " ";
    }
  }
  return text;
}

class CountingSink : public platform::VoiceEvents {
 public:
  void pVoice_Word(int32_t, int64_t, int32_t, int32_t) override { ++words; }
  void pVoice_EndStream(int32_t, int64_t) override { ++ends; }
  int words = 0;
  int ends = 0;
};

std::filesystem::path Scratch(const char* name) {
  return std::filesystem::temp_directory_path() / name;
}

void BM_WavFile2000Words(benchmark::State& state) {
  std::u16string text = platform::FromUtf8(EnglishText(2000));
  std::string path = Scratch("lectryn-bench.wav").string();
  int words = 0;
  for (auto _ : state) {
    system::PlainUiLoop loop;
    CountingSink sink;
    {
      EspeakVoiceFactory factory(loop, AudioChoice::WavFile(path));
      auto voice = factory.CreateVoice(sink);
      voice->Speak(text, platform::SVSFlagsAsync);
      loop.Run([&] { return sink.ends == 1; });
    }
    words = sink.words;
  }
  state.counters["words"] = words;
  state.counters["audio_s"] = static_cast<double>(std::filesystem::file_size(path) - 44) / 2 / kSampleRate;
}
BENCHMARK(BM_WavFile2000Words)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_EspeakCommandLineWav2000Words(benchmark::State& state) {
  std::string textPath = Scratch("lectryn-bench.txt").string();
  std::ofstream(textPath) << EnglishText(2000);
  std::string command = "espeak-ng -w " + Scratch("lectryn-bench-cli.wav").string() + " -f " + textPath;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("espeak-ng failed");
  }
  state.counters["audio_s"] =
      static_cast<double>(std::filesystem::file_size(Scratch("lectryn-bench-cli.wav")) - 44) / 2 /
      kSampleRate;
}
BENCHMARK(BM_EspeakCommandLineWav2000Words)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Silent output that notes when the first sample after a reset reaches it.
class FirstSampleOutput : public SilentOutput {
 public:
  FirstSampleOutput() : SilentOutput(1000) {}
  void Write(std::span<const int16_t> samples) override {
    SilentOutput::Write(samples);
    std::lock_guard lock(mutex_);
    if (!first_) {
      first_ = Clock::now();
      arrived_.notify_all();
    }
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    first_.reset();
  }
  Clock::time_point WaitForFirst() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [&] { return first_.has_value(); });
    return *first_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::optional<Clock::time_point> first_;
};

void BM_SpeakToFirstSample(benchmark::State& state) {
  std::u16string text = platform::FromUtf8(EnglishText(static_cast<int>(state.range(0))));
  system::PlainUiLoop loop;
  auto output = std::make_unique<FirstSampleOutput>();
  FirstSampleOutput& first = *output;
  EspeakVoiceFactory factory(loop, std::move(output));
  CountingSink sink;
  for (auto _ : state) {
    auto voice = factory.CreateVoice(sink);
    first.Reset();
    auto start = Clock::now();
    voice->Speak(text, platform::SVSFlagsAsync);
    auto arrived = first.WaitForFirst();
    state.SetIterationTime(std::chrono::duration<double>(arrived - start).count());
    voice.reset();
    factory.WaitUntilIdle();
    loop.DoEvents();
  }
}
BENCHMARK(BM_SpeakToFirstSample)
    ->Arg(10)
    ->Arg(150)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(50);

// Words every 20 to 80 ms of audio for ten seconds, played in real time: how late each event runs.
void BM_WordEventDelay(benchmark::State& state) {
  std::vector<double> delaysMs;
  for (auto _ : state) {
    system::PlainUiLoop loop;
    auto output = std::make_unique<SilentOutput>(1.0);
    SilentOutput& silent = *output;
    auto player = std::make_shared<AudioPlayer>(std::move(output), loop);
    auto run = std::make_shared<RunTicket>(std::make_shared<SpeechStream>());
    std::atomic<bool> ended = false;
    std::thread feeder([&] {
      const int64_t total = 10 * kSampleRate;
      int64_t nextWord = 0;
      unsigned lcg = 7;
      for (int64_t at = 0; at < total; at += 1080) {
        while (nextWord < at + 1080) {
          player->PushEvent(run, nextWord, [&](const PlayedEvent& played) {
            delaysMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - silent.TimeOfSample(played.sample))
                    .count());
          });
          lcg = lcg * 1103515245u + 12345u;
          nextWord += kSampleRate * (20 + (lcg >> 16) % 60) / 1000;
        }
        player->PushAudio(run, std::vector<int16_t>(1080));
        player->WaitForRoom(*run);
      }
      player->PushEnd(run, [&](const PlayedEvent&) { ended = true; });
    });
    loop.Run([&] { return ended.load(); });
    feeder.join();
  }
  std::sort(delaysMs.begin(), delaysMs.end());
  auto at = [&](double q) { return delaysMs[static_cast<size_t>(q * (delaysMs.size() - 1))]; };
  state.counters["events"] = static_cast<double>(delaysMs.size());
  state.counters["p50_ms"] = at(0.5);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = delaysMs.back();
}
BENCHMARK(BM_WordEventDelay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

double Percentile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))];
}

// Real-time silent output that notes when it is flushed and when it is next written to.
class StampingOutput : public SilentOutput {
 public:
  explicit StampingOutput(double speed) : SilentOutput(speed) {}
  void Write(std::span<const int16_t> samples) override {
    SilentOutput::Write(samples);
    Stamp(lastWrite_);
  }
  void Flush() override {
    SilentOutput::Flush();
    Stamp(lastFlush_);
  }
  // Waits for the first flush or write after since.
  Clock::time_point FlushAfter(Clock::time_point since) { return WaitFor(lastFlush_, since); }
  Clock::time_point WriteAfter(Clock::time_point since) { return WaitFor(lastWrite_, since); }

 private:
  void Stamp(Clock::time_point& at) {
    std::lock_guard lock(mutex_);
    at = Clock::now();
    changed_.notify_all();
  }
  Clock::time_point WaitFor(Clock::time_point& at, Clock::time_point since) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return at >= since; });
    return at;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  Clock::time_point lastWrite_;
  Clock::time_point lastFlush_;
};

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Pauses a voice reading in real time every 150 ms for 50 ms: from Pause to the output's flush, and from
// Resume to the first sample written again.
void BM_PauseAndResume(benchmark::State& state) {
  std::vector<double> pauseMs;
  std::vector<double> resumeMs;
  for (auto _ : state) {
    system::PlainUiLoop loop;
    auto output = std::make_unique<StampingOutput>(1.0);
    StampingOutput& stamps = *output;
    EspeakVoiceFactory factory(loop, std::move(output));
    CountingSink sink;
    auto voice = factory.CreateVoice(sink);
    voice->Speak(platform::FromUtf8(EnglishText(200)), platform::SVSFlagsAsync);
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      loop.DoEvents();
      auto paused = Clock::now();
      voice->Pause();
      pauseMs.push_back(MsBetween(paused, stamps.FlushAfter(paused)));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      auto resumed = Clock::now();
      voice->Resume();
      resumeMs.push_back(MsBetween(resumed, stamps.WriteAfter(resumed)));
    }
  }
  state.counters["pause_p50_ms"] = Percentile(pauseMs, 0.5);
  state.counters["pause_max_ms"] = Percentile(pauseMs, 1);
  state.counters["resume_p50_ms"] = Percentile(resumeMs, 0.5);
  state.counters["resume_max_ms"] = Percentile(resumeMs, 1);
}
BENCHMARK(BM_PauseAndResume)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Changes the speed from 175 to 450 words a minute after one of the text's first words and measures how much
// is still heard at the old speed: the words after the one being heard (0: the speed changes from the next
// word) and the audio from the sample heard at the call to the first word at the new speed. A word is at the
// new speed when its gap to the next is nearer that of a reading at 450 than of one at 175. The output runs
// four times faster than real time.
class TimingSink : public platform::VoiceEvents {
 public:
  void pVoice_Word(int32_t, int64_t streamMs, int32_t, int32_t) override { times.push_back(streamMs); }
  void pVoice_EndStream(int32_t, int64_t) override { ++ends; }
  std::vector<int64_t> times;
  int ends = 0;
};

void BM_RateChangeToNewSpeed(benchmark::State& state) {
  constexpr double kSpeed = 4;
  size_t changeAt = 0;  // the word after which the speed changes
  std::vector<double> oldSpeedMs;
  std::vector<double> oldSpeedWords;
  std::u16string text = platform::FromUtf8(EnglishText(40));
  for (auto _ : state) {
    system::PlainUiLoop loop;
    auto output = std::make_unique<SilentOutput>(kSpeed);
    SilentOutput& silent = *output;
    EspeakVoiceFactory factory(loop, std::move(output));
    // Reads the text, changing the speed to changeTo (when set) after the word changeAt; returns the
    // word times and the audio heard at the change.
    auto read = [&](int32_t rate, int32_t changeTo, double& heardMs) {
      TimingSink sink;
      auto voice = factory.CreateVoice(sink);
      voice->SetRate(rate);
      int64_t streamStart = silent.PlayedSamples();
      voice->Speak(text, platform::SVSFlagsAsync);
      if (changeTo) {
        loop.Run([&] { return sink.times.size() > changeAt; });
        heardMs = static_cast<double>(silent.PlayedSamples() - streamStart) * 1000 / kSampleRate;
        voice->SetRate(changeTo);
      }
      loop.Run([&] { return sink.ends == 1; });
      voice.reset();
      factory.WaitUntilIdle();
      loop.DoEvents();
      return sink.times;
    };
    double unused = 0;
    std::vector<int64_t> slow = read(175, 0, unused);
    std::vector<int64_t> fast = read(450, 0, unused);
    for (changeAt = 3; changeAt < 13; ++changeAt) {
      double heardMs = 0;
      std::vector<int64_t> changed = read(175, 450, heardMs);
      for (size_t w = changeAt + 1; w + 1 < changed.size() && w + 1 < slow.size(); ++w) {
        int64_t gap = changed[w + 1] - changed[w];
        if (std::abs(gap - (fast[w + 1] - fast[w])) < std::abs(gap - (slow[w + 1] - slow[w]))) {
          oldSpeedMs.push_back(static_cast<double>(changed[w]) - heardMs);
          oldSpeedWords.push_back(static_cast<double>(w - changeAt - 1));
          break;
        }
      }
    }
  }
  if (oldSpeedMs.empty()) {
    state.SkipWithError("no change of speed was heard");
    return;
  }
  state.counters["changes"] = static_cast<double>(oldSpeedMs.size());
  state.counters["old_speed_p50_ms"] = Percentile(oldSpeedMs, 0.5);
  state.counters["old_speed_max_ms"] = Percentile(oldSpeedMs, 1);
  state.counters["old_speed_words_p50"] = Percentile(oldSpeedWords, 0.5);
  state.counters["old_speed_words_max"] = Percentile(oldSpeedWords, 1);
}
BENCHMARK(BM_RateChangeToNewSpeed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace lectryn::speech

BENCHMARK_MAIN();
