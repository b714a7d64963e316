#include "speech/EspeakEngine.h"

#include <espeak-ng/espeak_ng.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>

#include "platform/Failure.h"

namespace lectryn::speech {
namespace {

// Audio held back while the words in it cannot be timed yet; past this it goes out regardless.
constexpr size_t kMaxHeldSamples = 30 * kSampleRate;

std::string StatusText(espeak_ng_STATUS status) {
  char buffer[512] = {};
  espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
  return buffer;
}

// The run being synthesised: the library's callback has no other way to reach it.
struct ActiveRun {
  explicit ActiveRun(const SynthesisJob& job, int32_t startSentence)
      : job(job),
        startSentence(startSentence),
        repair(*job.words, startSentence <= 1 ? RunStart::TextStart : RunStart::FirstSentence),
        skipping(job.firstWord >= 0) {}

  const SynthesisJob& job;
  const int32_t startSentence;
  WordRepair repair;
  std::vector<TimedWord> repaired;
  std::vector<int16_t> held;                           // audio not yet handed to the player
  std::vector<std::pair<int32_t, int32_t>> sentences;  // (start in UTF-16, number), in text order
  int64_t samples = 0;                                 // made by the synthesiser so far
  int64_t firstSample = 0;  // the run's audio and event times start here: where its first word begins
  bool skipping;            // the words before the first word are still being made
  bool finished = false;

  int32_t SentenceOf(int32_t offsetUtf16) const {
    auto after =
        std::upper_bound(sentences.begin(), sentences.end(), offsetUtf16,
                         [](int32_t offset, const auto& sentence) { return offset < sentence.first; });
    return after == sentences.begin() ? startSentence : (after - 1)->second;
  }

  void HandRepairedWords() {
    for (const TimedWord& word : repaired) {
      if (skipping) {
        if (word.index < job.firstWord) continue;
        skipping = false;
        firstSample = word.sample;
      }
      WordMark mark{word.index, SentenceOf((*job.words)[word.index].startUtf16), word.sample - firstSample};
      job.player->PushEvent(job.ticket, mark.runSample, job.wordTask(word, mark.sentence), &mark);
    }
    repaired.clear();
  }

  // Words go to the player before the audio that holds them, so that none of them is posted late.
  void HandAudio(const short* pcm, int count) {
    if (count > 0) {
      held.insert(held.end(), pcm, pcm + count);
      samples += count;
      if (skipping || (repair.Unsure() && held.size() < kMaxHeldSamples)) return;
    }
    if (skipping) return;
    int64_t heldFrom = samples - static_cast<int64_t>(held.size());
    auto before = static_cast<size_t>(std::clamp<int64_t>(firstSample - heldFrom, 0, held.size()));
    if (before == 0) {
      job.player->PushAudio(job.ticket, std::move(held));
    } else if (before < held.size()) {
      job.player->PushAudio(job.ticket, std::vector<int16_t>(held.begin() + before, held.end()));
    }
    held.clear();
  }

