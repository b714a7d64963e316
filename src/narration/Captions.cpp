#include "narration/Captions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/Text.h"

namespace lectryn::narration {
namespace {

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x00A0 || c == 0x2028 || c == 0x2029 ||
         c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

// Marks after which white space ends a sentence.
bool IsSentenceMark(char16_t c) {
  return c == u'.' || c == u'!' || c == u'?' || c == 0x2026 /* … */ || c == 0x061F /* Arabic ? */ ||
         c == 0x06D4 /* Urdu full stop */ || c == 0x0964 || c == 0x0965 /* danda */ || c == 0xFF0E ||
         c == 0xFF01 || c == 0xFF1F;
}

// Full-width marks end a sentence by themselves: those scripts put no space after them.
bool EndsSentenceAlone(char16_t c) {
  return c == 0x3002 /* 。 */ || c == 0xFF01 || c == 0xFF1F;
}

bool IsClosing(char16_t c) {
  return c == u'"' || c == u'\'' || c == u')' || c == u']' || c == 0x2019 || c == 0x201D || c == 0x00BB ||
         c == 0x300D || c == 0x300F || c == 0xFF09;
}

std::string Pad(int64_t value, int width) {
  std::string digits = std::to_string(value);
  return std::string(digits.size() < static_cast<size_t>(width) ? width - digits.size() : 0, '0') + digits;
}

// Cue text is one line: WebVTT ends a cue at an empty line, SRT at any.
std::u16string OneLine(std::u16string_view text) {
  std::u16string line(text);
  for (char16_t& c : line)
    if (c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029) c = u' ';
  return line;
}

std::string EscapeVtt(std::u16string_view text) {
  std::string escaped;
  for (char c : platform::ToUtf8(text)) {
    if (c == '&')
      escaped += "&amp;";
    else if (c == '<')
      escaped += "&lt;";
    else if (c == '>')
      escaped += "&gt;";
    else
      escaped += c;
  }
  return escaped;
}

std::string VttPayload(const Cue& cue) {
  std::string payload;
  size_t done = 0;
  std::u16string_view text = cue.text;
  for (size_t i = 0; i < cue.words.size(); ++i) {
    const CaptionWord& word = cue.words[i];
    auto start = std::clamp<size_t>(word.offsetUtf16, done, text.size());
    auto end = std::clamp<size_t>(start + word.lengthUtf16, start, text.size());
    payload += EscapeVtt(text.substr(done, start - done));
    // A timestamp must lie after the cue's start: the first word's is the start itself.
    if (i > 0 && word.startMs > cue.startMs)
      payload += "<" + CaptionTime(word.startMs, CaptionFormat::WebVtt) + ">";
    payload += "<c>" + EscapeVtt(text.substr(start, end - start)) + "</c>";
    done = end;
  }
  return payload + EscapeVtt(text.substr(done));
}

}  // namespace

std::vector<std::pair<size_t, size_t>> SentencesOf(const std::u16string& text) {
  std::vector<std::pair<size_t, size_t>> sentences;
  size_t begin = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    bool alone = EndsSentenceAlone(text[i]);
    if (!alone && !IsSentenceMark(text[i])) continue;
    size_t end = i + 1;
    while (end < text.size() && (IsSentenceMark(text[end]) || IsClosing(text[end]))) ++end;
    if (!alone && end < text.size() && !IsSpace(text[end])) {
      i = end - 1;
      continue;
    }
    sentences.emplace_back(begin, end);
    begin = end;
    i = end - 1;
  }
  if (begin < text.size()) sentences.emplace_back(begin, text.size());
  return sentences;
}

void CaptionWriter::StartText(std::u16string text, std::optional<int64_t> audioStartMs) {
  // A text replaced before its end (the voice was stopped or skipped away) ends where the new one
  // begins.
  int64_t startMs = audioStartMs.value_or(audioEndMs_);
  if (textOpen_) CloseCue(startMs);
  text_ = std::move(text);
  sentences_.clear();
  for (auto [begin, end] : SentencesOf(text_)) sentences_.push_back({begin, end});
  textStartMs_ = startMs;
  audioEndMs_ = startMs;
  textOpen_ = true;
  lastPosition_ = -1;
}

