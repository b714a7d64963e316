// "Save Reading As..." on the simulated platform: a page read into a recording and its captions
// by the scripted voice (100 ms a word), with the real page engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ReadingWindowPlatform.h"
#include "engine/Document.h"
#include "windows/savereading/frmSaveReading.h"

namespace lectryn::windows::savereading {
namespace {

constexpr char kPage[] =
    "<html><body><h1>Title here</h1><p id=\"a\">One two. Three four!</p><p id=\"b\">Five "
    "six</p></body></html>";

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

class SaveReading : public ::testing::Test, public testing::ReadingWindowPlatform {
 protected:
  SaveReading() {
    page->SetViewSize(800, 600);
    page->Observe([this] { ++pageChanges; });
    std::filesystem::create_directories(folder);
  }

  // Starts an export into `name` of the folder, as the user typing that name would.
  bool Start(const std::string& name, platform::TxtRangePtr from = nullptr) {
    dialogs.QueueText(platform::FromUtf8((folder / name).string()));
    return form.SaveReadingAs(page, std::move(from));
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Said() const {
    return dialogs.Calls().empty() ? "" : platform::ToUtf8(dialogs.Calls().back().text);
  }

  std::shared_ptr<engine::Document> page = engine::Document::Parse(kPage, u"file:///page.htm");
  int pageChanges = 0;
  std::filesystem::path folder = temp / "out";
  frmSaveReading form{platform};
};

TEST_F(SaveReading, ReadsTheWholePageIntoTheFileAndCaptionsWithoutPlayingOrTouchingThePage) {
  ASSERT_TRUE(Start("reading.ogg"));
  EXPECT_TRUE(form.Visible());
  std::vector<double> done;
  while (form.Export()->State() == ExportState::Running && done.size() < 100) {
    done.push_back(form.Export()->Done());
    loop.AdvanceBy(50);
  }
  ASSERT_EQ(ExportState::Finished, form.Export()->State()) << form.Export()->Error();
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end())) << "progress went back";
  EXPECT_LT(done.front(), 0.2);
  EXPECT_TRUE(std::any_of(done.begin(), done.end(), [](double d) { return d > 0.4 && d < 0.9; }));
  EXPECT_FALSE(form.Loaded());
  EXPECT_TRUE(dialogs.Calls().empty()) << Said();

  EXPECT_EQ((std::vector<std::string>{"reading.ogg", "reading.vtt"}), Files());
  EXPECT_EQ("200 Title here\n400 One two. Three four!\n200 Five six\n", ReadWhole(folder / "reading.ogg"));
  EXPECT_EQ(
      "WEBVTT\n\n"
      "00:00:00.000 --> 00:00:00.200\n<c>Title</c> <00:00:00.100><c>here</c>\n\n"
      "00:00:00.200 --> 00:00:00.400\n<c>One</c> <00:00:00.300><c>two</c>.\n\n"
      "00:00:00.400 --> 00:00:00.600\n<c>Three</c> <00:00:00.500><c>four</c>!\n\n"
      "00:00:00.600 --> 00:00:00.800\n<c>Five</c> <00:00:00.700><c>six</c>\n",
      ReadWhole(folder / "reading.vtt"));

