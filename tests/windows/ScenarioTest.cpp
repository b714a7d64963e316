// One run of the program on the simulated desktop: a page picked by a drag is read, the help page
// takes over, two typed lines are read, and a confirmed download ends the program.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/Document.h"
#include "windows/LocalHttpServer.h"
#include "windows/MainWindowPlatform.h"
#include "windows/updates/frmUpdates.h"

namespace lectryn::windows {
namespace {

constexpr char kPage[] = R"(<html><body style="margin:0">
<p style="margin:0;height:40px">Alpha one two three four five six seven eight nine ten.</p>
<p style="margin:0;height:40px">Beta comes after alpha.</p>
</body></html>)";

struct Scenario : ::testing::Test, testing::MainWindowPlatform {
  testing::LocalHttpServer server;

  // Everything spoken from index on, joined by blanks.
  std::string SpokenFrom(size_t index) {
    std::string joined;
    auto spoken = Spoken();
    for (size_t i = index; i < spoken.size(); ++i) joined += spoken[i] + " ";
    return joined;
  }

  // The update window as its user works it: check, wait for the maker's answer, download, confirm.
  void CheckAndConfirmDownload(updates::frmUpdates& check) {
    check.cbCheckForUpdate.Click();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (check.WebBrowser1->ReadyState() < 3 && std::chrono::steady_clock::now() < deadline) {
      loop.DoEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(check.WebBrowser1->ReadyState(), 3) << "the local server did not answer";
    loop.AdvanceBy(updates::kPollIntervalMs);
    ASSERT_TRUE(check.cbDownload.Enabled());
    dialogs.QueueAnswer(platform::vbYes);
    check.cbDownload.Click();
  }
};

TEST_F(Scenario, DragReadHelpTypedTextAndUpdateUntilTheProgramEnds) {
  server.SetPage(R"(<html><body><p>Latest: <span id="ver">1.0.1</span></p></body></html>)");
  site.host = server.Host();
  auto main = MakeMain();
  main->Show();
  main->Move(2220, 1650);  // where the user put it

  // A drag from the banner onto the first paragraph of a page beside the window.
  platform::HWND pageWnd = windows.CreateWindow("Internet Explorer_Server", {400, 0, 1200, 600});
  auto page = engine::Document::Parse(kPage, u"file:///page.htm");
  page->SetViewSize(800, 600);
  windows.SetDocument(pageWnd, page);
  platform::POINTAPI origin = windows.ClientOrigin(main->hWnd());
  float x = static_cast<float>(420 - origin.x), y = static_cast<float>(20 - origin.y);
  windows.PressButtonOn(main->hWnd());
  main->MouseDown(1, 0, 0, 0);
  main->MouseMove(1, 0, x, y);
  main->MouseUp(1, 0, x, y);
  ASSERT_FALSE(Spoken().empty());
  EXPECT_EQ("Alpha one two three four five six seven eight nine ten.", Spoken().back());
  loop.AdvanceBy(500);
  ASSERT_TRUE(platform::IsSpeaking(*main->pVoice));

  // Help stops that reading and reads its own page; the picked page does not go on.
  size_t beforeHelp = voices.Spoken().size();
  main->PressKey({forms::vbKeyF1, false});
  loop.AdvanceBy(5000);
  std::string help = SpokenFrom(beforeHelp);
  EXPECT_EQ(0u, help.find("Getting going")) << help;
  EXPECT_NE(std::string::npos, help.find("Drag from the banner onto a page.")) << help;
  EXPECT_EQ(std::string::npos, help.find("Beta")) << help;

  // Two typed lines, read in the text-to-speech window's own page.
  size_t beforeTyped = voices.Spoken().size();
  main->PressKey(forms::CtrlKey('S'));
  ASSERT_TRUE(main->speechWindow && main->speechWindow->Visible());
  main->speechWindow->tbTextToSpeech.SetText(u"First typed line\r\nSecond typed line");
  main->speechWindow->cbSayIt.Click();
  loop.AdvanceBy(5000);
  std::string typed = SpokenFrom(beforeTyped);
  size_t first = typed.find("First typed line");
  ASSERT_NE(std::string::npos, first) << typed;
  EXPECT_NE(std::string::npos, typed.find("Second typed line", first)) << typed;

  // A newer version: the download is confirmed, the program ends and keeps its place.
  host.WhenModal("frmUpdates", [&](forms::Form& form) {
    CheckAndConfirmDownload(dynamic_cast<updates::frmUpdates&>(form));
  });
  main->mnuHelpUpdate.Click();
  EXPECT_EQ((std::vector<std::string>{"frmUpdates"}), host.Shown());
  EXPECT_EQ(0, host.ClosedByHost());
  ASSERT_EQ(1u, shell.Executed().size());
  EXPECT_NE(std::string::npos, shell.Executed()[0].file.find(server.Host())) << shell.Executed()[0].file;
  EXPECT_FALSE(main->Loaded());
  EXPECT_EQ("2220", Stored("MainLeft"));
  EXPECT_EQ("1650", Stored("MainTop"));
}

}  // namespace
}  // namespace lectryn::windows
