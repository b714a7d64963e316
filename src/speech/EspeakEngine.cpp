#include "speech/EspeakEngine.h"

#include <espeak-ng/espeak_ng.h>

#include <algorithm>
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
  explicit ActiveRun(const SynthesisJob& job)
      : job(job),
        repair(*job.words, job.startSentence <= 1 ? RunStart::TextStart : RunStart::FirstSentence) {}

  const SynthesisJob& job;
  WordRepair repair;
  std::vector<TimedWord> repaired;
  std::vector<int16_t> held;                           // audio not yet handed to the player
  std::vector<std::pair<int32_t, int32_t>> sentences;  // (start in UTF-16, number), in text order
  int64_t samples = 0;
  bool finished = false;

  int32_t SentenceOf(int32_t offsetUtf16) const {
    auto after =
        std::upper_bound(sentences.begin(), sentences.end(), offsetUtf16,
                         [](int32_t offset, const auto& sentence) { return offset < sentence.first; });
    return after == sentences.begin() ? job.startSentence : (after - 1)->second;
  }

  void HandRepairedWords() {
    for (const TimedWord& word : repaired) {
      int32_t sentence = SentenceOf((*job.words)[word.index].startUtf16);
      job.player->PushEvent(job.ticket, word.sample, job.wordTask(word, sentence));
    }
    repaired.clear();
  }

  // Words go to the player before the audio that holds them, so that none of them is posted late.
  void HandAudio(const short* pcm, int count) {
    if (count > 0) {
      samples += count;
      if (repair.Unsure() && held.size() < kMaxHeldSamples) {
        held.insert(held.end(), pcm, pcm + count);
        return;
      }
    }
    if (!held.empty() && (count > 0 || !repair.Unsure())) {
      job.player->PushAudio(job.ticket, std::move(held));
      held.clear();
    }
    if (count > 0) job.player->PushAudio(job.ticket, std::vector<int16_t>(pcm, pcm + count));
  }

  void Finish() {
    finished = true;
    repair.Finish(samples, repaired);
    HandRepairedWords();
    HandAudio(nullptr, 0);
    job.player->PushEnd(job.ticket, job.endTask());
  }
};

thread_local ActiveRun* activeRun = nullptr;

// The voice data's list: each voice's languages are packed as (priority byte, name, NUL) until a zero
// priority byte.
std::vector<VoiceEntry> InstalledVoices() {
  std::vector<VoiceEntry> voices;
  const espeak_VOICE** list = espeak_ListVoices(nullptr);
  for (; list && *list; ++list) {
    const espeak_VOICE& voice = **list;
    if (!voice.identifier || !voice.languages) continue;
    VoiceEntry entry{voice.identifier, {}};
    for (const char* at = voice.languages; *at;) {
      std::string name(at + 1);
      entry.languages.push_back({static_cast<unsigned char>(*at), name});
      at += name.size() + 2;
    }
    voices.push_back(std::move(entry));
  }
  return voices;
}

int OnSynthesized(short* pcm, int count, espeak_EVENT* events) {
  ActiveRun* run = activeRun;
  if (!run || run->job.ticket->cancelled) return 1;  // aborts espeak_ng_Synthesize at once
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
  return run->job.player->WaitForRoom(*run->job.ticket) ? 0 : 1;
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
  languages_ = std::make_unique<const VoiceLanguages>(InstalledVoices(), LocaleLanguageTag());
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
    }
    if (!job.ticket->cancelled) Synthesize(job);
  }
}

void EspeakEngine::SelectVoice(const std::string& identifier) {
  if (identifier.empty() || identifier == currentVoice_) return;
  espeak_ng_STATUS status = espeak_ng_SetVoiceByName(identifier.c_str());
  if (status != ENS_OK) {
    // The text is still read, in the voice in use; loading may leave none selected, so reload that.
    std::fprintf(stderr, "lectryn: cannot load the speech voice \"%s\": %s\n", identifier.c_str(),
                 StatusText(status).c_str());
    espeak_ng_SetVoiceByName(currentVoice_.c_str());
    return;
  }
  currentVoice_ = identifier;
}

void EspeakEngine::Synthesize(const SynthesisJob& job) {
  SelectVoice(job.voice);
  ActiveRun run(job);
  activeRun = &run;
  const std::string& utf8 = job.text->Utf8();
  // Sentence k of POS_SENTENCE keeps positions and sentence numbers counted from the start of the text.
  bool whole = job.startSentence <= 1;
  espeak_ng_STATUS status = espeak_ng_Synthesize(
      utf8.c_str(), utf8.size() + 1, whole ? 0 : static_cast<unsigned>(job.startSentence),
      whole ? POS_CHARACTER : POS_SENTENCE, 0, espeakCHARS_UTF8, nullptr, nullptr);
  activeRun = nullptr;
  if (job.ticket->cancelled || run.finished) return;
  if (status != ENS_OK && status != ENS_SPEECH_STOPPED) {
    // Nobody waits on the run to hear of the failure; say it, and end the stream so reading does not hang.
    std::fprintf(stderr, "lectryn: the speech engine failed to read a text of %d characters: %s\n",
                 job.text->CodePoints(), StatusText(status).c_str());
  }
  run.Finish();
}

}  // namespace lectryn::speech
