#pragma once
// Turns the synthesiser's raw word events into one event per word of the text, in order.
//
// The raw events miss words (unstressed words merged into the one before), repeat a position (a number
// read as several words), point one past a word's start (the second word of some fixed phrases) or go
// back to a stale position. Each event is snapped to the word that holds it; repeats and backward steps
// are dropped; a word that got no event gets one timed between its neighbours, in proportion to the
// length of the words that share the gap. A sentence start closes the words of the sentence before it.
//
// In scripts written without spaces an event may stand for a whole phrase (its raw length covers several
// words), for one character, or be missing: the words it covers are timed only once the next event, the
// next sentence or the end shows where the phrase ends, so the caller holds back audio while Unsure().
#include <cstdint>
#include <vector>

#include "speech/SpokenWords.h"

namespace lectryn::speech {

struct TimedWord {
  int32_t index;   // into the text's words
  int64_t sample;  // from the start of the synthesis run
  friend bool operator==(const TimedWord&, const TimedWord&) = default;
};

enum class RunStart {
  TextStart,      // the run reads the whole text: words before the first event are filled in
  FirstSentence,  // the run starts at a later sentence: words before its first sentence were skipped
};

class WordRepair {
 public:
  // words must outlive the repair.
  WordRepair(const std::vector<TextWord>& words, RunStart start);

  // A sentence begins at this offset; the first one fixes where a run that skipped sentences starts.
  // Words before it that still lack an event are timed before its sample and appended to out.
  void SentenceStart(int32_t offsetUtf16, int64_t sample, std::vector<TimedWord>& out);
  // One raw word event, spanEndUtf16 being where the synthesiser says its word ends (-1: unknown);
  // appends the words whose timing is now known.
  void Add(int32_t offsetUtf16, int64_t sample, std::vector<TimedWord>& out, int32_t spanEndUtf16 = -1);
  // The run's audio ended after endSample samples: the remaining words are spread before that.
  void Finish(int64_t endSample, std::vector<TimedWord>& out);
  // Whether words still to come may be due before audio made so far: none has had an event yet, or
  // the last event spoke for several words at once.
  bool Unsure() const;

 private:
  void FillUpTo(int32_t end, int64_t untilSample, std::vector<TimedWord>& out);

  const std::vector<TextWord>& words_;
  int32_t next_;         // first word not yet reported; -1 until a skipping run knows its start
  int32_t anchor_ = -1;  // last word reported from a real event (or fill), -1 before any
  int64_t anchorSample_ = 0;
  int32_t spanEnd_ = -1;  // end of the text the events so far have spoken for, in UTF-16
  bool sawEvent_ = false;
};

struct RawWordEvent {
  enum class Kind { Word, Sentence };
  Kind kind;
  int32_t offsetUtf16;
  int64_t sample;
  int32_t spanEndUtf16 = -1;
};

// The whole repair of one run at once.
std::vector<TimedWord> RepairWordEvents(const std::vector<TextWord>& words,
                                        const std::vector<RawWordEvent>& events, int64_t endSample,
                                        RunStart start = RunStart::TextStart);

}  // namespace lectryn::speech
