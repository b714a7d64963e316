#pragma once
// The reader's trace: one JSON object per line, flushed as it goes, so another program can follow a
// reading while it runs.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "narration/Narration.h"

namespace lectryn::app {

// A JSON string literal for UTF-16 text (lone surrogates become U+FFFD).
std::string JsonString(std::u16string_view text);

struct WordTrace {
  int32_t position = 0;
  int32_t length = 0;
  std::u16string word;
  std::u16string selection;
  std::optional<int32_t> selectionStart;  // UTF-16 offsets into the body's printed text
  std::optional<int32_t> selectionEnd;
  int64_t audioMs = 0;
  bool estimated = false;  // the voice timed the word by estimate, not by its sound
};

// The word as the narration sees it: its place in the text spoken, the page's selection now and
// whether the voice only estimated when it is heard.
WordTrace WordOfNarration(const narration::Narration& main, int32_t position, int32_t length,
                          int64_t audioMs);

// Where a trace is written; standard output is never closed.
using TraceOutput = std::unique_ptr<std::FILE, void (*)(std::FILE*)>;

// "-" is standard output, any other name a file made afresh; none gives no trace. False with
// `error` set for people when the file cannot be written.
bool OpenTraceOutput(const std::optional<std::string>& where, TraceOutput& output, std::string& error);

// Milliseconds since the program started, on the monotonic clock.
int64_t ProgramMs();

// Every line ends with "t": the time it was written, from nowMs.
class Trace {
 public:
  // file may be null: nothing is written.
  explicit Trace(std::FILE* file, std::function<int64_t()> nowMs = ProgramMs)
      : file_(file), nowMs_(std::move(nowMs)) {}
  // language: the BCP 47 tag the piece is spoken in, empty for the default.
  void Speak(std::u16string_view text, std::u16string_view language = {});
  // The piece just spoken is in the language's voice that the user chose (primary language, identifier).
  void Voice(std::string_view language, std::string_view identifier);
  void Word(const WordTrace& word);
  void End();
  void Stop(std::string_view reason);
  // The voice failed and the reading ended; message is the one the user is shown.
  void Failed(std::string_view message);
  // The listener paused or resumed the reading, or changed its speed (words per minute heard).
  void Pause();
  void Resume();
  void Rate(int32_t wordsPerMinute);
  // The desktop's picker drew an outline (window coordinates: left, top, right, bottom).
  void Outline(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // The end of a drag from the main window: what the first word's delay is counted from.
  void Release();
  // A window of the program was shown or hidden.
  void Window(std::string_view name, bool shown);
  // Another program's page did not do what was asked of it (action: select, scroll, listen).
  void PageFailed(std::string_view action, std::u16string_view url, std::string_view reason);
  // What another program's page held selected when it was asked for the next word: the word
  // before, when it took it.
  void BrowserSelection(std::u16string_view held);
  // A message box is shown (before it waits for the user), and the answer it was closed with
  // (the dialogs' vbOK, vbYes, vbNo).
  void Message(std::u16string_view text);
  void Answer(int32_t answer);
  bool Enabled() const { return file_ != nullptr; }

 private:
  // json: an object's members after "event", starting with a comma, or empty.
  void Line(std::string_view event, const std::string& members = {});
  std::FILE* file_;
  std::function<int64_t()> nowMs_;
};

}  // namespace lectryn::app
