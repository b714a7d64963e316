#include "speech/WordRepair.h"

#include <algorithm>

namespace lectryn::speech {

WordRepair::WordRepair(const std::vector<TextWord>& words, RunStart start)
    : words_(words), next_(start == RunStart::TextStart ? 0 : -1) {}

void WordRepair::SentenceStart(int32_t offsetUtf16, int64_t sample, std::vector<TimedWord>& out) {
  int32_t first = FirstWordFrom(words_, offsetUtf16);
  if (next_ < 0) {
    next_ = first;
    anchorSample_ = sample;
    return;
  }
  if (first <= next_ || sample < anchorSample_) return;
  FillUpTo(first, sample, out);
  // The next sentence's words are timed from its start, not from the last word heard before it.
  anchor_ = -1;
  anchorSample_ = sample;
}

void WordRepair::Add(int32_t offsetUtf16, int64_t sample, std::vector<TimedWord>& out, int32_t spanEndUtf16) {
  int32_t index = WordHolding(words_, offsetUtf16);
  if (index < 0) return;  // silent punctuation or a position between words
  sawEvent_ = true;
  spanEnd_ = std::max(spanEnd_, spanEndUtf16);
  if (next_ < 0) next_ = index;
  if (index < next_) return;  // a repeat or a stale position
  sample = std::max(sample, anchorSample_);
  FillUpTo(index, sample, out);
  out.push_back({index, sample});
  anchor_ = index;
  anchorSample_ = sample;
  next_ = index + 1;
}

void WordRepair::Finish(int64_t endSample, std::vector<TimedWord>& out) {
  if (next_ < 0) return;  // skipped past the last sentence: nothing was read
  FillUpTo(static_cast<int32_t>(words_.size()), std::max(endSample, anchorSample_), out);
}

bool WordRepair::Unsure() const {
  if (next_ < 0 || next_ >= static_cast<int32_t>(words_.size())) return false;
  return !sawEvent_ || words_[next_].startUtf16 < spanEnd_;
}

void WordRepair::FillUpTo(int32_t end, int64_t untilSample, std::vector<TimedWord>& out) {
  if (next_ >= end) return;
  // The gap from the anchor's start to untilSample holds the anchor and the missing words; share it out
  // by length, as a stand-in for how long each takes to say.
  int64_t anchorWeight = anchor_ >= 0 && anchor_ == next_ - 1 ? words_[anchor_].lengthUtf16 : 0;
  int64_t total = anchorWeight;
  for (int32_t i = next_; i < end; ++i) total += words_[i].lengthUtf16;
  int64_t before = anchorWeight;
  int64_t span = untilSample - anchorSample_;
  for (int32_t i = next_; i < end; ++i) {
    int64_t sample = anchorSample_ + (total > 0 ? span * before / total : 0);
    out.push_back({i, sample});
    before += words_[i].lengthUtf16;
  }
  next_ = end;
}

std::vector<TimedWord> RepairWordEvents(const std::vector<TextWord>& words,
                                        const std::vector<RawWordEvent>& events, int64_t endSample,
                                        RunStart start) {
  WordRepair repair(words, start);
  std::vector<TimedWord> out;
  for (const RawWordEvent& event : events) {
    if (event.kind == RawWordEvent::Kind::Sentence) {
      repair.SentenceStart(event.offsetUtf16, event.sample, out);
    } else {
      repair.Add(event.offsetUtf16, event.sample, out, event.spanEndUtf16);
    }
  }
  repair.Finish(endSample, out);
  return out;
}

}  // namespace lectryn::speech
