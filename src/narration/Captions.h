#pragma once
// Captions of a reading, made from the same events that drive the highlight: each text the voice
// starts, each word it reports and each end of a text. One cue per sentence; a cue never spans two
// texts. Times are milliseconds of the recording: where a text's audio starts in it plus the
// voice's StreamPosition within that text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lectryn::narration {

struct CaptionWord {
  int64_t startMs = 0;
  int32_t offsetUtf16 = 0;  // into the cue's text
  int32_t lengthUtf16 = 0;
};

struct Cue {
  int64_t startMs = 0;  // its first word's
  int64_t endMs = 0;    // the next cue's start, or the end of its text's audio
  std::u16string text;  // the sentence, its ends trimmed and line breaks made spaces
  std::vector<CaptionWord> words;
};

class CaptionWriter {
 public:
  // The voice starts speaking text; its audio begins at audioStartMs of the recording (nothing: right
  // after the audio of the text before, which is how a plain reading joins its texts).
  void StartText(std::u16string text, std::optional<int64_t> audioStartMs = std::nullopt);
  // A word of the current text: UTF-16 position and length in it, StreamPosition in milliseconds.
  void Word(int32_t position, int32_t length, int64_t streamMs);
  // The current text's audio ended after streamMs.
  void EndText(int64_t streamMs);

  // Where the audio of the last text ended (or would, when it has not ended yet) in the recording.
  int64_t AudioEndMs() const { return audioEndMs_; }
  const std::vector<Cue>& Cues() const { return cues_; }

 private:
  struct Sentence {
    size_t begin = 0, end = 0;  // UTF-16 units of the text
  };
  void CloseCue(int64_t endMs);

  std::u16string text_;
  std::vector<Sentence> sentences_;
  int64_t textStartMs_ = 0;
  int64_t audioEndMs_ = 0;
  bool textOpen_ = false;
  std::vector<Cue> cues_;
  std::optional<size_t> openSentence_;  // the sentence of the last cue while it has not ended
  size_t cueBegin_ = 0;                 // where the last cue's text starts in the text
  int32_t lastPosition_ = -1;
};

// The sentences of a text as [begin, end) in UTF-16 units: each runs up to a sentence mark (. ! ?
// and their full-width, Arabic and other forms, with closing quotes and brackets after them) that
// white space follows, or to the end of the text.
std::vector<std::pair<size_t, size_t>> SentencesOf(const std::u16string& text);

enum class CaptionFormat { WebVtt, Srt };

// The format a file name asks for (.vtt or .srt, any case); nothing for any other name.
std::optional<CaptionFormat> CaptionFormatOf(const std::string& path);
// The file's text in UTF-8: WebVTT with a timestamp before every word after a cue's first (its
// start says when that one begins), or SRT with numbered cues.
std::string RenderCaptions(const std::vector<Cue>& cues, CaptionFormat format);
// "00:01:02.345" (WebVTT) or "00:01:02,345" (SRT).
std::string CaptionTime(int64_t ms, CaptionFormat format);

// Writes the captions to path, whole or not at all (a temporary file beside it, then renamed).
// Returns an error for people when the file cannot be written or its name has no caption format.
std::optional<std::string> WriteCaptions(const std::string& path, const std::vector<Cue>& cues);

}  // namespace lectryn::narration
