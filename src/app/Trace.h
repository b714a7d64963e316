#pragma once
// The reader's trace: one JSON object per line, flushed as it goes, so another program can follow a
// reading while it runs.
#include <cstdint>
#include <cstdio>
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
};

// The word as the narration sees it: its place in the text spoken and the page's selection now.
WordTrace WordOfNarration(const narration::Narration& main, int32_t position, int32_t length,
                          int64_t audioMs);

// Where a trace is written; standard output is never closed.
using TraceOutput = std::unique_ptr<std::FILE, void (*)(std::FILE*)>;

// "-" is standard output, any other name a file made afresh; none gives no trace. False with
// `error` set for people when the file cannot be written.
bool OpenTraceOutput(const std::optional<std::string>& where, TraceOutput& output, std::string& error);

class Trace {
 public:
  // file may be null: nothing is written.
  explicit Trace(std::FILE* file) : file_(file) {}
  // language: the BCP 47 tag the piece is spoken in, empty for the default.
  void Speak(std::u16string_view text, std::u16string_view language = {});
  void Word(const WordTrace& word);
  void End();
  void Stop(std::string_view reason);
  // The desktop's picker drew an outline (window coordinates: left, top, right, bottom).
  void Outline(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // A window of the program was shown or hidden.
  void Window(std::string_view name, bool shown);
  // Another program's page did not do what was asked of it (action: select, scroll, listen).
  void PageFailed(std::string_view action, std::u16string_view url, std::string_view reason);
  // What another program's page held selected when it was asked for the next word: the word
  // before, when it took it.
  void BrowserSelection(std::u16string_view held);
  bool Enabled() const { return file_ != nullptr; }

 private:
  void Line(const std::string& json);
  std::FILE* file_;
};

}  // namespace lectryn::app
