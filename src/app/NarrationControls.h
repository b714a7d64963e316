#pragma once
// The desktop's media controls on the narration: the same commands the menus give.
#include <functional>
#include <memory>
#include <string>

#include "desktop/MediaPlayerBus.h"
#include "narration/Narration.h"

namespace lectryn::app {

// Words of the text read that make a title when the page has none.
constexpr int kTitleWords = 8;

// The first words of text (at most `words`, split at blanks and line breaks), with "…" when it
// goes on.
std::u16string FirstWords(std::u16string_view text, int words);

class NarrationControls : public desktop::MediaControls {
 public:
  // narration outlives this; raise shows the main window.
  NarrationControls(narration::Narration& narration, std::function<void()> raise);

  desktop::MediaState State() const override;
  void Play() override;
  void Pause() override;
  void Stop() override;
  void NextSentence() override;
  void PreviousSentence() override;
  void SetRate(double factor) override;
  void Raise() override;
  void Watch(std::function<void()> observer) override;

 private:
  std::u16string Title() const;

  narration::Narration& narration_;
  std::function<void()> raise_;
  // The narration keeps its observers for its whole life; the one it holds reaches this only while
  // this lives.
  std::shared_ptr<std::function<void()>> observer_ = std::make_shared<std::function<void()>>();
};

}  // namespace lectryn::app
