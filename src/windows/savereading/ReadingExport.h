#pragma once
// A page read into an audio file and its captions instead of aloud: the narration's own reading,
// from the top or from a picked range to the end of the page, with a recorder for a voice. Nothing
// is played, and the page is neither highlighted nor scrolled.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "narration/Captions.h"
#include "narration/Narration.h"
#include "platform/Page.h"
#include "platform/UiLoop.h"
#include "platform/Voice.h"

namespace lectryn::windows::savereading {

enum class ExportState { Running, Finished, Cancelled, Failed };

class ReadingExport {
 public:
  // Makes the recorder for audioPath (captions go to CaptionsPathOf(audioPath)); throws
  // platform::Failure when it cannot be made.
  ReadingExport(platform::VoiceFactory& voices, platform::UiLoop& loop, std::string audioPath);
  ReadingExport(const ReadingExport&) = delete;
  ReadingExport& operator=(const ReadingExport&) = delete;
  ~ReadingExport();

  // Starts reading page from the top, or from the start of `from` (a range of page) when given.
  // The end comes later, through the UI loop.
  void Start(platform::DocumentPtr page, platform::TxtRangePtr from);
  // Stops at once; neither file is left.
  void Cancel();

  ExportState State() const { return state_; }
  // Why a failed export failed, for people.
  const std::string& Error() const { return error_; }
  // How much of the text to read has been read: 0 to 1.
  double Done() const;
  // Told after the progress moved and when the export ended.
  std::function<void()> OnChange;

 private:
  class Reader;
  void PieceEnded();
  void Finish();
  void End(ExportState state, std::string error = {});

  platform::UiLoop& loop_;
  std::string audioPath_;
  std::unique_ptr<platform::AudioRecorder> recorder_;
  narration::CaptionWriter captions_;
  std::unique_ptr<Reader> reader_;  // goes before the recorder: its voice writes into it
  ExportState state_ = ExportState::Running;
  std::string error_;
  size_t totalUnits_ = 0;  // UTF-16 units of the page's text from the start of the reading
  size_t doneUnits_ = 0;   // of the pieces read completely
  size_t pieceUnits_ = 0;  // of the piece being read
  double pieceDone_ = 0;   // of the piece being read, 0 to 1
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Where an export of page starts: at the piece the narration is reading or holds paused in that
// page (the element the user picked, while it is read), as a range of its own; Nothing (the top)
// otherwise.
platform::TxtRangePtr ReadingStartIn(const narration::Narration& main, const platform::DocumentPtr& page);

// The captions' file beside an audio file: its name with .vtt for the extension.
std::string CaptionsPathOf(const std::string& audioPath);
// True for a name ending in .wav, .ogg or .opus (any case).
bool IsAudioFileName(const std::string& path);

}  // namespace lectryn::windows::savereading
