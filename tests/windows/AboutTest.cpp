#include "windows/about/frmAbout.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "engine/load/EngineBrowserObjects.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimApp.h"
#include "sim/SimDialogs.h"
#include "sim/SimPictures.h"
#include "sim/SimShell.h"
#include "sim/SimUiLoop.h"
#include "sim/SimWindowSystem.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"

namespace lectryn::windows::about {
namespace {

using platform::HKEY_LOCAL_MACHINE;

const char16_t kUnavailable[] = u"System Information Is Unavailable At This Time";
const std::string kFolder = "/opt/msinfo";
const std::string kFolderProgram = kFolder + "/MSINFO32.EXE";

class AboutBox : public ::testing::Test {
 protected:
  AboutBox() {
    site_.host = "lectryn.corvath.example";
    app_.SetTitle(u"Lectryn Reader");
    form_ = std::make_unique<frmAbout>(platform_, site_);
    form_->Show();
  }

  // Stores bytes as they are: a text value's terminator is the caller's to add.
  void SetMachineValue(const std::string& key, const std::string& name, platform::DWORD type,
                       const std::string& bytes) {
    system::RegistryStore admin(temp_ / "user", temp_ / "machine", system::MachineHive::Writable);
    platform::HKEY handle = 0;
    ASSERT_EQ(0,
              admin.RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, 0x3F, nullptr, handle, nullptr));
    ASSERT_EQ(0, admin.RegSetValueExA(handle, name, 0, type, reinterpret_cast<const uint8_t*>(bytes.data()),
                                      static_cast<platform::DWORD>(bytes.size())));
    admin.RegCloseKey(handle);
  }
  void ExpectUnavailableMessage() {
    ASSERT_EQ(1u, dialogs_.Calls().size());
    EXPECT_EQ(kUnavailable, dialogs_.Calls()[0].text);
    EXPECT_EQ(platform::vbOKOnly, dialogs_.Calls()[0].buttons);
    EXPECT_EQ(u"Lectryn Reader", dialogs_.Calls()[0].title);
  }

  testing::TempFolder temp_;
  sim::SimUiLoop loop_;
  sim::ScriptedVoiceFactory voices_{loop_};
  engine::EngineBrowserObjects browsers_{loop_};
  sim::SimWindowSystem windows_{loop_};
  system::RegistryStore registry_{temp_ / "user", temp_ / "machine", system::MachineHive::Writable};
  sim::SimShell shell_;
  sim::SimDialogs dialogs_{loop_};
  sim::SimPictures pictures_;
  sim::SimApp app_;
  platform::Platform platform_{loop_,  voices_,  browsers_, windows_, registry_,
                               shell_, dialogs_, pictures_, app_};
  MakerSite site_;
  std::unique_ptr<frmAbout> form_;
};

struct Launch {
  const char* name;
  std::optional<std::string> path;    // the "PATH" value's bytes
  std::optional<std::string> folder;  // the "MSINFO" value's bytes
  bool programInFolder;
  std::string started;  // empty: the message instead
};

class SysInfoLauncher : public AboutBox, public ::testing::WithParamInterface<Launch> {};

TEST_P(SysInfoLauncher, StartsWhatTheRegistryNamesOrSaysItCannot) {
  const Launch& launch = GetParam();
  if (launch.path) SetMachineValue(kSysInfoKey, "PATH", platform::REG_SZ, *launch.path);
  if (launch.folder) SetMachineValue(kSysInfoLocationKey, "MSINFO", platform::REG_SZ, *launch.folder);
  if (launch.programInFolder) shell_.AddFile(kFolderProgram);
  if (!launch.started.empty()) shell_.AddFile(launch.started);

  form_->cmdSysInfo.Click();

  EXPECT_TRUE(form_->Loaded());
  if (launch.started.empty()) {
    ExpectUnavailableMessage();
    return;
  }
  EXPECT_TRUE(dialogs_.Calls().empty());
  ASSERT_FALSE(shell_.Started().empty());
  EXPECT_EQ(launch.started, shell_.Started().back().commandLine);
  EXPECT_EQ(platform::SW_SHOWNORMAL, shell_.Started().back().showCommand);
}

const std::string kLongest(1023, 'p');  // with its terminator exactly 1024 bytes

INSTANTIATE_TEST_SUITE_P(
    Registry, SysInfoLauncher,
    ::testing::Values(Launch{"PathNamesProgram", "/usr/bin/sysinfo" + std::string(1, '\0'), std::nullopt,
                             false, "/usr/bin/sysinfo"},
                      Launch{"PathWinsOverFolder", "/usr/bin/sysinfo" + std::string(1, '\0'), kFolder + '\0',
                             true, "/usr/bin/sysinfo"},
                      Launch{"PathWithoutTerminator", std::string("/usr/bin/sysinfo"), std::nullopt, false,
                             "/usr/bin/sysinfo"},
                      Launch{"FolderHoldsProgram", std::nullopt, kFolder + '\0', true, kFolderProgram},
                      Launch{"FolderWithoutProgram", std::nullopt, kFolder + '\0', false, ""},
                      Launch{"Neither", std::nullopt, std::nullopt, false, ""},
                      Launch{"PathOf1024Bytes", kLongest + '\0', std::nullopt, false, kLongest},
                      Launch{"PathOver1024BytesTriesFolder", kLongest + "q" + '\0', kFolder + '\0', true,
                             kFolderProgram},
                      Launch{"EmptyPathGivesUpAtOnce", std::string(), kFolder + '\0', true, ""}),
    [](const ::testing::TestParamInfo<Launch>& info) { return std::string(info.param.name); });

TEST_F(AboutBox, ProgramThatWillNotStartGivesTheMessage) {
  SetMachineValue(kSysInfoKey, "PATH", platform::REG_SZ, std::string("/gone/sysinfo") + '\0');
  form_->cmdSysInfo.Click();
  ExpectUnavailableMessage();
  EXPECT_TRUE(form_->Loaded());
}

// The keys are opened with set-value rights: a key that refuses them cannot be read at all.
TEST_F(AboutBox, KeyRefusingWriteRightsCannotBeRead) {
  SetMachineValue(kSysInfoKey, "PATH", platform::REG_SZ, std::string("/usr/bin/sysinfo") + '\0');
  system::RegistryStore admin(temp_ / "user", temp_ / "machine", system::MachineHive::Writable);
  ASSERT_EQ(0, admin.SetDeniedAccess(HKEY_LOCAL_MACHINE, kSysInfoKey, platform::KEY_SET_VALUE));
  shell_.AddFile("/usr/bin/sysinfo");
  std::string value = "stale";
  EXPECT_FALSE(form_->GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, "PATH", value));
  EXPECT_EQ("", value);
  form_->cmdSysInfo.Click();
  ExpectUnavailableMessage();
  EXPECT_TRUE(shell_.Started().empty());
}

