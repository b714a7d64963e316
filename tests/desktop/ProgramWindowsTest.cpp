// The program's own windows on the Qt desktop, as lectryn puts them together: the main window
// drawn from its model with its banner and menus, the text-to-speech window it owns, and the
// update check run as a modal window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "desktop/DesktopBrowserObjects.h"
#include "desktop/GuiApplication.h"
#include "desktop/QtFontMetrics.h"
#include "desktop/QtFormHost.h"
#include "desktop/QtPictures.h"
#include "desktop/QtUiLoop.h"
#include "desktop/QtWindowSystem.h"
#include "platform/Platform.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimApp.h"
#include "sim/SimDialogs.h"
#include "sim/SimShell.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"
#include "windows/MakerSite.h"
#include "windows/main/frmMain.h"

namespace lectryn::desktop {
namespace {

// The assets lie beside the test pages in the source tree.
std::filesystem::path Assets() {
  const char* pages = std::getenv("LECTRYN_TEST_PAGES");
  return std::filesystem::path(pages ? pages : "tests/pages") / ".." / ".." / "assets";
}

class ProgramWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }
  void SetUp() override {
    for (const char* file : {"Banner1.gif", "Banner2.gif", "Banner.jpg", "Help.htm"})
      std::filesystem::copy_file(Assets() / file, temp_ / file);
    app_.SetPath(temp_.Path().string());
    main_.SetHost(&host_);
    main_.SetPicture(pictures_.LoadPicture((temp_ / "Banner1.gif").string()));
    main_.Show();
    window_ = host_.WindowOf(main_);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { main_.Unload(); }

  QMenu* MenuNamed(const QString& title) {
    for (QAction* action : window_->MenuBar()->actions())
      if (action->text() == title) return action->menu();
    return nullptr;
  }

  lectryn::testing::TempFolder temp_;
  QtUiLoop loop_;
  sim::ScriptedVoiceFactory voices_{loop_};
  WindowRegistry handles_;
  QtWindowSystem windows_{handles_};
  DesktopBrowserObjects browsers_{loop_, handles_, std::make_shared<QtFontMetrics>()};
  system::RegistryStore registry_{temp_ / "user", temp_ / "machine"};
  sim::SimShell shell_;
  sim::SimDialogs dialogs_;
  QtPictures pictures_;
  sim::SimApp app_;
  QtFormHost host_{handles_, windows_.TwipsPerPixel()};
  platform::Platform platform_{loop_,  voices_,  browsers_, windows_, registry_,
                               shell_, dialogs_, pictures_, app_};
  windows::main::frmMain main_{platform_, windows::MakerSite{}};
  FormWindow* window_ = nullptr;
};

TEST_F(ProgramWindowsTest, TheMainWindowIsItsBannerOnTopWithTheMenusOfItsModel) {
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(QSize(258, 104), window_->ClientWidget()->size());
  EXPECT_EQ(QPoint(67, 67), window_->frameGeometry().topLeft());  // the default place, 1000 twips

  QImage banner(QString::fromStdString((temp_ / "Banner1.gif").string()));
  QImage shown = window_->ClientWidget()->grab().toImage();
  for (QPoint at : {QPoint(2, 2), QPoint(40, 40), QPoint(200, 60), QPoint(257, 103)})
    EXPECT_EQ(banner.pixelColor(at), shown.pixelColor(at)) << at.x() << "," << at.y();

  QMenu* narration = MenuNamed("&Narration");
  ASSERT_NE(narration, nullptr);
  ASSERT_NE(MenuNamed("&Help"), nullptr);
  emit narration->aboutToShow();
  QStringList items;
  for (QAction* action : narration->actions())
    items << (action->isSeparator() ? "-" : action->text() + (action->isChecked() ? " [x]" : ""));
  EXPECT_EQ(QStringList({"&Start\tCtrl+N", "S&top", "&Next Sentence\tCtrl+T", "-",
                         "Continue After Selection\tCtrl+F [x]", "-", "Text to &speech...\tCtrl+S", "-",
                         "&Open Page...\tCtrl+O", "Read &Browser Selection\tCtrl+R"}),
            items);
  main_.mnuNarrationContAfter.Click();
  EXPECT_FALSE(narration->actions()[4]->isChecked());
}

TEST_F(ProgramWindowsTest, TextToSpeechOpensBelowTheMainWindowItsOwner) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier, "s");
  QApplication::sendEvent(window_, &press);
  ASSERT_TRUE(main_.speechWindow);
  FormWindow* speech = host_.WindowOf(*main_.speechWindow);
  ASSERT_NE(speech, nullptr);
  EXPECT_TRUE(speech->isVisible());
  EXPECT_EQ(window_->frameGeometry().left(), speech->frameGeometry().left());
  EXPECT_GT(speech->frameGeometry().top(), window_->frameGeometry().bottom());
  EXPECT_EQ(QSize(314, 211), speech->ClientWidget()->size());  // 4716 x 3168 twips
}

TEST_F(ProgramWindowsTest, TheUpdateCheckIsModalWithItsButtonsAtTheirTwipsAndCloses) {
  bool wasModal = false;
  QRect closeButton;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    wasModal = modal->isModal() && modal->windowTitle() == "Check for Updates";
    auto* close = modal->findChild<QPushButton*>("cbClose");
    ASSERT_NE(close, nullptr);
    closeButton = close->geometry();
    close->click();
  });
  main_.mnuHelpUpdate.Click();  // returns once the window is closed
  EXPECT_TRUE(wasModal);
  EXPECT_EQ(QRect(352, 240, 97, 25), closeButton);
  EXPECT_TRUE(main_.Loaded());
}

}  // namespace
}  // namespace lectryn::desktop
