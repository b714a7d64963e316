#include "app/Trace.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "accessibility/BrowserDocument.h"
#include "engine/Document.h"
#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace lectryn::app {

std::string JsonString(std::u16string_view text) {
  std::string utf8 = platform::ToUtf8(text);
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

bool OpenTraceOutput(const std::optional<std::string>& where, TraceOutput& output, std::string& error) {
  auto close = [](std::FILE* file) {
    if (file && file != stdout) std::fclose(file);
  };
  output = TraceOutput(nullptr, close);
  if (!where) return true;
  output = TraceOutput(*where == "-" ? stdout : std::fopen(where->c_str(), "w"), close);
  if (!output) error = "cannot write the trace to " + *where + ": " + std::strerror(errno);
  return output != nullptr;
}

namespace {

// Taken when the program's statics are made, before main: as near to its start as the program sees.
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

std::string Text(std::string_view text) {
  return JsonString(platform::FromUtf8(std::string(text)));
}

}  // namespace

int64_t ProgramMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               kProgramStart)
      .count();
}

void Trace::Line(std::string_view event, const std::string& members) {
  if (!file_) return;
  std::string line =
      "{\"event\":\"" + std::string(event) + "\"" + members + ",\"t\":" + std::to_string(nowMs_()) + "}\n";
  std::fputs(line.c_str(), file_);
  std::fflush(file_);
}

void Trace::Speak(std::u16string_view text, std::u16string_view language) {
  // A piece in the default language says nothing of it, as traces did before pages had languages.
  std::string lang = language.empty() ? "" : ",\"lang\":" + JsonString(language);
  Line("speak", ",\"text\":" + JsonString(text) + lang);
}

void Trace::Voice(std::string_view language, std::string_view identifier) {
  Line("voice", ",\"lang\":" + Text(language) + ",\"identifier\":" + Text(identifier));
}

void Trace::Word(const WordTrace& w) {
  auto number = [](const std::optional<int32_t>& value) { return value ? std::to_string(*value) : "null"; };
  Line("word", ",\"position\":" + std::to_string(w.position) + ",\"length\":" + std::to_string(w.length) +
                   ",\"word\":" + JsonString(w.word) + ",\"selection\":" + JsonString(w.selection) +
                   ",\"selectionStart\":" + number(w.selectionStart) +
                   ",\"selectionEnd\":" + number(w.selectionEnd) +
                   ",\"audioMs\":" + std::to_string(w.audioMs) + (w.estimated ? ",\"estimated\":true" : ""));
}

void Trace::End() {
  Line("end");
}

void Trace::Stop(std::string_view reason) {
  Line("stop", ",\"reason\":" + Text(reason));
}

void Trace::Failed(std::string_view message) {
  Line("failed", ",\"message\":" + Text(message));
}

void Trace::Pause() {
  Line("pause");
}

void Trace::Resume() {
  Line("resume");
}

void Trace::Rate(int32_t wordsPerMinute) {
  Line("rate", ",\"wpm\":" + std::to_string(wordsPerMinute));
}

void Trace::Outline(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Line("outline", ",\"rect\":[" + std::to_string(left) + "," + std::to_string(top) + "," +
                      std::to_string(right) + "," + std::to_string(bottom) + "]");
}

void Trace::Release() {
  Line("release");
}

void Trace::Window(std::string_view name, bool shown) {
  Line("window", ",\"name\":" + Text(name) + ",\"shown\":" + (shown ? "true" : "false"));
}

void Trace::PageFailed(std::string_view action, std::u16string_view url, std::string_view reason) {
  // A highlight that failed is one kind, page changes that cannot be followed another.
  Line(action == "listen" ? "listen-failed" : "highlight-failed",
       ",\"action\":" + Text(action) + ",\"url\":" + JsonString(url) + ",\"reason\":" + Text(reason));
}

void Trace::BrowserSelection(std::u16string_view held) {
  Line("browser-selection", ",\"held\":" + JsonString(held));
}

void Trace::Message(std::u16string_view text) {
  Line("message", ",\"text\":" + JsonString(text));
}

void Trace::Answer(int32_t answer) {
  const char* name = answer == platform::vbYes ? "yes" : answer == platform::vbNo ? "no" : "ok";
  Line("answer", ",\"answer\":" + Text(name));
}

WordTrace WordOfNarration(const narration::Narration& main, int32_t position, int32_t length,
                          int64_t audioMs) {
  const std::u16string& text = main.tbSpeach.Text();
  WordTrace word;
  word.position = position;
  word.length = length;
  auto size = static_cast<int64_t>(text.size());
  int64_t start = std::clamp<int64_t>(position, 0, size);
  word.word = text.substr(start, std::clamp<int64_t>(length, 0, size - start));
  word.audioMs = audioMs;
  word.estimated = main.pVoice && main.pVoice->WordTimesEstimated();
  // The page the words are highlighted in may be the picked frame's or gone: tolerate both.
  if (!main.workingDoc || main.workingDoc->Discarded()) return word;
  auto page = std::dynamic_pointer_cast<engine::Document>(main.workingDoc);
  // Another program's page keeps the selection it was asked for in its snapshot too.
  if (auto browserPage = std::dynamic_pointer_cast<accessibility::BrowserDocument>(main.workingDoc))
    page = browserPage->Snapshot().Document();
  if (page) {
    platform::Tolerate([&] {
      word.selection = page->SelectedText();
      if (auto span = page->SelectionInBodyText()) {
        word.selectionStart = span->start;
        word.selectionEnd = span->end;
      }
    });
  }
  return word;
}

}  // namespace lectryn::app
