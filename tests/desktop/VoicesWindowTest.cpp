// The voices window on the Qt desktop: its lists and speed box follow the model, the user's picks
// reach it, and it can be worked from the keyboard alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <memory>

#include "desktop/ShownForm.h"
#include "narration/Narration.h"
#include "windows/ListingVoices.h"
#include "windows/voices/frmVoices.h"

namespace lectryn::desktop {
namespace {

using testing::SendKey;

// The window over voices of this kind, shown in SetUp.
template <class Voices>
class VoicesShown : public testing::ShownForm {
 protected:
  Voices voices_;
  narration::Narration main_{voices_};
  windows::voices::frmVoices form_{main_, "en_US"};
};

class VoicesWindowTest : public VoicesShown<lectryn::testing::ListingVoices> {
 protected:
  void SetUp() override { ShowForm(form_); }
};

TEST_F(VoicesWindowTest, ListsAndSpeedFollowTheModelAndTheUsersInputReachesIt) {
  auto* languages = Find<QComboBox>("cboLanguage");
  auto* voices = Find<QComboBox>("cboVoice");
  auto* speed = Find<QSpinBox>("spnSpeed");
  ASSERT_TRUE(languages && voices && speed);
  EXPECT_EQ(languages->currentText(), "English");
  EXPECT_EQ(voices->count(), 3);
  EXPECT_EQ(voices->currentText(), "English (America)");

  // Down picks the next language, French, as the user: its voices come in.
  SendKey(languages, Qt::Key_Down);
  EXPECT_EQ(form_.Language(), "fr");
  ASSERT_EQ(voices->count(), 2);
  SendKey(voices, Qt::Key_Down);
  EXPECT_EQ(form_.Voice(), "fr-fr");
  // A choice made by the model shows without firing: the voices stay those of French.
  form_.cboLanguage.SetListIndex(0);
  EXPECT_EQ(languages->currentIndex(), 0);
  EXPECT_EQ(form_.Voice(), "fr-fr");

  EXPECT_EQ(speed->maximum(), platform::kMaxWordsPerMinute);
  SendKey(speed, Qt::Key_Up);
  EXPECT_EQ(form_.Rate(), 180);
  Find<QPushButton>("cmdNormal")->click();
  EXPECT_EQ(speed->value(), 175);
}

TEST_F(VoicesWindowTest, KeyboardAloneReachesEveryControlAndEnterIsOk) {
  // Each label's access key leads to the control it names.
  EXPECT_EQ(Find<QLabel>("lblLanguage")->buddy(), Find<QComboBox>("cboLanguage"));
  EXPECT_EQ(Find<QLabel>("lblVoice")->buddy(), Find<QComboBox>("cboVoice"));
  EXPECT_EQ(Find<QLabel>("lblSpeed")->buddy(), Find<QSpinBox>("spnSpeed"));
  // Tab goes through the controls in their order and comes round again.
  QApplication::setActiveWindow(window_);
  Find<QComboBox>("cboLanguage")->setFocus();
  QStringList order;
  for (int step = 0; step < 8; ++step) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    // The speed box takes the focus in its editor.
    if (qobject_cast<QSpinBox*>(focus->parentWidget())) focus = focus->parentWidget();
    order << focus->objectName();
    SendKey(focus, Qt::Key_Tab);
  }
  EXPECT_EQ(order.join(' '), "cboLanguage cboVoice spnSpeed cmdNormal cmdTry cmdOK cmdCancel cboLanguage");

  SendKey(Find<QSpinBox>("spnSpeed"), Qt::Key_Up);
  SendKey(Find<QComboBox>("cboVoice"), Qt::Key_Return);
  EXPECT_FALSE(form_.Loaded());
  EXPECT_EQ(main_.Rate(), 180);

  form_.Show();
  SendKey(Find<QSpinBox>("spnSpeed"), Qt::Key_Up);
  SendKey(Find<QComboBox>("cboLanguage"), Qt::Key_Escape);
  EXPECT_FALSE(form_.Loaded());
  EXPECT_EQ(main_.Rate(), 180);
}

// Voices from two engines, the second a server that lists nothing.
class EngineVoicesWindowTest : public VoicesShown<lectryn::testing::EngineVoices> {
 protected:
  void SetUp() override {
    voices_.server.installed.clear();
    ShowForm(form_);
  }
};

TEST_F(EngineVoicesWindowTest, AnEngineWithoutVoicesShowsItsMessageInPlaceOfTheListsAndTabPassesThem) {
  auto* engines = Find<QComboBox>("cboEngine");
  auto* message = Find<QLabel>("lblNoVoices");
  ASSERT_TRUE(engines && message);
  EXPECT_TRUE(engines->isVisible());
  EXPECT_EQ(Find<QLabel>("lblEngine")->buddy(), engines);
  EXPECT_EQ(engines->currentText(), "Own voices");
  EXPECT_FALSE(message->isVisible());

  SendKey(engines, Qt::Key_Down);
  EXPECT_EQ(form_.Engine(), "server");
  EXPECT_TRUE(message->isVisible());
  for (const char* name : {"cboLanguage", "cboVoice"})
    EXPECT_FALSE(Find<QComboBox>(name)->isVisible()) << name;
  for (const char* name : {"lblLanguage", "lblVoice"}) EXPECT_FALSE(Find<QLabel>(name)->isVisible()) << name;
  EXPECT_FALSE(Find<QPushButton>("cmdTry")->isEnabled());
  QApplication::setActiveWindow(window_);
  engines->setFocus();
  SendKey(engines, Qt::Key_Tab);
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  EXPECT_TRUE(qobject_cast<QSpinBox*>(focus->parentWidget()) || qobject_cast<QSpinBox*>(focus));

  SendKey(engines, Qt::Key_Up);
  EXPECT_FALSE(message->isVisible());
  EXPECT_TRUE(Find<QComboBox>("cboLanguage")->isVisible());
}

}  // namespace
}  // namespace lectryn::desktop