void CaptionWriter::Word(int32_t position, int32_t length, int64_t streamMs) {
  if (!textOpen_ || position < 0 || static_cast<size_t>(position) >= text_.size()) return;
  auto at = static_cast<size_t>(position);
  int64_t atMs = textStartMs_ + streamMs;
  audioEndMs_ = std::max(audioEndMs_, atMs);
  auto sentence =
      std::find_if(sentences_.begin(), sentences_.end(), [&](const Sentence& s) { return at < s.end; });
  auto index = static_cast<size_t>(sentence - sentences_.begin());
  // A new sentence, or the same one heard again (the listener went back), makes a new cue.
  if (openSentence_ != index || position <= lastPosition_) {
    if (openSentence_) CloseCue(atMs);
    size_t begin = sentence->begin, end = sentence->end;
    while (begin < end && IsSpace(text_[begin])) ++begin;
    while (end > begin && IsSpace(text_[end - 1])) --end;
    Cue cue;
    cue.startMs = atMs;
    cue.endMs = atMs;
    cue.text = OneLine(std::u16string_view(text_).substr(begin, end - begin));
    cues_.push_back(std::move(cue));
    openSentence_ = index;
    cueBegin_ = begin;
  }
  lastPosition_ = position;
  Cue& cue = cues_.back();
  if (at < cueBegin_ || at >= cueBegin_ + cue.text.size()) return;  // white space around the sentence
  auto offset = static_cast<int32_t>(at - cueBegin_);
  int32_t clipped = std::clamp<int32_t>(length, 0, static_cast<int32_t>(cue.text.size()) - offset);
  if (clipped > 0) cue.words.push_back({atMs, offset, clipped});
}

void CaptionWriter::EndText(int64_t streamMs) {
  if (!textOpen_) return;
  audioEndMs_ = std::max(audioEndMs_, textStartMs_ + streamMs);
  CloseCue(audioEndMs_);
  textOpen_ = false;
}

void CaptionWriter::CloseCue(int64_t endMs) {
  if (openSentence_ && !cues_.empty()) cues_.back().endMs = std::max(cues_.back().startMs, endMs);
  openSentence_.reset();
}

std::optional<CaptionFormat> CaptionFormatOf(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (platform::EqualsIgnoringAsciiCase(extension, ".vtt")) return CaptionFormat::WebVtt;
  if (platform::EqualsIgnoringAsciiCase(extension, ".srt")) return CaptionFormat::Srt;
  return std::nullopt;
}

std::string CaptionTime(int64_t ms, CaptionFormat format) {
  ms = std::max<int64_t>(ms, 0);
  return Pad(ms / 3'600'000, 2) + ":" + Pad(ms / 60'000 % 60, 2) + ":" + Pad(ms / 1000 % 60, 2) +
         (format == CaptionFormat::WebVtt ? "." : ",") + Pad(ms % 1000, 3);
}

std::string RenderCaptions(const std::vector<Cue>& cues, CaptionFormat format) {
  std::string out = format == CaptionFormat::WebVtt ? "WEBVTT\n" : "";
  int number = 0;
  for (const Cue& cue : cues) {
    if (format == CaptionFormat::WebVtt) out += "\n";
    if (format == CaptionFormat::Srt) out += std::to_string(++number) + "\n";
    out += CaptionTime(cue.startMs, format) + " --> " + CaptionTime(cue.endMs, format) + "\n";
    out += format == CaptionFormat::WebVtt ? VttPayload(cue) : platform::ToUtf8(cue.text);
    out += format == CaptionFormat::WebVtt ? "\n" : "\n\n";
  }
  return out;
}

std::optional<std::string> WriteCaptions(const std::string& path, const std::vector<Cue>& cues) {
  std::optional<CaptionFormat> format = CaptionFormatOf(path);
  if (!format) return "cannot write captions to " + path + ": the name must end in .vtt or .srt";
  std::string text = RenderCaptions(cues, *format);
  std::string partial = path + ".part";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (!file) return "cannot write captions to " + path + ": " + std::strerror(errno);
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  int error = errno;
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  std::error_code renamed;
  if (written) std::filesystem::rename(partial, path, renamed);
  if (!written || renamed) {
    std::remove(partial.c_str());
    return "cannot write captions to " + path + ": " + (written ? renamed.message() : std::strerror(error));
  }
  return std::nullopt;
}

}  // namespace lectryn::narration