  EXPECT_TRUE(voices.Spoken().empty()) << "the reading was played";
  EXPECT_EQ(0, pageChanges) << "the page was highlighted or scrolled";
  EXPECT_FALSE(page->SelectionInBodyText());
}

TEST_F(SaveReading, StartsAtThePickedElementAndGoesOnToTheEnd) {
  platform::TxtRangePtr picked = page->body()->createTextRange();
  picked->moveToElementText(*page->getElementById(u"a"));
  ASSERT_TRUE(Start("picked.wav", picked));
  loop.RunUntilIdle();
  ASSERT_EQ(ExportState::Finished, form.Export()->State()) << form.Export()->Error();
  EXPECT_EQ("400 One two. Three four!\n200 Five six\n", ReadWhole(folder / "picked.wav"));
  std::string captions = ReadWhole(folder / "picked.vtt");
  EXPECT_TRUE(captions.starts_with("WEBVTT\n\n00:00:00.000 --> 00:00:00.200\n<c>One</c>")) << captions;
  EXPECT_NE(std::string::npos, captions.find("00:00:00.400 --> 00:00:00.600\n<c>Five</c>")) << captions;
  EXPECT_EQ(0, pageChanges);
}

TEST_F(SaveReading, StartsWhereTheNarrationReadsInThatPageOnly) {
  EXPECT_EQ(nullptr, ReadingStartIn(main, page));
  main.workingDoc = page;
  main.rng = page->body()->createTextRange();
  main.rng->moveToElementText(*page->getElementById(u"b"));
  main.SayRange();
  ASSERT_TRUE(main.Reading());
  platform::TxtRangePtr start = ReadingStartIn(main, page);
  ASSERT_NE(nullptr, start);
  EXPECT_EQ(u"Five six", start->text());
  EXPECT_NE(main.rng, start) << "the export would move the narration's range";
  EXPECT_EQ(nullptr, ReadingStartIn(main, engine::Document::Parse(kPage, u"file:///other.htm")));
  main.StopSpeaking();
  EXPECT_EQ(nullptr, ReadingStartIn(main, page));
}

TEST_F(SaveReading, CancelOrClosingTheWindowLeavesNoFileAtAll) {
  ASSERT_TRUE(Start("cancelled.wav"));
  loop.AdvanceBy(350);  // into the second piece
  ASSERT_EQ(ExportState::Running, form.Export()->State());
  EXPECT_GT(form.Export()->Done(), 0.1);
  form.cmdCancel.Click();
  loop.RunUntilIdle();
  EXPECT_EQ(ExportState::Cancelled, form.Export()->State());
  EXPECT_FALSE(form.Loaded());
  EXPECT_TRUE(Files().empty());
  EXPECT_TRUE(dialogs.Calls().empty()) << Said();

  frmSaveReading again{platform};
  dialogs.QueueText(platform::FromUtf8((folder / "closed.opus").string()));
  ASSERT_TRUE(again.SaveReadingAs(page, nullptr));
  loop.AdvanceBy(150);
  again.Unload();  // the window's frame
  loop.RunUntilIdle();
  EXPECT_EQ(ExportState::Cancelled, again.Export()->State());
  EXPECT_TRUE(Files().empty());
}

TEST_F(SaveReading, FailuresAreSaidAndLeaveNothing) {
  // The user gives no name: nothing happens.
  dialogs.QueueText(std::nullopt);
  EXPECT_FALSE(form.SaveReadingAs(page, nullptr));
  EXPECT_TRUE(dialogs.Calls().empty());

  EXPECT_FALSE(Start("reading.mp3"));
  EXPECT_EQ("cannot save the reading as " + (folder / "reading.mp3").string() +
                ": the name must end in .wav, .ogg or .opus",
            Said());
  EXPECT_FALSE(form.Visible());

  EXPECT_FALSE(Start("missing/reading.wav"));
  EXPECT_NE(std::string::npos,
            Said().find("cannot record speech into " + (folder / "missing/reading.wav").string()))
      << Said();

  // The folder goes away while the page is read: the recording cannot be completed.
  ASSERT_TRUE(Start("gone.wav"));
  loop.AdvanceBy(100);
  std::filesystem::remove_all(folder);
  loop.RunUntilIdle();
  EXPECT_EQ(ExportState::Failed, form.Export()->State());
  EXPECT_EQ(0u, Said().find("cannot save the reading as " + (folder / "gone.wav").string() + ": ")) << Said();
  EXPECT_FALSE(form.Loaded());
  EXPECT_FALSE(std::filesystem::exists(folder / "gone.wav"));

  std::filesystem::create_directories(folder);
  page = engine::Document::Parse("<html><body><p>   </p></body></html>", u"file:///empty.htm");
  ASSERT_TRUE(Start("empty.wav"));
  loop.RunUntilIdle();
  EXPECT_EQ("cannot save the reading as " + (folder / "empty.wav").string() +
                ": there is nothing to read in the page",
            Said());
  EXPECT_TRUE(Files().empty());
}

TEST_F(SaveReading, CaptionsThatCannotBeWrittenTakeTheAudioWithThem) {
  std::filesystem::create_directories(folder / "both.vtt" / "in the way");
  ASSERT_TRUE(Start("both.wav"));
  loop.RunUntilIdle();
  EXPECT_EQ(ExportState::Failed, form.Export()->State());
  EXPECT_NE(std::string::npos, Said().find("cannot write captions to " + (folder / "both.vtt").string()))
      << Said();
  EXPECT_EQ((std::vector<std::string>{"both.vtt"}), Files());  // only what was there before
}

}  // namespace
}  // namespace lectryn::windows::savereading
