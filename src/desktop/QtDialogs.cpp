#include "desktop/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace lectryn::desktop {
namespace {

QString ToQ(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

}  // namespace

int32_t QtDialogs::MsgBox(const std::u16string& text, int32_t buttons, const std::u16string& title) {
  bool yesNo = (buttons & 0xF) == platform::vbYesNo;
  QMessageBox box(QMessageBox::NoIcon, ToQ(title), ToQ(text),
                  yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
  int answer = box.exec();
  if (!yesNo) return platform::vbOK;
  // Closing a question by its frame counts as No: the answer that changes nothing.
  return answer == QMessageBox::Yes ? platform::vbYes : platform::vbNo;
}

std::optional<std::u16string> QtDialogs::InputBox(const std::u16string& prompt, const std::u16string& title,
                                                  const std::u16string& defaultText) {
  bool accepted = false;
  QString text = QInputDialog::getText(QApplication::activeWindow(), ToQ(title), ToQ(prompt),
                                       QLineEdit::Normal, ToQ(defaultText), &accepted);
  if (!accepted) return std::nullopt;
  return text.toStdU16String();
}

std::optional<std::u16string> QtDialogs::SaveFileName(const std::u16string& title,
                                                      const std::u16string& kinds) {
  QFileDialog chooser(QApplication::activeWindow(), ToQ(title));
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setAcceptMode(QFileDialog::AcceptSave);
  chooser.setFileMode(QFileDialog::AnyFile);
  chooser.setNameFilter(ToQ(kinds));
  chooser.setWindowModality(Qt::ApplicationModal);
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
  return chooser.selectedFiles().front().toStdU16String();
}

}  // namespace lectryn::desktop
