#include "windows/updates/frmUpdates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "engine/load/EngineBrowserObjects.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimApp.h"
#include "sim/SimDialogs.h"
#include "sim/SimPictures.h"
#include "sim/SimShell.h"
#include "sim/SimUiLoop.h"
#include "sim/SimWindowSystem.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"
#include "windows/LocalHttpServer.h"

namespace lectryn::windows::updates {
namespace {

using platform::vbNo;
using platform::vbOKOnly;
using platform::vbYes;

const char16_t kNoContact[] =
    u"Could not contact the corvath web site. Please ensure you are connected to the internet.";
constexpr uint32_t kRed = platform::RGB(255, 0, 0);

std::string VersionPage(const std::string& versionMarkup) {
  return "<!DOCTYPE html><html><body><p>Latest: " + versionMarkup + "</p></body></html>";
}

// Counts how the window asks for its page: a new navigation or a reload.
class CountingControl : public platform::WebBrowser {
 public:
  explicit CountingControl(std::shared_ptr<platform::WebBrowser> inner) : inner_(std::move(inner)) {}
  void Navigate(const std::u16string& address) override {
    ++navigations;
    inner_->Navigate(address);
  }
  void Refresh() override {
    ++refreshes;
    inner_->Refresh();
  }
  std::u16string LocationURL() override { return inner_->LocationURL(); }
  int32_t ReadyState() override { return inner_->ReadyState(); }
  platform::DocumentPtr Document() override { return inner_->Document(); }
  int navigations = 0;
  int refreshes = 0;

 private:
  std::shared_ptr<platform::WebBrowser> inner_;
};

class CountingBrowsers : public platform::BrowserObjects {
 public:
  explicit CountingBrowsers(platform::UiLoop& loop) : engine_(loop) {}
  std::shared_ptr<platform::BrowserApplication> CreateApplication() override {
    return engine_.CreateApplication();
  }
  std::shared_ptr<platform::WebBrowser> CreateControl() override {
    last = std::make_shared<CountingControl>(engine_.CreateControl());
    return last;
  }
  std::shared_ptr<CountingControl> last;

 private:
  engine::EngineBrowserObjects engine_;
};

class UpdateCheck : public ::testing::Test {
 protected:
  UpdateCheck() {
    server_.SetPage(VersionPage("<span id=\"ver\">1.0.0</span>"));
    pictures_.AddPicture(std::string(sim::kSimAppPath) + "/Banner.jpg", 457, 271);
  }

