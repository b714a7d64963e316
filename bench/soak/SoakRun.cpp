// A long run of the reading commands with the real page engine and the real voice in silent mode:
// thousands of picks, each followed by Start, Next Sentence and Stop, as a person clicking about for
// hours would do. It checks that no voice event arrives after Stop for the stopped voice, and that
// resident memory, open files and threads do not grow. Not part of the test run: start it by hand.
//
//   build/bin/lectryn_soak [--cycles N] [--speed X]
//
// Prints the figures; exits 1 when an event came late or something grew beyond the tolerance.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <string>

#include "engine/Document.h"
#include "narration/Narration.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "speech/EspeakVoiceFactory.h"
#include "system/PlainUiLoop.h"

namespace {

using namespace lectryn;

constexpr int kParagraphs = 40;
constexpr int kSampleEveryCycles = 1000;
// Growth of resident memory allowed between the first sample and the last (allocator caches fill up
// early on), and after the first thousand cycles, by when they have settled.
constexpr long kRssToleranceKib = 4096;
constexpr long kSettledRssToleranceKib = 1024;
// How long the voice gets to say its first word, and how long events are awaited after Stop.
constexpr int32_t kWordWaitMs = 2000;
constexpr int32_t kAfterStopMs = 3;

// Paragraphs of a few sentences, some in other languages, each with an id the picks use.
std::string MakePage() {
  static const char* const kSentences[] = {
      "The quick brown fox jumps over the lazy dog. ",
      "Reading aloud helps people who find long pages tiring! ",
      "Does every word light up as it is spoken? ",
      "Numbers like 1,024 and dates like 3 May 2021 are read as words. ",
  };
  std::string html = "<!DOCTYPE html><html><head><title>Soak</title></head><body>";
  for (int i = 0; i < kParagraphs; ++i) {
    const char* lang = i % 7 == 3 ? " lang=\"fr\"" : i % 11 == 5 ? " lang=\"de\"" : "";
    html += "<p id=\"p" + std::to_string(i) + "\"" + lang + ">";
    for (int s = 0; s < 2 + i % 3; ++s) html += kSentences[(i + s) % 4];
    html += "<b>Paragraph " + std::to_string(i) + ".</b></p>";
  }
  return html + "</body></html>";
}

// Hands out voices whose events pass through a watch. Once a voice is dropped its watch counts, and
// does not pass on, any event that still arrives for it; watches of recent voices are kept so that a
// late event finds one.
class WatchedVoices : public platform::VoiceFactory {
 public:
  explicit WatchedVoices(platform::VoiceFactory& inner) : inner_(inner) {}

  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override {
    auto watch = std::make_shared<Watch>(*this, sink);
    return std::make_shared<Voice>(*this, inner_.CreateVoice(*watch), watch);
  }

  long lateEvents = 0;
  long words = 0;
  long ends = 0;

 private:
  struct Watch : platform::VoiceEvents {
    Watch(WatchedVoices& owner, platform::VoiceEvents& sink) : owner(owner), sink(sink) {}
    void pVoice_Word(int32_t stream, int64_t position, int32_t character, int32_t length) override {
      if (dropped) {
        ++owner.lateEvents;
        return;
      }
      ++owner.words;
      sink.pVoice_Word(stream, position, character, length);
    }
    void pVoice_EndStream(int32_t stream, int64_t position) override {
      if (dropped) {
        ++owner.lateEvents;
        return;
      }
      ++owner.ends;
      sink.pVoice_EndStream(stream, position);
    }
    WatchedVoices& owner;
    platform::VoiceEvents& sink;
    bool dropped = false;
  };

  class Voice : public platform::SpVoice {
   public:
    Voice(WatchedVoices& owner, std::shared_ptr<platform::SpVoice> inner, std::shared_ptr<Watch> watch)
        : owner_(owner), inner_(std::move(inner)), watch_(std::move(watch)) {}
    ~Voice() override {
      inner_.reset();
      watch_->dropped = true;
      owner_.recent_.push_back(watch_);
      if (owner_.recent_.size() > 64) owner_.recent_.pop_front();
    }
    int32_t Speak(const std::u16string& text, int32_t flags) override { return inner_->Speak(text, flags); }
    int32_t Skip(const std::u16string& type, int32_t count) override { return inner_->Skip(type, count); }
    platform::SpeechVoiceStatus Status() const override { return inner_->Status(); }
    void SetLanguage(const std::u16string& tag) override { inner_->SetLanguage(tag); }

   private:
    WatchedVoices& owner_;
    std::shared_ptr<platform::SpVoice> inner_;
    std::shared_ptr<Watch> watch_;
  };

