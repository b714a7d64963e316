// lectryn-read: the terminal reader. It loads a page (a path or an address) through the engine's
// browser control and reads it aloud with the narration of the main window, from an element or
// from the top, showing each word as it is spoken; or, with --print-text, prints the page's text.
//
// For tests of a voice that goes away while reading: with --voice scripted, the environment variable
// LECTRYN_SCRIPTED_FAILURE=WORDS:MESSAGE makes the voice fail with MESSAGE after WORDS words.
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/ListenerSettings.h"
#include "app/PageLoading.h"
#include "app/ReadAloud.h"
#include "app/ReadOptions.h"
#include "app/TerminalKeys.h"
#include "app/Version.h"
#include "engine/Document.h"
#include "narration/Captions.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"
#include "speech/EspeakVoiceFactory.h"
#include "speech/speechd/SpeechdVoiceFactory.h"
#include "system/PlainUiLoop.h"
#include "system/RegistryStore.h"

namespace {

using namespace lectryn;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr int32_t kScriptedMsPerWord = 250;

void SayError(const std::string& message) {
  std::fprintf(stderr, "lectryn-read: %s\n", message.c_str());
}

// Ctrl+C is taken by a thread of its own (the signal is blocked everywhere else, so it never lands
// inside a library's thread): it marks the run interrupted and tells whatever is running.
class Interruption {
 public:
  Interruption() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);  // before any other thread exists
    std::thread([this] {
      int signal = 0;
      while (sigwait(&signals_, &signal) == 0) {
        interrupted_ = true;
        std::lock_guard lock(mutex_);
        if (onInterrupt_) onInterrupt_();
      }
    }).detach();
  }
  bool Interrupted() const { return interrupted_; }
  void OnInterrupt(std::function<void()> action) {
    std::lock_guard lock(mutex_);
    onInterrupt_ = std::move(action);
    if (interrupted_ && onInterrupt_) onInterrupt_();
  }

 private:
  sigset_t signals_;
  std::atomic<bool> interrupted_{false};
  std::mutex mutex_;
  std::function<void()> onInterrupt_;
};

Interruption* gInterruption = nullptr;  // lives for the whole of main

// Loads the page and waits for ready state 4 (complete). Every load ends: the fetch limits bound
// the time it can take. Returns Nothing with error set, or Nothing when interrupted.
// Ctrl+C while the page loads ends the wait.
std::shared_ptr<engine::Document> LoadPageInterruptibly(system::PlainUiLoop& loop, const std::string& page,
                                                        std::string& error) {
  gInterruption->OnInterrupt([&loop] { loop.Quit(); });
  auto document = app::LoadPage(loop, page, error);
  gInterruption->OnInterrupt({});
  return document;
}

int PrintText(const std::string& page) {
  system::PlainUiLoop loop;
  std::string error;
  std::shared_ptr<engine::Document> document = LoadPageInterruptibly(loop, page, error);
  if (!document) {
    if (gInterruption->Interrupted()) return kExitInterrupted;
    SayError(error);
    return kExitFailure;
  }
  std::string text;
  try {
    text = platform::ToUtf8(document->BodyText());
  } catch (const platform::Failure& failure) {
    SayError("cannot read the text of " + page + ": " + failure.what());
    return kExitFailure;
  }
  if (!text.empty()) text += "\r\n";
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    SayError(std::string("cannot write the text: ") + std::strerror(errno));
    return kExitFailure;
  }
  return 0;
}

// The terminal view, when standard output is a terminal that nothing else writes to.
std::unique_ptr<app::TerminalView> MakeView(const app::ReadOptions& options) {
  if (options.quiet || options.trace == "-" || !isatty(STDOUT_FILENO)) return nullptr;
  winsize size{};
  int columns = 80, rows = 24;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    columns = size.ws_col;
    rows = size.ws_row;
  }
  // The piece's lines and the status line under them fit the screen.
  return std::make_unique<app::TerminalView>(stdout, columns, std::max(1, std::min(rows - 2, 8)));
}

// The speed and the voices the desktop stored, unless the command line gives the speed. The stored
// voices are those of both engines: only the ones of the engine reading are handed on, so the trace
// names no voice that does not speak.
void FollowListenerSettings(narration::Narration& main, const app::ReadOptions& options) {
  app::ListenerSettings stored;
  if (auto store = system::OpenDefaultRegistry()) stored = app::ReadListenerSettings(*store);
  bool desktopVoices = options.voice == app::VoiceKind::Speechd;
  std::erase_if(stored.voices, [&](const auto& choice) {
    return speech::speechd::IsSpeechdVoice(choice.second) != desktopVoices;
  });
  if (!stored.voices.empty()) main.SetVoiceChoices(stored.voices);
  if (auto rate = options.rate ? options.rate : stored.rate) main.SetRate(*rate);
}

// What a reading shows and writes besides its sound.
struct ReadingOutputs {
  const app::ReadOptions& options;
  std::shared_ptr<engine::Document> document;
  app::Trace& trace;
  app::TerminalView* view;
};

using RunLoop = std::function<void(const std::function<bool()>&)>;

