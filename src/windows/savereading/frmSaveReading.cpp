#include "windows/savereading/frmSaveReading.h"

#include <cmath>
#include <filesystem>

#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::windows::savereading {
namespace {

std::u16string FileName(const std::string& path) {
  return platform::FromUtf8(std::filesystem::path(path).filename().string());
}

}  // namespace

frmSaveReading::frmSaveReading(platform::Platform& platform)
    : Form("frmSaveReading", kSaveReadingTitle),
      lblFiles("lblFiles", u""),
      lblProgress("lblProgress", u""),
      cmdCancel("cmdCancel", u"Cancel"),
      platform_(platform) {
  Layout();
  cmdCancel.OnClick = [this] { cmdCancel_Click(); };
  Form::Form_Unload = [this](int16_t& cancel) { Form_Unload(cancel); };
}

void frmSaveReading::Layout() {
  SetClientSize(5400, 1560);
  SetTitleButtons(false, false);
  lblFiles.SetPosition({120, 120, 5160, 480});
  lblProgress.SetPosition({120, 660, 5160, 240});
  cmdCancel.SetPosition({4080, 1080, 1200, 345});
  cmdCancel.SetCancel(true);
  int32_t tabIndex = 0;
  for (forms::Control* control :
       std::initializer_list<forms::Control*>{&cmdCancel, &lblFiles, &lblProgress}) {
    control->SetTabIndex(tabIndex++);
    Register(*control);
  }
}

bool frmSaveReading::SaveReadingAs(platform::DocumentPtr page, platform::TxtRangePtr from) {
  std::optional<std::u16string> answer = platform_.dialogs.SaveFileName(kSaveReadingTitle, kAudioKinds);
  if (!answer) return false;
  audioPath_ = platform::ToUtf8(platform::TrimAsciiSpace(*answer));
  if (audioPath_.empty()) return false;
  auto refuse = [&](const std::string& why) {
    platform_.dialogs.MsgBox(platform::FromUtf8("cannot save the reading as " + audioPath_ + ": " + why),
                             platform::vbOKOnly, kSaveReadingTitle);
    return false;
  };
  if (!IsAudioFileName(audioPath_)) return refuse("the name must end in .wav, .ogg or .opus");
  try {
    export_ = std::make_unique<ReadingExport>(platform_.voices, platform_.loop, audioPath_);
  } catch (const platform::Failure& failure) {
    return refuse(failure.what());
  }
  lblFiles.SetCaption(u"Reading the page into " + FileName(audioPath_) + u" and " +
                      FileName(CaptionsPathOf(audioPath_)) + u".");
  export_->OnChange = [this] { ExportChanged(); };
  ExportChanged();
  Show();
  export_->Start(std::move(page), std::move(from));
  return true;
}

void frmSaveReading::ExportChanged() {
  switch (export_->State()) {
    case ExportState::Running: {
      int percent = static_cast<int>(std::floor(export_->Done() * 100));
      if (percent == lastPercent_) return;
      lastPercent_ = percent;
      lblProgress.SetCaption(platform::FromUtf8(std::to_string(percent) + "% done"));
      return;
    }
    case ExportState::Failed:
      Unload();
      platform_.dialogs.MsgBox(
          platform::FromUtf8("cannot save the reading as " + audioPath_ + ": " + export_->Error()),
          platform::vbOKOnly, kSaveReadingTitle);
      return;
    case ExportState::Finished:
    case ExportState::Cancelled:
      Unload();
      return;
  }
}

void frmSaveReading::cmdCancel_Click() {
  Unload();
}

// Closing the window while it reads cancels the export.
void frmSaveReading::Form_Unload(int16_t& /*Cancel*/) {
  if (export_) export_->Cancel();
}

}  // namespace lectryn::windows::savereading