  void Finish() {
    finished = true;
    repair.Finish(samples, repaired);
    HandRepairedWords();
    HandAudio(nullptr, 0);
    job.player->PushEnd(job.ticket, job.endTask());
  }
};

// Counts a text's sentences without making its audio heard: the number of the last one with a word.
struct SentenceCount {
  const RunTicket& ticket;
  int32_t current = 1;
  int32_t last = 1;
};

thread_local ActiveRun* activeRun = nullptr;
thread_local SentenceCount* activeCount = nullptr;

// The voice data's list: each voice's languages are packed as (priority byte, name, NUL) until a zero
// priority byte. names gets each voice's name.
std::vector<VoiceEntry> InstalledVoices(std::vector<std::string>& names) {
  std::vector<VoiceEntry> voices;
  const espeak_VOICE** list = espeak_ListVoices(nullptr);
  for (; list && *list; ++list) {
    const espeak_VOICE& voice = **list;
    if (!voice.identifier || !voice.languages) continue;
    VoiceEntry entry{voice.identifier, {}};
    names.push_back(voice.name ? voice.name : "");
    for (const char* at = voice.languages; *at;) {
      std::string name(at + 1);
      entry.languages.push_back({static_cast<unsigned char>(*at), name});
      at += name.size() + 2;
    }
    voices.push_back(std::move(entry));
  }
  return voices;
}

std::vector<VariantEntry> InstalledVariants() {
  std::vector<VariantEntry> variants;
  espeak_VOICE variantsOnly{};
  variantsOnly.languages = "variant";
  const espeak_VOICE** list = espeak_ListVoices(&variantsOnly);
  for (; list && *list; ++list) {
    const espeak_VOICE& voice = **list;
    // The voices themselves sound male; of the variants, the female ones are what listeners ask for. The
    // others the data counts as male, robots and croaks among them.
    if (!voice.identifier || voice.gender != 2) continue;
    // The data keeps variants in a folder of their own ("!v/f2"); a voice takes one as "+f2".
    std::string_view identifier = voice.identifier;
    identifier = identifier.substr(identifier.find('/') + 1);
    variants.push_back({std::string(identifier), voice.name ? voice.name : std::string(identifier)});
  }
  return variants;
}

int OnCounted(SentenceCount& count, espeak_EVENT* events) {
  if (count.ticket.cancelled) return 1;
  for (espeak_EVENT* event = events; event && event->type != espeakEVENT_LIST_TERMINATED; ++event) {
    if (event->type == espeakEVENT_SENTENCE) count.current = event->id.number;
    if (event->type == espeakEVENT_WORD) count.last = count.current;
  }
  return 0;
}

int OnSynthesized(short* pcm, int count, espeak_EVENT* events) {
  if (activeCount) return OnCounted(*activeCount, events);
  ActiveRun* run = activeRun;
  if (!run || run->job.ticket->cancelled) return 1;  // aborts espeak_ng_Synthesize at once
  if (run->job.ticket->cutAt >= 0) {
    // Another run goes on from a word of this one; the audio up to that word is still needed, and the
    // player drops what lies past it.
    if (pcm) run->HandAudio(pcm, count);
    run->HandAudio(nullptr, 0);
    return 1;
  }
  for (espeak_EVENT* event = events; event && event->type != espeakEVENT_LIST_TERMINATED; ++event) {
    if (event->type == espeakEVENT_SENTENCE) {
      int32_t offset = run->job.text->Utf16AtPosition(event->text_position);
      run->sentences.emplace_back(offset, event->id.number);
      run->repair.SentenceStart(offset, event->sample, run->repaired);
    } else if (event->type == espeakEVENT_WORD && event->length > 0) {
      const SpeechText& text = *run->job.text;
      run->repair.Add(text.Utf16AtPosition(event->text_position), event->sample, run->repaired,
                      text.Utf16AtPosition(event->text_position + event->length));
    }
  }
  run->HandRepairedWords();
  if (!pcm) {
    run->Finish();
    return 0;
  }
  run->HandAudio(pcm, count);
  if (run->job.player->WaitForRoom(*run->job.ticket)) return 0;
  if (run->job.ticket->cutAt >= 0) run->HandAudio(nullptr, 0);
  return 1;
}

}  // namespace

EspeakEngine& EspeakEngine::Instance(const std::string& dataPath) {
  // The library quietly falls back to its default data for a folder that does not exist.
  std::error_code error;
  if (!dataPath.empty() && !std::filesystem::is_directory(dataPath, error)) {
    throw platform::Failure("cannot start the speech engine: its voice data folder " + dataPath +
                            " does not exist; give the folder that holds espeak-ng-data");
  }
  // Never destroyed: the library must not be shut down and its thread may be busy when the program ends.
  static EspeakEngine* engine = new EspeakEngine(dataPath);
  if (!engine->startError_.empty()) throw platform::Failure(engine->startError_);
  return *engine;
}

EspeakEngine::EspeakEngine(const std::string& dataPath) {
  std::promise<std::string> started;
  auto result = started.get_future();
  thread_ = std::thread([this, dataPath, started = std::move(started)]() mutable {
    std::string error = Start(dataPath);
    bool ok = error.empty();
    started.set_value(std::move(error));
    if (ok) Main();
  });
  startError_ = result.get();
  thread_.detach();
}

std::string EspeakEngine::Start(const std::string& dataPath) {
  espeak_ng_InitializePath(dataPath.empty() ? nullptr : dataPath.c_str());
  espeak_ng_ERROR_CONTEXT context = nullptr;
  espeak_ng_STATUS status = espeak_ng_Initialize(&context);
  espeak_ng_ClearErrorContext(&context);
  if (status != ENS_OK) {
    const char* where = nullptr;
    espeak_Info(&where);
    return "cannot start the speech engine: its voice data in " +
           std::string(where ? where : "(unknown folder)") + " cannot be read (" + StatusText(status) +
           "); install the espeak-ng-data package or point ESPEAK_DATA_PATH at the folder that holds "
           "espeak-ng-data";
  }
  status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
  if (status != ENS_OK) return "cannot start the speech engine's output: " + StatusText(status);
  if (espeak_ng_GetSampleRate() != kSampleRate) {
    return "the speech engine produces " + std::to_string(espeak_ng_GetSampleRate()) +
           " samples a second, not " + std::to_string(kSampleRate) + "; reinstall espeak-ng-data";
  }
  std::vector<std::string> names;
  std::vector<VoiceEntry> voices = InstalledVoices(names);
  choices_ = VoiceChoices(voices, names, InstalledVariants());
  languages_ = std::make_unique<const VoiceLanguages>(std::move(voices), LocaleLanguageTag());
  defaultRate_ = espeak_GetParameter(espeakRATE, 0);
  currentRate_ = defaultRate_;
  const std::string& voice = languages_->Default();
  status = espeak_ng_SetVoiceByName(voice.empty() ? "en" : voice.c_str());
  if (status != ENS_OK) {
    return "cannot load the speech engine's default voice \"" + voice + "\": " + StatusText(status) +
           "; install the espeak-ng-data package";
  }
  currentVoice_ = voice;
  espeak_SetSynthCallback(OnSynthesized);
  return {};
}

void EspeakEngine::Submit(SynthesisJob job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void EspeakEngine::Main() {
  for (;;) {
    SynthesisJob job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return !jobs_.empty(); });
      job = std::move(jobs_.front());
      jobs_.pop_front();
      running_ = true;
    }
    if (!job.ticket->cancelled) Synthesize(job);
    job = {};
    {
      std::lock_guard lock(mutex_);
      running_ = false;
    }
    done_.notify_all();
  }
}