// Reads the page with voices until the voice has stopped; run(done) runs the loop until done(). A voice
// that fails ends the reading: it is said once and the exit status is a failure.
int Read(platform::VoiceFactory& voices, const ReadingOutputs& outputs, platform::UiLoop& loop,
         const RunLoop& run) {
  const app::ReadOptions& options = outputs.options;
  app::ReadAloud session(voices, outputs.document, outputs.trace, outputs.view);
  session.OnVoiceFailure = [](const std::string& message) { SayError(message); };
  // Keys typed on the terminal act on the loop, as Ctrl+C does.
  app::TerminalKeys keys(STDIN_FILENO,
                         [&](app::ReaderKey key) { loop.Post([&session, key] { session.Key(key); }); });
  if (keys.Active()) {
    std::FILE* shown = isatty(STDOUT_FILENO) && !options.quiet && options.trace != "-" ? stdout : stderr;
    std::fprintf(shown, "%s\n", app::kReaderKeysHelp);
    std::fflush(shown);
  }
  FollowListenerSettings(session.Main(), options);
  std::optional<std::u16string> element;
  if (options.element) element = platform::FromUtf8(*options.element);
  std::optional<std::string> error;
  if (!platform::Tolerate([&] { error = session.Start(element); }))
    error = "the page went away before reading began";
  if (error) {
    SayError(*error);
    return kExitFailure;
  }
  gInterruption->OnInterrupt([&] { loop.Post([&] { session.Interrupt(); }); });
  if (session.Reading()) run([&] { return !session.Reading(); });
  gInterruption->OnInterrupt({});
  keys.Stop();
  std::string reason = session.Finish();
  if (options.captions) {
    // What was read is captioned, also when the reading was cut short, as the audio file is.
    if (std::optional<std::string> failed = narration::WriteCaptions(*options.captions, session.Captions())) {
      SayError(*failed);
      return kExitFailure;
    }
  }
  if (reason == "interrupted") return kExitInterrupted;
  if (reason == "voice-failure") return kExitFailure;  // already said on stderr
  return 0;
}

// LECTRYN_SCRIPTED_FAILURE, when it says WORDS:MESSAGE.
void ArmScriptedFailure(sim::ScriptedVoiceFactory& voices) {
  const char* failure = std::getenv("LECTRYN_SCRIPTED_FAILURE");
  if (failure == nullptr) return;
  std::string_view value(failure);
  size_t colon = value.find(':');
  int32_t words = 0;
  if (colon == std::string_view::npos ||
      std::from_chars(value.data(), value.data() + colon, words).ptr != value.data() + colon)
    return;
  voices.FailAfterWords(words, std::string(value.substr(colon + 1)));
}

int ReadAloud(const app::ReadOptions& options) {
  system::PlainUiLoop loop;
  std::string error;
  std::shared_ptr<engine::Document> document = LoadPageInterruptibly(loop, options.page, error);
  if (!document) {
    if (gInterruption->Interrupted()) return kExitInterrupted;
    SayError(error);
    return kExitFailure;
  }

  app::TraceOutput traceOutput(nullptr, nullptr);
  if (!app::OpenTraceOutput(options.trace, traceOutput, error)) {
    SayError(error);
    return kExitFailure;
  }
  app::Trace trace(traceOutput.get());
  std::unique_ptr<app::TerminalView> view = MakeView(options);
  ReadingOutputs outputs{options, document, trace, view.get()};
  RunLoop runLoop = [&loop](const std::function<bool()>& done) { loop.Run(done); };

  if (options.voice == app::VoiceKind::Scripted) {
    // The virtual clock: the reading runs as fast as the machine allows.
    sim::SimUiLoop clock;
    sim::ScriptedVoiceFactory voices(clock, kScriptedMsPerWord);
    ArmScriptedFailure(voices);
    return Read(voices, outputs, clock, [&](const std::function<bool()>& done) {
      while (!done() && !clock.RunUntilIdle(1000)) {
      }
    });
  }
  if (options.voice == app::VoiceKind::Speechd) {
    // The server plays the sound itself: no recording, no silent output.
    speech::speechd::SpeechdVoiceFactory voices(loop);
    return Read(voices, outputs, loop, runLoop);
  }

  // A recording plays nothing: the factory's own output stays silent.
  bool recording = options.audio == app::AudioKind::File;
  speech::AudioChoice audio = options.audio == app::AudioKind::None || recording
                                  ? speech::AudioChoice::Silent()
                                  : speech::AudioChoice::Auto();
  std::unique_ptr<speech::EspeakVoiceFactory> voices;
  std::unique_ptr<platform::AudioRecorder> recorder;
  try {
    voices = std::make_unique<speech::EspeakVoiceFactory>(loop, audio);
    if (recording) recorder = voices->CreateRecorder(options.audioPath);
  } catch (const platform::Failure& failure) {
    SayError(failure.what());
    return kExitFailure;
  }
  int status;
  {
    platform::VoiceFactory& speaking = recorder ? static_cast<platform::VoiceFactory&>(*recorder) : *voices;
    status = Read(speaking, outputs, loop, runLoop);
  }
  if (!recorder) {
    voices->WaitUntilIdle();  // the last words are heard before the program ends
    return status;
  }
  // Only a whole reading is kept; the recorder removes anything else as it goes.
  if (status != 0) {
    SayError("nothing was written to " + options.audioPath + ": the reading did not end");
    return status;
  }
  try {
    recorder->Commit();
  } catch (const platform::Failure& failure) {
    SayError(failure.what());
    return kExitFailure;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Interruption interruption;
  gInterruption = &interruption;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  app::ParsedCommandLine parsed = app::ParseReadOptions(arguments);
  if (parsed.help) {
    std::printf("%s", app::ReadUsage().c_str());
    return 0;
  }
  if (parsed.version) {
    app::PrintVersion("lectryn-read");
    return 0;
  }
  if (!parsed.ok) {
    SayError(parsed.error);
    std::fprintf(stderr, "%s", app::ReadUsage().c_str());
    return kExitUsage;
  }
  switch (parsed.options.mode) {
    case app::ReadMode::PrintText:
      return PrintText(parsed.options.page);
    case app::ReadMode::ReadAloud:
      return ReadAloud(parsed.options);
  }
  return kExitUsage;
}
