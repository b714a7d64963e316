#pragma once
// A reading of one page in the terminal: the narration of the main window, started the way the
// picker starts it at a release over an element, or the way the help window starts it from the top
// of its page, followed by the trace and the terminal view.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/ReaderKeys.h"
#include "app/TerminalView.h"
#include "app/Trace.h"
#include "app/TracingVoice.h"
#include "engine/Document.h"
#include "narration/Captions.h"
#include "narration/Narration.h"

namespace lectryn::app {

class ReadAloud {
 public:
  // view may be null (quiet, or not a terminal).
  ReadAloud(platform::VoiceFactory& voices, std::shared_ptr<engine::Document> document, Trace& trace,
            TerminalView* view);

  // Told when the voice fails (it cannot be made, refuses a call or loses its speech server); the
  // reading then ends, the failure traced.
  std::function<void(const std::string& message)> OnVoiceFailure;

  // Starts reading: from the element with that id to the end of the page, or from the top.
  // Returns an error for people when the element does not exist; a voice that fails is told through
  // OnVoiceFailure instead.
  std::optional<std::string> Start(const std::optional<std::u16string>& elementId);
  // True while the voice is speaking a piece.
  bool Reading() const;
  // Ctrl+C or q: the voice stops, nothing more is read.
  void Interrupt();
  // A key typed while reading: a listener's command, or Quit, which interrupts.
  void Key(ReaderKey key);
  // Ends the session: the trace's stop line, the view left in place. Returns the reason.
  std::string Finish();

  narration::Narration& Main() { return main_; }
  // Captions of what has been read; times are those of the texts' audio laid end to end.
  const std::vector<narration::Cue>& Captions() const { return captions_.Cues(); }

 private:
  VoiceHooks Hooks();
  void TraceWord(int32_t position, int32_t length, int64_t audioMs);
  // Traces what the listener changed: pause, resume, speed.
  void ListenerStateChanged();

  std::shared_ptr<engine::Document> document_;
  Trace& trace_;
  TerminalView* view_;
  narration::CaptionWriter captions_;
  TracingVoiceFactory voices_;
  narration::Narration main_;
  bool interrupted_ = false;
  bool paused_ = false;  // as last traced
  int32_t rate_ = 0;     // words per minute, as last traced
  std::optional<std::string> voiceFailure_;
};

}  // namespace lectryn::app
