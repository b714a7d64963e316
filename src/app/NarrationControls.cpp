#include "app/NarrationControls.h"

#include <algorithm>
#include <cmath>

#include "platform/Failure.h"
#include "platform/Voice.h"

namespace lectryn::app {

namespace {

bool Blank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0';
}

}  // namespace

std::u16string FirstWords(std::u16string_view text, int words) {
  std::u16string title;
  size_t at = 0;
  for (int word = 0; word < words; ++word) {
    while (at < text.size() && Blank(text[at])) ++at;
    if (at == text.size()) return title;
    size_t end = at;
    while (end < text.size() && !Blank(text[end])) ++end;
    if (!title.empty()) title += u' ';
    title.append(text.substr(at, end - at));
    at = end;
  }
  while (at < text.size() && Blank(text[at])) ++at;
  if (at < text.size()) title += u'\u2026';
  return title;
}

NarrationControls::NarrationControls(narration::Narration& narration, std::function<void()> raise)
    : narration_(narration), raise_(std::move(raise)) {
  narration_.WatchListenerState([observer = std::weak_ptr(observer_)] {
    if (auto alive = observer.lock(); alive && *alive) (*alive)();
  });
}

desktop::MediaState NarrationControls::State() const {
  desktop::MediaState state;
  state.status = narration_.Paused()    ? desktop::PlaybackStatus::Paused
                 : narration_.Reading() ? desktop::PlaybackStatus::Playing
                                        : desktop::PlaybackStatus::Stopped;
  double normal = narration_.Voices().DefaultRate();
  state.rate = narration_.EffectiveRate() / normal;
  state.minimumRate = platform::kMinWordsPerMinute / normal;
  state.maximumRate = platform::kMaxWordsPerMinute / normal;
  state.canPlay = state.status != desktop::PlaybackStatus::Stopped || narration_.rng != nullptr;
  state.title = Title();
  return state;
}

// The page's title; else, once something was picked, the first words read.
std::u16string NarrationControls::Title() const {
  std::u16string title;
  if (narration_.workingDoc) platform::Tolerate([&] { title = narration_.workingDoc->title(); });
  if (title.empty() && narration_.rng) title = FirstWords(narration_.tbSpeach.Text(), kTitleWords);
  return title;
}

void NarrationControls::Play() {
  if (narration_.Paused()) {
    narration_.Resume();
  } else if (!narration_.Reading() && narration_.rng) {
    narration_.cbStart_Click();
  }
}

void NarrationControls::Pause() {
  narration_.Pause();
}

void NarrationControls::Stop() {
  narration_.StopSpeaking();
}

void NarrationControls::NextSentence() {
  narration_.NextSentence();
}

void NarrationControls::PreviousSentence() {
  narration_.PreviousSentence();
}

void NarrationControls::SetRate(double factor) {
  // Clamped here: a factor that rounds to 0 words per minute would mean the voice's own speed.
  double wordsPerMinute =
      std::clamp(factor * narration_.Voices().DefaultRate(), double{platform::kMinWordsPerMinute},
                 double{platform::kMaxWordsPerMinute});
  narration_.SetRate(static_cast<int32_t>(std::lround(wordsPerMinute)));
}

void NarrationControls::Raise() {
  if (raise_) raise_();
}

void NarrationControls::Watch(std::function<void()> observer) {
  *observer_ = std::move(observer);
}

}  // namespace lectryn::app
