#include "desktop/QtDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "desktop/GuiApplication.h"
#include "desktop/QtPictures.h"
#include "platform/Failure.h"

namespace lectryn::desktop {
namespace {

// Waits for the dialog to open in its own loop, then acts on it as a user would.
void WhenModal(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    poll->stop();
    poll->deleteLater();
    act(dialog);
  });
  poll->start(5);
}

QAbstractButton* ButtonOf(QWidget* dialog, QDialogButtonBox::StandardButton which) {
  return dialog->findChild<QDialogButtonBox*>()->button(which);
}

class QtDialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }
  QtDialogs dialogs_;
};

TEST_F(QtDialogsTest, MessageBoxesShowTheirTextAndButtonsAndReturnTheAnswer) {
  QString shownTitle, shownText;
  int buttonCount = 0;
  bool hasIcon = true;
  WhenModal([&](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    shownTitle = box->windowTitle();
    shownText = box->text();
    hasIcon = box->icon() != QMessageBox::NoIcon;
    buttonCount = static_cast<int>(box->buttons().size());
    ButtonOf(dialog, QDialogButtonBox::No)->click();
  });
  EXPECT_EQ(dialogs_.MsgBox(u"Read again?", platform::vbYesNo, u"Lectryn"), platform::vbNo);
  EXPECT_EQ(shownTitle, "Lectryn");
  EXPECT_EQ(shownText, "Read again?");
  EXPECT_EQ(buttonCount, 2);
  EXPECT_FALSE(hasIcon);

  WhenModal([](QWidget* dialog) { ButtonOf(dialog, QDialogButtonBox::Yes)->click(); });
  EXPECT_EQ(dialogs_.MsgBox(u"Sure?", platform::vbYesNo, u"Lectryn"), platform::vbYes);

  WhenModal([&](QWidget* dialog) {
    buttonCount = static_cast<int>(qobject_cast<QMessageBox*>(dialog)->buttons().size());
    ButtonOf(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(dialogs_.MsgBox(u"Done.", platform::vbOKOnly, u"Lectryn"), platform::vbOK);
  EXPECT_EQ(buttonCount, 1);
}

TEST_F(QtDialogsTest, InputBoxGivesTheTypedTextAndNothingOnCancel) {
  QString offered;
  WhenModal([&](QWidget* dialog) {
    QLineEdit* edit = dialog->findChild<QLineEdit*>();
    offered = edit->text();
    edit->setText("page.htm");
    qobject_cast<QInputDialog*>(dialog)->accept();
  });
  EXPECT_EQ(dialogs_.InputBox(u"Open which page?", u"Open Page", u"http://"), std::u16string(u"page.htm"));
  EXPECT_EQ(offered, "http://");

  WhenModal([](QWidget* dialog) { qobject_cast<QInputDialog*>(dialog)->reject(); });
  EXPECT_EQ(dialogs_.InputBox(u"Open which page?", u"Open Page", u""), std::nullopt);
}

TEST_F(QtDialogsTest, SaveFileNameOffersTheKindsAndGivesTheChosenPathOrNothing) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QString chosen = folder.filePath("reading.ogg");
  QStringList filters;
  bool saving = false;
  WhenModal([&](QWidget* dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(dialog);
    filters = chooser->nameFilters();
    saving = chooser->acceptMode() == QFileDialog::AcceptSave;
    chooser->selectFile(chosen);
    QMetaObject::invokeMethod(chooser, "accept");  // as its Save button does
  });
  EXPECT_EQ(dialogs_.SaveFileName(u"Save Reading As", u"Audio (*.wav *.ogg)"), chosen.toStdU16String());
  EXPECT_EQ(filters, QStringList{"Audio (*.wav *.ogg)"});
  EXPECT_TRUE(saving);

  WhenModal([](QWidget* dialog) { qobject_cast<QFileDialog*>(dialog)->reject(); });
  EXPECT_EQ(dialogs_.SaveFileName(u"Save Reading As", u"Audio (*.wav)"), std::nullopt);
}

TEST(QtPictures, LoadsImagesWithHimetricSizesAndFailsOnBadFiles) {
  testing::EnsureGuiApplication();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage image(258, 104, QImage::Format_RGB32);
  image.fill(Qt::blue);
  for (const char* format : {"png", "jpg"}) {
    QString path = dir.filePath(QString("banner.") + format);
    ASSERT_TRUE(image.save(path, format));
    auto picture = QtPictures().LoadPicture(path.toStdString());
    EXPECT_EQ(picture->WidthHimetric(), 6826) << format;  // 258 px * 2540 / 96, rounded
    EXPECT_EQ(picture->HeightHimetric(), 2752) << format;
    EXPECT_EQ(dynamic_cast<QtPicture&>(*picture).Pixmap().size(), QSize(258, 104));
  }
  QString garbage = dir.filePath("broken.gif");
  QFile file(garbage);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a picture at all");
  file.close();
  EXPECT_THROW(QtPictures().LoadPicture(garbage.toStdString()), platform::Failure);
  EXPECT_THROW(QtPictures().LoadPicture(dir.filePath("missing.gif").toStdString()), platform::Failure);
}

}  // namespace
}  // namespace lectryn::desktop
