#include "windows/about/frmAbout.h"

#include <algorithm>
#include <vector>

#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::windows::about {
namespace {

constexpr uint32_t kBlue = platform::RGB(0, 0, 255);
constexpr uint32_t kWhite = platform::RGB(255, 255, 255);

std::u16string VersionText(const platform::App& app) {
  return platform::FromUtf8(std::to_string(app.Major()) + "." + std::to_string(app.Minor()) + "." +
                            std::to_string(app.Revision()));
}

}  // namespace

frmAbout::frmAbout(platform::Platform& platform, const MakerSite& site)
    : Form("frmAbout", u"About Lectryn"),
      Frame1("Frame1", u""),
      lblTitle("lblTitle", u"Lectryn"),
      lblVersion("lblVersion", u"version"),
      Label3("Label3",
             u"Lectryn will read web pages from your web browser and highlight the words as they are read."),
      Line1("Line1", 120, 5280, 6480, 5280, kWhite),
      cmdOK("cmdOK", u"OK"),
      cmdSysInfo("cmdSysInfo", u"&System Info..."),
      platform_(platform),
      site_(site) {
  Layout();
  Form::Form_Load = [this] { Form_Load(); };
  cmdOK.OnClick = [this] { cmdOK_Click(); };
  cmdSysInfo.OnClick = [this] { cmdSysInfo_Click(); };
  lblTitle.OnClick = [this] { lblTitle_Click(); };
}

// The labels' places are relative to Frame1.
void frmAbout::Layout() {
  SetClientSize(6732, 6852);
  SetStartUpPosition(forms::StartUpPosition::CenterOwner);
  SetTitleButtons(false, false);
  Frame1.SetPosition({120, 1800, 6372, 1932});
  lblTitle.SetPosition({120, 240, 1452, 360});
  lblVersion.SetPosition({120, 720, 2328, 228});
  Label3.SetPosition({120, 1320, 6132, 492});
  cmdOK.SetPosition({5280, 5400, 1260, 345});
  cmdSysInfo.SetPosition({5280, 5880, 1245, 345});
  lblTitle.SetForeColor(kBlue);
  lblTitle.SetFont({u"MS Sans Serif", 8.25, false, true});
  lblTitle.SetToolTipText(platform::FromUtf8("http://" + site_.host + "/lectryn"));
  cmdOK.SetDefault(true);
  cmdOK.SetCancel(true);
  int32_t tabIndex = 0;
  for (forms::Control* control : std::initializer_list<forms::Control*>{
           &cmdOK, &cmdSysInfo, &Frame1, &lblTitle, &lblVersion, &Label3, &Line1}) {
    control->SetTabIndex(tabIndex++);
    Register(*control);
  }
}

void frmAbout::Form_Load() {
  lblVersion.SetCaption(u"Version " + VersionText(platform_.app));
  // Without its picture the box simply has no background.
  platform::Tolerate(
      [&] { SetPicture(platform_.pictures.LoadPicture(platform_.app.Path() + "/Banner.jpg")); });
  SetTopMost(true);
  platform_.windows.SetWindowPos(hWnd(), platform::HWND_TOPMOST, 0, 0, 0, 0,
                                 platform::SWP_NOMOVE | platform::SWP_NOSIZE);
}

void frmAbout::cmdOK_Click() {
  Unload();
}

void frmAbout::cmdSysInfo_Click() {
  StartSysInfo();
}

// Handed to the shell without a scheme; the shell takes a leading host name for a web address.
void frmAbout::lblTitle_Click() {
  platform_.shell.ShellExecuteA(hWnd(), "open", site_.host + "/lectryn", "", "", platform::SW_SHOWNORMAL);
}

// Any failure on the way, a program that will not start included, ends in the one message.
void frmAbout::StartSysInfo() {
  bool started = false;
  platform::Tolerate([&] { started = TryStartSysInfo(); });
  if (!started) {
    platform_.dialogs.MsgBox(u"System Information Is Unavailable At This Time", platform::vbOKOnly,
                             platform_.app.Title());
  }
}

bool frmAbout::TryStartSysInfo() {
  std::string path;
  if (GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, path)) {
    platform_.shell.StartProgram(path, platform::SW_SHOWNORMAL);
    return true;
  }
  if (GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue, path)) {
    std::string program = path + "/" + kSysInfoProgram;
    if (platform_.shell.FileExists(program)) {
      platform_.shell.StartProgram(program, platform::SW_SHOWNORMAL);
      return true;
    }
  }
  // The machine's places are the administrator's and read-only to us: what the program found on this
  // machine it records for the user.
  if (GetKeyValue(platform::HKEY_CURRENT_USER, kSysInfoKey, kSysInfoValue, path)) {
    platform_.shell.StartProgram(path, platform::SW_SHOWNORMAL);
    return true;
  }
  return false;
}

bool frmAbout::GetKeyValue(platform::HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::string& KeyVal) {
  platform::Registry& registry = platform_.registry;
  platform::HKEY handle = 0;
  // The handle is closed on every way out, a failed open and a thrown failure included.
  struct Closer {
    platform::Registry& registry;
    platform::HKEY& handle;
    ~Closer() { registry.RegCloseKey(handle); }
  } closer{registry, handle};

  KeyVal.clear();
  if (registry.RegOpenKeyExA(KeyRoot, KeyName, 0, kSysInfoAccess, handle) != platform::ERROR_SUCCESS) {
    return false;
  }
  std::vector<uint8_t> buffer(kMaxKeyValueBytes, 0);
  platform::DWORD type = 0;
  platform::DWORD dataSize = kMaxKeyValueBytes;
  if (registry.RegQueryValueExA(handle, SubKeyRef, nullptr, &type, buffer.data(), &dataSize) !=
      platform::ERROR_SUCCESS) {
    return false;
  }
  if (dataSize == 0) throw platform::Failure("registry value " + SubKeyRef + " holds no data");
  std::string text(buffer.begin(), buffer.begin() + std::min(dataSize, kMaxKeyValueBytes));
  if (text.back() == '\0') text.pop_back();
  if (type == platform::REG_SZ) KeyVal = text;
  return true;
}

}  // namespace lectryn::windows::about