// The machine's places are the administrator's; what the program recorded for the user comes after them.
TEST_F(AboutBox, StartsTheProgramRecordedForTheUserWhenTheMachineNamesNone) {
  const std::string recorded = "/usr/bin/gnome-control-center info-overview";
  shell_.AddFile("/usr/bin/gnome-control-center");
  ASSERT_EQ(settings::Recorded::Yes, settings::RecordSysInfoCommand(registry_, recorded));
  form_->cmdSysInfo.Click();
  EXPECT_TRUE(dialogs_.Calls().empty());
  ASSERT_EQ(1u, shell_.Started().size());
  EXPECT_EQ(recorded, shell_.Started().back().commandLine);

  SetMachineValue(kSysInfoLocationKey, "MSINFO", platform::REG_SZ, kFolder + '\0');
  shell_.AddFile(kFolderProgram);
  form_->cmdSysInfo.Click();
  EXPECT_EQ(kFolderProgram, shell_.Started().back().commandLine) << "the machine's folder first";
}

TEST_F(AboutBox, ShowsVersionPictureAndSiteAndClosesByEnterOrEscape) {
  app_.SetVersion(2, 10, 3);
  pictures_.AddPicture(std::string(sim::kSimAppPath) + "/Banner.jpg", 449, 120);
  for (forms::Shortcut key : {forms::Shortcut{forms::vbKeyReturn}, forms::Shortcut{forms::vbKeyEscape}}) {
    frmAbout form(platform_, site_);
    form.SetHWnd(31);
    form.Show();
    EXPECT_EQ(u"Version 2.10.3", form.lblVersion.Caption());
    EXPECT_EQ(u"Lectryn will read web pages from your web browser and highlight the words as they are read.",
              form.Label3.Caption());
    EXPECT_EQ(std::string(sim::kSimAppPath) + "/Banner.jpg", sim::PicturePath(form.Picture()));
    EXPECT_EQ(u"http://lectryn.corvath.example/lectryn", form.lblTitle.ToolTipText());
    form.lblTitle.Click();
    const sim::ShellExecuteCall& call = shell_.Executed().back();
    EXPECT_EQ(31, call.owner);
    EXPECT_EQ("open", call.operation);
    EXPECT_EQ("lectryn.corvath.example/lectryn", call.file);
    EXPECT_EQ(platform::SW_SHOWNORMAL, call.showCommand);
    EXPECT_TRUE(form.PressKey(key));
    EXPECT_FALSE(form.Loaded());
  }
}

}  // namespace
}  // namespace lectryn::windows::about