  platform::VoiceFactory& inner_;
  std::deque<std::shared_ptr<Watch>> recent_;
};

long ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long sizePages = 0, residentPages = 0;
  statm >> sizePages >> residentPages;
  return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

// Entries of a /proc/self folder, less "." and ".." (and, for fd, the one opendir itself holds).
int CountEntries(const char* folder) {
  DIR* dir = opendir(folder);
  if (dir == nullptr) return -1;
  int count = 0;
  while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count;
}

struct Sample {
  long cycle;
  long rssKib;
  int fds;
  int threads;
};

Sample Take(long cycle) {
  return {cycle, ResidentKib(), CountEntries("/proc/self/fd") - 1, CountEntries("/proc/self/task")};
}

class Soak {
 public:
  Soak(system::PlainUiLoop& loop, platform::VoiceFactory& voices)
      : loop_(loop), watched_(voices), main_(watched_) {
    std::string html = MakePage();
    document_ = engine::Document::Parse(html, u"file:///soak.htm");
  }

  // One pick of a paragraph as the picker makes it, then Start, Next Sentence and Stop; every
  // tenth cycle the reading goes on into the next paragraph before it is stopped.
  void Cycle(long cycle) {
    bool carryOn = cycle % 10 == 9;
    main_.cbStop_Click();
    main_.workingDoc = document_;
    main_.rng = document_->body()->createTextRange();
    auto element = document_->getElementById(u"p" + platform::FromUtf8(std::to_string(cycle % kParagraphs)));
    main_.rng->moveToElementText(*element);
    main_.cbContinue.SetValue(carryOn ? 1 : 0);
    main_.SayRange();
    RunUntil([&, words = watched_.words] { return watched_.words > words; }, kWordWaitMs);
    main_.cbNext_Click();
    if (carryOn) RunUntil([&, ends = watched_.ends] { return watched_.ends > ends; }, kWordWaitMs);
    main_.cbStop_Click();
    RunFor(kAfterStopMs);
  }

  const WatchedVoices& Watched() const { return watched_; }

 private:
  void RunUntil(const std::function<bool()>& done, int32_t limitMs) {
    bool timedOut = false;
    // The loop looks at done only after a task, so the timer posts one.
    platform::TimerId timer = loop_.StartTimer(limitMs, [&] {
      timedOut = true;
      loop_.Post([] {});
    });
    loop_.Run([&] { return timedOut || done(); });
    loop_.StopTimer(timer);
  }
  void RunFor(int32_t ms) {
    RunUntil([] { return false; }, ms);
  }

  system::PlainUiLoop& loop_;
  WatchedVoices watched_;
  narration::Narration main_;
  std::shared_ptr<engine::Document> document_;
};

long Option(int argc, char** argv, const std::string& name, long fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (argv[i] == name) return std::atol(argv[i + 1]);
  return fallback;
}

void Print(const Sample& sample) {
  std::printf("cycle %6ld  rss %7ld KiB  fds %3d  threads %3d\n", sample.cycle, sample.rssKib, sample.fds,
              sample.threads);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const long cycles = Option(argc, argv, "--cycles", 10000);
  const double speed = static_cast<double>(Option(argc, argv, "--speed", 200));
  auto began = std::chrono::steady_clock::now();
  system::PlainUiLoop loop;
  std::unique_ptr<speech::EspeakVoiceFactory> voices;
  try {
    voices = std::make_unique<speech::EspeakVoiceFactory>(loop, speech::AudioChoice::Silent(speed));
  } catch (const platform::Failure& failure) {
    std::fprintf(stderr, "lectryn_soak: %s\n", failure.what());
    return 2;
  }
  int status = 0;
  {
    Soak soak(loop, *voices);
    soak.Cycle(0);  // the first voice starts the engine's threads and fills its caches
    Sample first = Take(0);
    Print(first);
    Sample last = first;
    Sample settled = first;
    for (long cycle = 1; cycle <= cycles; ++cycle) {
      soak.Cycle(cycle);
      if (cycle % kSampleEveryCycles == 0 || cycle == cycles) Print(last = Take(cycle));
      if (cycle == kSampleEveryCycles) settled = last;
    }
    const WatchedVoices& watched = soak.Watched();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("cycles %ld in %.1f s; words %ld, piece ends %ld, late events %ld\n", cycles, seconds,
                watched.words, watched.ends, watched.lateEvents);
    std::printf("rss %ld -> %ld KiB (%+ld), fds %d -> %d, threads %d -> %d\n", first.rssKib, last.rssKib,
                last.rssKib - first.rssKib, first.fds, last.fds, first.threads, last.threads);
    auto fail = [&](const char* what) {
      std::printf("FAIL: %s\n", what);
      status = 1;
    };
    if (watched.lateEvents != 0) fail("events arrived for a voice after it was stopped");
    if (watched.words < cycles) fail("fewer words heard than cycles: the voice was not speaking");
    if (last.rssKib - first.rssKib > kRssToleranceKib) fail("resident memory grew");
    if (last.rssKib - settled.rssKib > kSettledRssToleranceKib) fail("resident memory kept growing");
    if (last.fds > first.fds) fail("file descriptors leaked");
    if (last.threads > first.threads) fail("threads leaked");
  }
  voices->WaitUntilIdle();
  return status;
}
