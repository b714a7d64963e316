#pragma once
// "Save Reading As...": asks for an audio file, then reads the page into it and its captions
// without playing anything, showing how much of the page is done. Cancel, or closing the window,
// leaves neither file; a failure is said in a message box.
#include <functional>
#include <memory>
#include <string>

#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "platform/Platform.h"
#include "windows/savereading/ReadingExport.h"

namespace lectryn::windows::savereading {

inline constexpr char16_t kSaveReadingTitle[] = u"Save Reading As";
// What the file chooser offers; the captions' name is said there too.
inline constexpr char16_t kAudioKinds[] =
    u"Audio, with its captions beside it as NAME.vtt (*.wav *.ogg *.opus)";

class frmSaveReading : public forms::Form {
 public:
  explicit frmSaveReading(platform::Platform& platform);

  forms::Label lblFiles;
  forms::Label lblProgress;
  forms::CommandButton cmdCancel;

  // Asks for the file and starts reading page into it, from the top or from the start of `from`,
  // showing this window. False when the user did not give a usable name or the export could not
  // start (said in a message box); the window is not shown then.
  bool SaveReadingAs(platform::DocumentPtr page, platform::TxtRangePtr from);
  void cmdCancel_Click();
  void Form_Unload(int16_t& Cancel);

  // Null until an export has started.
  const ReadingExport* Export() const { return export_.get(); }

 private:
  void Layout();
  void ExportChanged();

  platform::Platform& platform_;
  std::string audioPath_;
  std::unique_ptr<ReadingExport> export_;
  int lastPercent_ = -1;
};

}  // namespace lectryn::windows::savereading
