#pragma once
// The about box: name, description and version of the program, a link to the maker's site and a
// launcher for the system-information tool that the machine's registry names.
#include <string>

#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "platform/Platform.h"
#include "settings/SystemInformation.h"
#include "windows/MakerSite.h"

namespace lectryn::windows::about {

// Where the system-information tool is found, under HKEY_LOCAL_MACHINE; then where the program
// records it for the user (settings/SystemInformation.h).
using settings::kSysInfoKey;
using settings::kSysInfoLocationKey;
using settings::kSysInfoLocationValue;
using settings::kSysInfoValue;
inline constexpr char kSysInfoProgram[] = "MSINFO32.EXE";
// Read control with query, set value, create sub-key, enumerate, notify and create link.
inline constexpr platform::REGSAM kSysInfoAccess = 0x2003F;
// Longest value read, in bytes, terminator included.
inline constexpr platform::DWORD kMaxKeyValueBytes = 1024;

class frmAbout : public forms::Form {
 public:
  frmAbout(platform::Platform& platform, const MakerSite& site);

  forms::Frame Frame1;
  forms::Label lblTitle;
  forms::Label lblVersion;
  forms::Label Label3;
  forms::Line Line1;
  forms::CommandButton cmdOK;
  forms::CommandButton cmdSysInfo;

  void Form_Load();
  void cmdOK_Click();
  void cmdSysInfo_Click();
  void lblTitle_Click();
  void StartSysInfo();
  // True when the text value was read into KeyVal; false (KeyVal empty) when the key or value
  // cannot be read. A value of no bytes at all throws Failure. A value of another type than text
  // reads as the empty text.
  bool GetKeyValue(platform::HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                   std::string& KeyVal);

 private:
  void Layout();
  // False when no place names a program that exists.
  bool TryStartSysInfo();

  platform::Platform& platform_;
  MakerSite site_;
};

}  // namespace lectryn::windows::about
