#include "app/ReadAloud.h"

#include <algorithm>

#include "forms/CheckBox.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::app {
namespace {

std::string ReasonOf(narration::ChainEnd end) {
  switch (end) {
    case narration::ChainEnd::EndOfPage:
      return "end-of-page";
    case narration::ChainEnd::ContinueOff:
      return "continue-off";
    case narration::ChainEnd::NoDocument:
      return "no-document";
    case narration::ChainEnd::PageGone:
      return "page-gone";
    case narration::ChainEnd::NoProgress:
      return "no-progress";
    case narration::ChainEnd::BeyondBody:
      return "beyond-body";
    case narration::ChainEnd::Stopped:
      return "stopped";
    case narration::ChainEnd::Running:
      break;
  }
  return "nothing-to-read";
}

}  // namespace

ReadAloud::ReadAloud(platform::VoiceFactory& voices, std::shared_ptr<engine::Document> document, Trace& trace,
                     TerminalView* view)
    : document_(std::move(document)), trace_(trace), view_(view), voices_(voices, Hooks()), main_(voices_) {
  main_.OnVoiceFailure = [this](const std::string& message) {
    voiceFailure_ = message;
    trace_.Failed(message);
    if (OnVoiceFailure) OnVoiceFailure(message);
  };
  rate_ = main_.EffectiveRate();
  main_.WatchListenerState([this] { ListenerStateChanged(); });
}

void ReadAloud::ListenerStateChanged() {
  if (main_.Paused() != paused_) {
    paused_ = main_.Paused();
    if (paused_) {
      trace_.Pause();
    } else {
      trace_.Resume();
    }
  }
  if (main_.EffectiveRate() != rate_) {
    rate_ = main_.EffectiveRate();
    trace_.Rate(rate_);
  }
  // Once the listener has changed anything, the view says how things stand.
  if (view_) view_->SetStatus((paused_ ? "paused, " : "") + std::to_string(rate_) + " words a minute");
}

VoiceHooks ReadAloud::Hooks() {
  VoiceHooks hooks;
  hooks.speak = [this](const std::u16string& text, const std::u16string& language) {
    trace_.Speak(text, language);
    captions_.StartText(text);
  };
  hooks.afterWord = [this](int32_t position, int32_t length, int64_t audioMs) {
    TraceWord(position, length, audioMs);
    captions_.Word(position, length, audioMs);
  };
  hooks.end = [this](int64_t audioMs) {
    trace_.End();
    captions_.EndText(audioMs);
  };
  hooks.voice = [this](const std::string& language, const std::string& identifier) {
    trace_.Voice(language, identifier);
  };
  return hooks;
}

void ReadAloud::TraceWord(int32_t position, int32_t length, int64_t audioMs) {
  if (view_) view_->Show(main_.tbSpeach.Text(), position, length);
  if (trace_.Enabled()) trace_.Word(WordOfNarration(main_, position, length, audioMs));
}

std::optional<std::string> ReadAloud::Start(const std::optional<std::u16string>& elementId) {
  if (elementId) {
    main_.workingDoc = document_;
    main_.cbContinue.SetValue(forms::vbChecked);
    platform::ElementPtr element = document_->getElementById(*elementId);
    if (!element)
      return "no element with the id \"" + platform::ToUtf8(*elementId) + "\" in " +
             platform::ToUtf8(document_->URL());
    main_.rng = document_->body()->createTextRange();
    main_.rng->moveToElementText(*element);
    main_.SayRange();
  } else {
    main_.StopSpeaking();
    main_.SayFromTop(document_);
  }
  return std::nullopt;
}

bool ReadAloud::Reading() const {
  return !interrupted_ && main_.pVoice && platform::IsSpeaking(*main_.pVoice);
}

void ReadAloud::Interrupt() {
  interrupted_ = true;
  main_.StopSpeaking();
}

void ReadAloud::Key(ReaderKey key) {
  if (key == ReaderKey::Quit) {
    Interrupt();
  } else {
    ApplyKey(key, main_);
  }
}

std::string ReadAloud::Finish() {
  std::string reason = interrupted_    ? "interrupted"
                       : voiceFailure_ ? "voice-failure"
                                       : ReasonOf(main_.LastChainEnd());
  trace_.Stop(reason);
  if (view_) view_->Finish();
  return reason;
}

}  // namespace lectryn::app