void EspeakEngine::WaitForRuns() {
  std::unique_lock lock(mutex_);
  // Cancelled runs end within a callback; a live voice of another factory, held by a pause, would make
  // this wait forever, hence the bound.
  done_.wait_for(lock, std::chrono::seconds(2), [&] { return jobs_.empty() && !running_; });
}

void EspeakEngine::SelectVoice(const SynthesisJob& job) {
  for (const std::string* identifier : {&job.voice, &job.fallbackVoice}) {
    if (identifier->empty() || *identifier == currentVoice_) return;
    if (failedVoices_.contains(*identifier)) continue;
    espeak_ng_STATUS status = espeak_ng_SetVoiceByName(identifier->c_str());
    if (status == ENS_OK) {
      currentVoice_ = *identifier;
      currentRate_ = 0;  // set again for the new voice
      return;
    }
    // The text is still read, by the default voice or the one in use; a voice that is gone is said once.
    failedVoices_.insert(*identifier);
    std::fprintf(stderr, "lectryn: cannot load the speech voice \"%s\": %s; reading with the default voice\n",
                 identifier->c_str(), StatusText(status).c_str());
    // Loading may leave no voice selected.
    espeak_ng_SetVoiceByName(currentVoice_.c_str());
  }
}

void EspeakEngine::SelectRate(int32_t rate) {
  if (rate <= 0 || rate == currentRate_) return;
  espeak_SetParameter(espeakRATE, rate, 0);
  currentRate_ = rate;
}

int32_t EspeakEngine::LastSentence(const SynthesisJob& job) {
  SentenceCount count{*job.ticket};
  activeCount = &count;
  const std::string& utf8 = job.text->Utf8();
  espeak_ng_Synthesize(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                       nullptr);
  activeCount = nullptr;
  return count.last;
}

void EspeakEngine::Synthesize(const SynthesisJob& job) {
  SelectVoice(job);
  SelectRate(job.rate);
  int32_t startSentence = job.startSentence;
  if (startSentence == kLastSentence) {
    startSentence = std::max(1, LastSentence(job) + job.fromLast);
    job.ticket->firstSentence = startSentence;
    if (job.ticket->cancelled) return;
  }
  ActiveRun run(job, startSentence);
  activeRun = &run;
  const std::string& utf8 = job.text->Utf8();
  // Sentence k of POS_SENTENCE keeps positions and sentence numbers counted from the start of the text.
  bool whole = startSentence <= 1;
  espeak_ng_STATUS status =
      espeak_ng_Synthesize(utf8.c_str(), utf8.size() + 1, whole ? 0 : static_cast<unsigned>(startSentence),
                           whole ? POS_CHARACTER : POS_SENTENCE, 0, espeakCHARS_UTF8, nullptr, nullptr);
  activeRun = nullptr;
  if (job.ticket->cancelled || job.ticket->cutAt >= 0 || run.finished) return;
  if (status != ENS_OK && status != ENS_SPEECH_STOPPED) {
    // Nobody waits on the run to hear of the failure; say it, and end the stream so reading does not hang.
    std::fprintf(stderr, "lectryn: the speech engine failed to read a text of %d characters: %s\n",
                 job.text->CodePoints(), StatusText(status).c_str());
  }
  run.Finish();
}

}  // namespace lectryn::speech
