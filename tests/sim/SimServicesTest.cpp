#include <gtest/gtest.h>

#include "forms/Form.h"
#include "platform/Failure.h"
#include "sim/SimDialogs.h"
#include "sim/SimFormHost.h"
#include "sim/SimPictures.h"
#include "sim/SimShell.h"

namespace lectryn::sim {
namespace {

TEST(SimDialogs, QueuedAnswersComeFirstThenTheDefaultOfTheKindOfBox) {
  SimUiLoop loop;
  SimDialogs dialogs(loop);
  dialogs.QueueAnswer(platform::vbYes);
  loop.AdvanceBy(250);
  EXPECT_EQ(platform::vbYes, dialogs.MsgBox(u"Download?", platform::vbYesNo, u"Update"));
  EXPECT_EQ(platform::vbNo, dialogs.MsgBox(u"Again?", platform::vbYesNo, u"Update"));
  EXPECT_EQ(platform::vbOK, dialogs.MsgBox(u"Done", platform::vbOKOnly, u""));
  ASSERT_EQ(3u, dialogs.Calls().size());
  EXPECT_EQ(u"Download?", dialogs.Calls()[0].text);
  EXPECT_EQ(u"Update", dialogs.Calls()[0].title);
  EXPECT_EQ(250, dialogs.Calls()[0].atMs);
}

struct CommandLineCase {
  const char* commandLine;
  const char* program;
};

class SimShellProgram : public testing::TestWithParam<CommandLineCase> {};

TEST_P(SimShellProgram, FindsTheProgramOfACommandLine) {
  EXPECT_EQ(GetParam().program, ProgramOfCommandLine(GetParam().commandLine));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, SimShellProgram,
                         testing::Values(CommandLineCase{"/usr/bin/sysinfo", "/usr/bin/sysinfo"},
                                         CommandLineCase{"/usr/bin/sysinfo -all", "/usr/bin/sysinfo"},
                                         CommandLineCase{"\"/opt/my tools/info\" -x", "/opt/my tools/info"},
                                         CommandLineCase{"\"/opt/unclosed", "/opt/unclosed"},
                                         CommandLineCase{"", ""}));

TEST(SimShell, StartsOnlyProgramsThatExistButRecordsEveryAttempt) {
  SimShell shell;
  shell.AddFile("/usr/bin/info");
  EXPECT_NO_THROW(shell.StartProgram("/usr/bin/info -v", platform::SW_SHOWNORMAL));
  EXPECT_THROW(shell.StartProgram("/usr/bin/missing", platform::SW_SHOWNORMAL), platform::Failure);
  ASSERT_EQ(2u, shell.Started().size());
  EXPECT_EQ("/usr/bin/missing", shell.Started()[1].commandLine);
  EXPECT_EQ(42, shell.ShellExecuteA(7, "open", "mailto:x", "", "", platform::SW_SHOWNORMAL));
  EXPECT_EQ(7, shell.Executed().at(0).owner);
}

TEST(SimPictures, DeclaredFilesLoadAtTheirSizeOthersFailAndEveryLoadIsRecorded) {
  SimPictures pictures;
  pictures.AddPicture("/opt/lectryn/Banner1.gif", 258, 104);
  auto banner = pictures.LoadPicture("/opt/lectryn/Banner1.gif");
  EXPECT_EQ(6826, banner->WidthHimetric());  // 258 px = 6826.25 HIMETRIC
  EXPECT_EQ(2752, banner->HeightHimetric());
  EXPECT_EQ("/opt/lectryn/Banner1.gif", PicturePath(banner));
  EXPECT_THROW(pictures.LoadPicture("/opt/lectryn/banner1.gif"), platform::Failure);  // case matters
  EXPECT_EQ(1u, pictures.CountLoads("/opt/lectryn/banner1.gif"));
  EXPECT_EQ(2u, pictures.Loads().size());
}

TEST(SimFormHost, RunsTheQueuedScriptThenTheLoopUntilTheFormCloses) {
  SimUiLoop loop;
  SimFormHost host(loop, 5'000);
  forms::Form form("frmUpdates", u"Updates");
  form.SetHost(&host);
  host.WhenModal("frmUpdates", [&](forms::Form& shown) {
    EXPECT_TRUE(shown.Visible());
    loop.PostDelayed(300, [&] { form.Unload(); });
  });
  form.Show(forms::Modality::Modal);
  EXPECT_FALSE(form.Loaded());
  EXPECT_GE(loop.NowMs(), 300);
  EXPECT_LT(loop.NowMs(), 400);
  EXPECT_EQ(0, host.ClosedByHost());

  // No script this time: the form stays open until the host closes it at the limit.
  form.Show(forms::Modality::Modal);
  EXPECT_FALSE(form.Loaded());
  EXPECT_EQ(1, host.ClosedByHost());
  EXPECT_EQ((std::vector<std::string>{"frmUpdates", "frmUpdates"}), host.Shown());
}

}  // namespace
}  // namespace lectryn::sim
