#include "app/Trace.h"

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

void Trace::Line(const std::string& json) {
  if (!file_) return;
  std::fputs(json.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

void Trace::Speak(std::u16string_view text) {
  Line("{\"event\":\"speak\",\"text\":" + JsonString(text) + "}");
}

void Trace::Word(const WordTrace& w) {
  auto number = [](const std::optional<int32_t>& value) { return value ? std::to_string(*value) : "null"; };
  Line("{\"event\":\"word\",\"position\":" + std::to_string(w.position) +
       ",\"length\":" + std::to_string(w.length) + ",\"word\":" + JsonString(w.word) +
       ",\"selection\":" + JsonString(w.selection) + ",\"selectionStart\":" + number(w.selectionStart) +
       ",\"selectionEnd\":" + number(w.selectionEnd) + ",\"audioMs\":" + std::to_string(w.audioMs) + "}");
}

void Trace::End() {
  Line("{\"event\":\"end\"}");
}

void Trace::Stop(std::string_view reason) {
  Line("{\"event\":\"stop\",\"reason\":\"" + std::string(reason) + "\"}");
}

}  // namespace lectryn::app
