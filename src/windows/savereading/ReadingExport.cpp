#include "windows/savereading/ReadingExport.h"

#include <algorithm>
#include <filesystem>

#include "forms/CheckBox.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::windows::savereading {

// The narration with the word highlighter left out: words go to the captions instead of the page.
class ReadingExport::Reader : public narration::Narration {
 public:
  Reader(ReadingExport& owner) : Narration(*owner.recorder_), owner_(owner) {}

  void pVoice_Word(int32_t /*StreamNumber*/, int64_t StreamPosition, int32_t CharacterPosition,
                   int32_t Length) override {
    OpenPiece();
    owner_.captions_.Word(CharacterPosition, Length, StreamPosition);
    auto size = static_cast<double>(std::max<size_t>(tbSpeach.Text().size(), 1));
    owner_.pieceDone_ = std::clamp((CharacterPosition + Length) / size, 0.0, 1.0);
    if (owner_.OnChange) owner_.OnChange();
  }

  void pVoice_EndStream(int32_t StreamNumber, int64_t StreamPosition) override {
    OpenPiece();
    owner_.captions_.EndText(StreamPosition);
    pieceOpen_ = false;
    owner_.doneUnits_ += owner_.pieceUnits_;
    owner_.pieceUnits_ = 0;
    owner_.pieceDone_ = 0;
    // The voice has ended this text: the recording says where the next one begins.
    pieceStartMs_ = owner_.recorder_->RecordedMs();
    Narration::pVoice_EndStream(StreamNumber, StreamPosition);  // takes the next piece
    if (!Reading()) owner_.PieceEnded();
  }

  std::optional<std::string> voiceFailure;

 private:
  // The first event of a piece: its text and its place in the recording go to the captions.
  void OpenPiece() {
    if (pieceOpen_) return;
    pieceOpen_ = true;
    owner_.captions_.StartText(tbSpeach.Text(), pieceStartMs_);
    platform::Tolerate([&] { owner_.pieceUnits_ = platform::Present(rng, "text range")->text().size(); });
  }

  ReadingExport& owner_;
  bool pieceOpen_ = false;
  int64_t pieceStartMs_ = 0;
};

ReadingExport::ReadingExport(platform::VoiceFactory& voices, platform::UiLoop& loop, std::string audioPath)
    : loop_(loop), audioPath_(std::move(audioPath)), recorder_(voices.CreateRecorder(audioPath_)) {
  reader_ = std::make_unique<Reader>(*this);
  reader_->OnVoiceFailure = [this](const std::string& message) { reader_->voiceFailure = message; };
}

ReadingExport::~ReadingExport() {
  reader_.reset();  // its voice goes before the recorder it writes into
}

void ReadingExport::Start(platform::DocumentPtr page, platform::TxtRangePtr from) {
  platform::Tolerate([&] {
    platform::TxtRangePtr rest =
        platform::Present(platform::Present(page, "document")->body(), "body")->createTextRange();
    if (from) rest->setEndPoint(u"StartToStart", *from);
    totalUnits_ = rest->text().size();
  });
  try {
    if (from) {
      reader_->workingDoc = page;
      reader_->cbContinue.SetValue(forms::vbChecked);
      reader_->rng = from->duplicate();
      reader_->SayRange();
    } else {
      reader_->SayFromTop(page);
    }
  } catch (const platform::Failure& failure) {
    End(ExportState::Failed, std::string("cannot read the page: ") + failure.what());
    return;
  }
  if (!reader_->Reading()) PieceEnded();
}

// The reading stopped: the files are completed from the UI loop, outside the voice's event.
void ReadingExport::PieceEnded() {
  loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.lock()) Finish();
  });
}

void ReadingExport::Finish() {
  if (state_ != ExportState::Running) return;
  reader_->pVoice = nullptr;
  if (reader_->voiceFailure) return End(ExportState::Failed, *reader_->voiceFailure);
  narration::ChainEnd end = reader_->LastChainEnd();
  if (end == narration::ChainEnd::PageGone || end == narration::ChainEnd::NoDocument)
    return End(ExportState::Failed, "the page changed or went away while it was being read");
  if (captions_.Cues().empty() && recorder_->RecordedMs() == 0)
    return End(ExportState::Failed, "there is nothing to read in the page");
  try {
    recorder_->Commit();
  } catch (const platform::Failure& failure) {
    return End(ExportState::Failed, failure.what());
  }
  if (std::optional<std::string> failed =
          narration::WriteCaptions(CaptionsPathOf(audioPath_), captions_.Cues())) {
    // Audio without its captions is half an export: neither stays.
    std::error_code ignored;
    std::filesystem::remove(audioPath_, ignored);
    return End(ExportState::Failed, *failed);
  }
  End(ExportState::Finished);
}

void ReadingExport::Cancel() {
  if (state_ != ExportState::Running) return;
  reader_->pVoice = nullptr;
  End(ExportState::Cancelled);
}

void ReadingExport::End(ExportState state, std::string error) {
  state_ = state;
  error_ = std::move(error);
  reader_->pVoice = nullptr;
  if (state != ExportState::Finished) recorder_.reset();  // an uncommitted recording leaves nothing
  if (OnChange) OnChange();
}

double ReadingExport::Done() const {
  if (state_ == ExportState::Finished) return 1;
  if (totalUnits_ == 0) return 0;
  double done = static_cast<double>(doneUnits_) + static_cast<double>(pieceUnits_) * pieceDone_;
  return std::clamp(done / static_cast<double>(totalUnits_), 0.0, 1.0);
}

platform::TxtRangePtr ReadingStartIn(const narration::Narration& main, const platform::DocumentPtr& page) {
  platform::TxtRangePtr start;
  if (page && main.workingDoc == page && main.rng && main.Reading())
    platform::Tolerate([&] { start = main.rng->duplicate(); });
  return start;
}

std::string CaptionsPathOf(const std::string& audioPath) {
  return std::filesystem::path(audioPath).replace_extension(".vtt").string();
}

bool IsAudioFileName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  return std::ranges::any_of(
      std::initializer_list<std::string_view>{".wav", ".ogg", ".opus"},
      [&](std::string_view audio) { return platform::EqualsIgnoringAsciiCase(extension, audio); });
}

}  // namespace lectryn::windows::savereading