  frmUpdates& Open(const std::string& host) {
    site_.host = host;
    form_ = std::make_unique<frmUpdates>(platform_, site_);
    form_->ver = u"1.0.0";
    form_->Show();
    return *form_;
  }
  // The server answers in real time; the window's timer runs on the virtual clock. Waits (at most
  // five real seconds) until the page is in, then lets the timer tick once.
  void CheckAndWait() {
    form_->cbCheckForUpdate.Click();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (form_->WebBrowser1->ReadyState() < 3 && std::chrono::steady_clock::now() < deadline) {
      loop_.DoEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(form_->WebBrowser1->ReadyState(), 3) << "the local server did not answer";
    loop_.AdvanceBy(kPollIntervalMs);
  }

  testing::LocalHttpServer server_;
  testing::TempFolder temp_;
  sim::SimUiLoop loop_;
  sim::ScriptedVoiceFactory voices_{loop_};
  CountingBrowsers browsers_{loop_};
  sim::SimWindowSystem windows_{loop_};
  system::RegistryStore registry_{temp_ / "user", temp_ / "machine"};
  sim::SimShell shell_;
  sim::SimDialogs dialogs_{loop_};
  sim::SimPictures pictures_;
  sim::SimApp app_;
  platform::Platform platform_{loop_,  voices_,  browsers_, windows_, registry_,
                               shell_, dialogs_, pictures_, app_};
  MakerSite site_;
  std::unique_ptr<frmUpdates> form_;
};

struct Outcome {
  const char* name;
  const char* page;        // nullptr: no server at all
  const char16_t* result;  // nullptr: the message box instead of a result
  bool newer;
};

class UpdateOutcome : public UpdateCheck, public ::testing::WithParamInterface<Outcome> {};

TEST_P(UpdateOutcome, ResultLabelDownloadButtonAndMessage) {
  const Outcome& outcome = GetParam();
  if (outcome.page) server_.SetPage(outcome.page);
  frmUpdates& form = Open(outcome.page ? server_.Host() : testing::LocalHttpServer::UnusedHost());
  CheckAndWait();
  if (outcome.result == nullptr) {
    ASSERT_EQ(1u, dialogs_.Calls().size());
    EXPECT_EQ(kNoContact, dialogs_.Calls()[0].text);
    EXPECT_EQ(vbOKOnly, dialogs_.Calls()[0].buttons);
    EXPECT_EQ(u"Conntecting " + platform::FromUtf8(site_.host), dialogs_.Calls()[0].title);
    EXPECT_FALSE(form.lbResult.Visible());
    EXPECT_FALSE(form.cbDownload.Enabled());
    return;
  }
  EXPECT_TRUE(dialogs_.Calls().empty());
  EXPECT_TRUE(form.lbResult.Visible());
  EXPECT_EQ(outcome.result, form.lbResult.Caption());
  EXPECT_EQ(outcome.newer ? kRed : forms::kBlack, form.lbResult.ForeColor());
  EXPECT_EQ(outcome.newer, form.cbDownload.Enabled());
  EXPECT_FALSE(form.Timer1.Running());
}

constexpr char16_t kNewer[] = u"A newer version of Lectryn is available.";
constexpr char16_t kUpToDate[] = u"Your version of Lectryn is up-to-date.";

INSTANTIATE_TEST_SUITE_P(Pages, UpdateOutcome,
                         ::testing::Values(Outcome{"Same", "<p id=ver>1.0.0</p>", kUpToDate, false},
                                           Outcome{"NewerRevision", "<p id=ver>1.0.1</p>", kNewer, true},
                                           Outcome{"Older", "<p id=ver>0.9.9</p>", kNewer, true},
                                           Outcome{"TrailingBlank", "<pre id=ver>1.0.0 </pre>", kNewer, true},
                                           Outcome{"OtherCase", "<p id=VER>1.0.0</p>", nullptr, false},
                                           Outcome{"NoElement", "<p>1.0.0</p>", nullptr, false},
                                           Outcome{"NoServer", nullptr, nullptr, false}),
                         [](const ::testing::TestParamInfo<Outcome>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(UpdateCheck, ServerThatNeverAnswersGivesUpAfterTenPointOneSeconds) {
  server_.SetSilent(true);
  frmUpdates& form = Open(server_.Host());
  form.cbCheckForUpdate.Click();
  EXPECT_EQ(u"Checking.", form.lbResult.Caption());
  loop_.AdvanceBy(10000);
  EXPECT_TRUE(dialogs_.Calls().empty());
  EXPECT_TRUE(form.lbResult.Visible());
  EXPECT_EQ(u"Contacting " + platform::FromUtf8(server_.Host()) + u"...", form.lbResult.Caption());
  loop_.AdvanceBy(100);
  ASSERT_EQ(1u, dialogs_.Calls().size());
  EXPECT_EQ(10100, dialogs_.Calls()[0].atMs);
  EXPECT_EQ(kNoContact, dialogs_.Calls()[0].text);
  EXPECT_FALSE(form.Timer1.Running());
  loop_.AdvanceBy(1000);
  EXPECT_EQ(1u, dialogs_.Calls().size());
}

TEST_F(UpdateCheck, SecondCheckReloadsThePageAndJudgesTheNewContent) {
  server_.SetPage(VersionPage("<b id=ver>1.0.1</b>"));
  frmUpdates& form = Open(server_.Host());
  CheckAndWait();
  EXPECT_TRUE(form.cbDownload.Enabled());
  server_.SetPage(VersionPage("<b id=ver>1.0.0</b>"));
  CheckAndWait();
  EXPECT_EQ(1, browsers_.last->navigations);
  EXPECT_EQ(1, browsers_.last->refreshes);
  EXPECT_EQ(2, server_.Requests());
  EXPECT_EQ(kUpToDate, form.lbResult.Caption());
  EXPECT_FALSE(form.cbDownload.Enabled());
}

TEST_F(UpdateCheck, ClosingDuringACheckEndsIt) {
  server_.SetSilent(true);
  frmUpdates& form = Open(server_.Host());
  form.cbCheckForUpdate.Click();
  loop_.AdvanceBy(500);
  form.cbClose.Click();
  EXPECT_FALSE(form.Loaded());
  loop_.AdvanceBy(20000);
  EXPECT_TRUE(dialogs_.Calls().empty());
  EXPECT_EQ(0u, loop_.ActiveTimers());
  EXPECT_TRUE(form.delayedCommand.empty());
}

TEST_F(UpdateCheck, ConfirmedDownloadOpensThePageClosesAndAsksToExit) {
  server_.SetPage(VersionPage("<b id=ver>1.1.0</b>"));
  frmUpdates& form = Open(server_.Host());
  EXPECT_EQ(std::string(sim::kSimAppPath) + "/Banner.jpg", sim::PicturePath(form.Picture()));
  form.SetHWnd(77);
  CheckAndWait();
  dialogs_.QueueAnswer(vbNo);
  form.cbDownload.Click();
  EXPECT_TRUE(form.Loaded());
  EXPECT_TRUE(shell_.Executed().empty());
  EXPECT_TRUE(form.delayedCommand.empty());

  dialogs_.QueueAnswer(vbYes);
  form.cbDownload.Click();
  ASSERT_EQ(2u, dialogs_.Calls().size());
  EXPECT_EQ(u"Close Lectryn and download latest version?", dialogs_.Calls()[1].text);
  EXPECT_EQ(u"Upgrade Lectryn", dialogs_.Calls()[1].title);
  EXPECT_EQ(platform::vbYesNo, dialogs_.Calls()[1].buttons);
  ASSERT_EQ(1u, shell_.Executed().size());
  const sim::ShellExecuteCall& call = shell_.Executed()[0];
  EXPECT_EQ(77, call.owner);
  EXPECT_EQ("open", call.operation);
  EXPECT_EQ(server_.Host() + "/lectryn/downloads.htm", call.file);
  EXPECT_EQ("", call.parameters + call.directory);
  EXPECT_EQ(platform::SW_SHOWNORMAL, call.showCommand);
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(u"kExitApplication", form.delayedCommand);
}

TEST(UpdateDomain, SiteIsNamedByItsDomain) {
  EXPECT_EQ("corvath.example", DomainOfHost("lectryn.corvath.example"));
  EXPECT_EQ("corvath.example", DomainOfHost("corvath.example"));
  EXPECT_EQ("127.0.0.1:8080", DomainOfHost("127.0.0.1:8080"));
  EXPECT_EQ("localhost", DomainOfHost("localhost"));
}

}  // namespace
}  // namespace lectryn::windows::updates
