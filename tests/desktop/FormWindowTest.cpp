#include "desktop/FormWindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <string>
#include <vector>

#include "desktop/GuiApplication.h"
#include "desktop/LineBreaks.h"
#include "desktop/QtFormHost.h"
#include "desktop/QtPictures.h"
#include "desktop/ShownForm.h"
#include "desktop/WindowRegistry.h"
#include "forms/Form.h"

namespace lectryn::desktop {
namespace {

// A small window with one control of each kind and a menu, places in whole pixels (15 twips).
class TestForm : public forms::Form {
 public:
  TestForm()
      : Form("frmTest", u"Test window"),
        fraBox("fraBox", u""),
        lblName("lblName", u"Name:"),
        lblInBox("lblInBox", u"Inside"),
        txtName("txtName", u""),
        txtNotes("txtNotes", u"", true),
        chkLoud("chkLoud", u"&Loud"),
        cmdOK("cmdOK", u"OK"),
        cmdCancel("cmdCancel", u"Cancel") {
    lblName.SetPosition({300, 150, 1500, 300});
    txtName.SetPosition({1800, 150, 3000, 300});
    txtNotes.SetPosition({300, 600, 4500, 1500});
    chkLoud.SetPosition({300, 2250, 1500, 300});
    cmdOK.SetPosition({300, 2700, 1200, 450});
    cmdCancel.SetPosition({1800, 2700, 1200, 450});
    fraBox.SetPosition({4950, 150, 1500, 1500});
    lblInBox.SetPosition({150, 300, 900, 300});
    cmdOK.SetDefault(true);
    cmdCancel.SetCancel(true);
    txtName.SetTabIndex(0);
    txtNotes.SetTabIndex(1);
    for (forms::Control* control : std::initializer_list<forms::Control*>{
             &lblName, &txtName, &txtNotes, &chkLoud, &cmdOK, &cmdCancel, &fraBox, &lblInBox})
      Register(*control);
    forms::MenuItem& file = AddMenu("mnuFile", u"&File");
    mnuNew = &file.Add("mnuNew", u"&New", forms::CtrlKey('N'));
    file.Add("mnuSep", u"-");
    mnuSave = &file.Add("mnuSave", u"Save && close", {forms::vbKeyF1 + 1, false});
    mnuNew->OnClick = [this] { ++newClicks; };
    cmdOK.OnClick = [this] { ++okClicks; };
    cmdCancel.OnClick = [this] { ++cancelClicks; };
    chkLoud.OnClick = [this] { ++checkClicks; };
    SetClientSize(6750, 3750);  // 450 x 250 px
    Move(1500, 1500);
  }

  forms::Frame fraBox;
  forms::Label lblName;
  forms::Label lblInBox;
  forms::TextBox txtName;
  forms::TextBox txtNotes;
  forms::CheckBox chkLoud;
  forms::CommandButton cmdOK;
  forms::CommandButton cmdCancel;
  forms::MenuItem* mnuNew = nullptr;
  forms::MenuItem* mnuSave = nullptr;
  int newClicks = 0;
  int okClicks = 0;
  int cancelClicks = 0;
  int checkClicks = 0;
};

using testing::SendKey;

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, modifiers);
  QApplication::sendEvent(target, &event);
}

class FormWindowTest : public testing::ShownForm {
 protected:
  void SetUp() override { ShowForm(form_); }

  TestForm form_;
};

TEST_F(FormWindowTest, ControlsSitAtTheirTwipsInClientPixelsAndFramesCarryTheirLabels) {
  EXPECT_EQ(window_->ClientWidget()->size(), QSize(450, 250));
  EXPECT_EQ(Find<QLabel>("lblName")->geometry(), QRect(20, 10, 100, 20));
  EXPECT_EQ(Find<QLabel>("lblName")->text(), "Name:");
  EXPECT_EQ(Find<QLineEdit>("txtName")->geometry(), QRect(120, 10, 200, 20));
  EXPECT_EQ(Find<QPushButton>("cmdOK")->geometry(), QRect(20, 180, 80, 30));
  EXPECT_EQ(Find<QLabel>("lblInBox")->geometry(), QRect(330 + 10, 10 + 20, 60, 20));
  EXPECT_EQ(Find<QCheckBox>("chkLoud")->text(), "&Loud");
  EXPECT_EQ(window_->windowTitle(), "Test window");

  form_.cmdOK.SetPosition({600, 2700, 1200, 450});
  form_.cmdOK.SetCaption(u"Go");
  form_.cmdCancel.SetVisible(false);
  form_.SetCaption(u"Renamed");
  EXPECT_EQ(Find<QPushButton>("cmdOK")->pos(), QPoint(40, 180));
  EXPECT_EQ(Find<QPushButton>("cmdOK")->text(), "Go");
  EXPECT_TRUE(Find<QPushButton>("cmdCancel")->isHidden());
  EXPECT_EQ(window_->windowTitle(), "Renamed");
}

// The Windows style gives a menu bar a pixel more for the window's width than its size hint; the
// layout gives it that height, and the client area must not lose the pixel.
TEST_F(FormWindowTest, ClientSizeHoldsWithAMenuBarTallerForItsWidthThanItsHint) {
  static QStyle* const windowsStyle = QStyleFactory::create("Windows");  // outlives every window
  ASSERT_NE(windowsStyle, nullptr);
  window_->findChild<QMenuBar*>()->setStyle(windowsStyle);
  form_.SetClientSize(6000, 3000);
  EXPECT_EQ(window_->ClientWidget()->size(), QSize(400, 200));
  EXPECT_EQ(form_.ClientWidth(), 6000);
  EXPECT_EQ(form_.ClientHeight(), 3000);
}

TEST_F(FormWindowTest, PictureIsPaintedAtTheClientTopLeftAtItsOwnSize) {
  QPixmap red(18, 9);  // clear of the first label at (20, 10)
  red.fill(Qt::red);
  form_.SetPicture(std::make_shared<QtPicture>(red));
  QImage shot = window_->ClientWidget()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(17, 8), QColor(Qt::red));
  EXPECT_NE(shot.pixelColor(19, 4), QColor(Qt::red));
  EXPECT_NE(shot.pixelColor(5, 10), QColor(Qt::red));
  form_.SetPicture(nullptr);
  EXPECT_NE(window_->ClientWidget()->grab().toImage().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(FormWindowTest, MenusShowAccessKeysShortcutsSeparatorsAndFollowChecks) {
  QList<QAction*> titles = window_->MenuBar()->actions();
  ASSERT_EQ(titles.size(), 1);
  EXPECT_EQ(titles[0]->text(), "&File");
  QList<QAction*> items = titles[0]->menu()->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), "&New\tCtrl+N");
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(items[2]->text(), "Save && close\tF2");
  EXPECT_FALSE(items[2]->isChecked());
  form_.mnuSave->SetChecked(true);
  EXPECT_TRUE(items[2]->isChecked());
  form_.mnuNew->SetEnabled(false);
  EXPECT_FALSE(items[0]->isEnabled());
  form_.mnuNew->SetEnabled(true);
  items[0]->trigger();
  EXPECT_EQ(form_.newClicks, 1);
}

TEST_F(FormWindowTest, AShortcutFiresItsItemOnceAndLaterItemsAppear) {
  SendKey(Find<QLineEdit>("txtName"), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(form_.newClicks, 1);

  int later = 0;
  form_.Menus()[0]->Add("mnuLater", u"&Later", forms::CtrlKey('L')).OnClick = [&] { ++later; };
  QMenu* file = window_->MenuBar()->actions()[0]->menu();
  emit file->aboutToShow();
  ASSERT_EQ(file->actions().size(), 4);
  EXPECT_EQ(file->actions()[3]->text(), "&Later\tCtrl+L");
  SendKey(window_, Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(later, 1);
}

// Shift tells Ctrl+Shift+T from Ctrl+T; "=" and "-" count with or without Shift, whose place for
// them differs between keyboard layouts, and from the keypad too.
TEST_F(FormWindowTest, ShortcutsWithShiftArrowsAndSymbolsReachTheirItemsPastAMultiLineBox) {
  std::vector<std::string> fired;
  forms::MenuItem& file = *form_.Menus()[0];
  const std::pair<const char*, forms::Shortcut> keys[] = {
      {"T", forms::CtrlKey('T')},     {"Shift+T", {forms::KeyOfLetter('T'), true, true}},
      {"Up", {forms::vbKeyUp, true}}, {"Down", {forms::vbKeyDown, true}},
      {"=", forms::CtrlKey('=')},     {"-", forms::CtrlKey('-')},
      {"0", forms::CtrlKey('0')}};
  for (const auto& [name, key] : keys)
    file.Add(std::string("mnu") + name, u"x", key).OnClick = [&fired, name = std::string(name)] {
      fired.push_back(name);
    };
  QWidget* notes = Find<QPlainTextEdit>("txtNotes");
  SendKey(notes, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
  SendKey(notes, Qt::Key_T, Qt::ControlModifier);
  SendKey(notes, Qt::Key_Up, Qt::ControlModifier);
  SendKey(notes, Qt::Key_Down, Qt::ControlModifier);
  SendKey(notes, Qt::Key_Equal, Qt::ControlModifier);
  SendKey(notes, Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
  SendKey(notes, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
  SendKey(notes, Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ((std::vector<std::string>{"Shift+T", "T", "Up", "Down", "=", "=", "-", "0"}), fired);
}

TEST_F(FormWindowTest, EnterAndEscapeReachTheDefaultAndCancelButtonsOnce) {
  QLineEdit* name = Find<QLineEdit>("txtName");
  SendKey(name, Qt::Key_Return);
  EXPECT_EQ(form_.okClicks, 1);
  SendKey(name, Qt::Key_Escape);
  EXPECT_EQ(form_.cancelClicks, 1);
  Find<QPushButton>("cmdOK")->click();
  EXPECT_EQ(form_.okClicks, 2);
  // In a multi-line box Enter presses the default button while there is one; Ctrl+Enter, or
  // Enter once no button is default, breaks the line.
  auto* notes = Find<QPlainTextEdit>("txtNotes");
  SendKey(notes, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(form_.okClicks, 3);
  EXPECT_EQ(form_.txtNotes.Text(), u"");
  SendKey(notes, Qt::Key_Return, Qt::ControlModifier, "\r");
  form_.cmdOK.SetDefault(false);
  SendKey(notes, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(form_.okClicks, 3);
  EXPECT_EQ(form_.txtNotes.Text(), u"\r\n\r\n");
  EXPECT_EQ(form_.txtNotes.SelStart(), 4);
}

TEST_F(FormWindowTest, KeyPreviewSeesReleasesOnceWithPlatformCodes) {
  std::vector<std::pair<int, int>> seen;
  form_.Form_KeyUp = [&](int16_t code, int16_t shift) { seen.emplace_back(code, shift); };
  SendKey(window_, Qt::Key_Escape);
  EXPECT_TRUE(seen.empty());  // without key preview the form sees nothing
  form_.SetKeyPreview(true);
  SendKey(window_, Qt::Key_Escape);
  SendKey(window_, Qt::Key_F1, Qt::ShiftModifier | Qt::ControlModifier);
  SendKey(window_, Qt::Key_Q, Qt::AltModifier);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{27, 0}, {112, 3}, {81, 4}}));

  // A release the focused box passes on to its parents is still one stroke.
  QApplication::setActiveWindow(window_);
  QLineEdit* name = Find<QLineEdit>("txtName");
  name->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), name);
  EXPECT_TRUE(form_.txtName.HasFocus());
  seen.clear();
  SendKey(name, Qt::Key_Escape);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{27, 0}}));
}

TEST_F(FormWindowTest, TextBoxesFollowTheModelAndWriteTheUsersEditsBack) {
  QLineEdit* name = Find<QLineEdit>("txtName");
  form_.txtName.SetText(u"hello world");
  EXPECT_EQ(name->text(), "hello world");
  form_.txtName.SetSelStart(6);
  form_.txtName.SetSelLength(5);
  EXPECT_EQ(name->selectedText(), "world");

  name->setCursorPosition(5);
  name->insert("!");  // as typing does: textEdited
  EXPECT_EQ(form_.txtName.Text(), u"hello! world");
  EXPECT_EQ(form_.txtName.SelStart(), 6);
  name->setSelection(0, 5);
  EXPECT_EQ(form_.txtName.SelStart(), 0);
  EXPECT_EQ(form_.txtName.SelLength(), 5);

  QPlainTextEdit* notes = Find<QPlainTextEdit>("txtNotes");
  form_.txtNotes.SetText(u"one\r\ntwo\r\nthree");
  EXPECT_EQ(notes->toPlainText(), "one\ntwo\nthree");
  form_.txtNotes.SetSelStart(10);  // "three" in the model's units
  form_.txtNotes.SetSelLength(5);
  EXPECT_EQ(notes->textCursor().selectedText(), "three");
  QTextCursor cursor = notes->textCursor();
  cursor.setPosition(4);
  cursor.setPosition(7, QTextCursor::KeepAnchor);
  notes->setTextCursor(cursor);
  EXPECT_EQ(form_.txtNotes.SelText(), u"two");
}

TEST_F(FormWindowTest, CheckBoxClicksReachTheModelAndModelValuesDoNotFire) {
  QCheckBox* loud = Find<QCheckBox>("chkLoud");
  loud->click();
  EXPECT_EQ(form_.chkLoud.Value(), forms::vbChecked);
  EXPECT_EQ(form_.checkClicks, 1);
  form_.chkLoud.SetValue(forms::vbUnchecked);
  EXPECT_FALSE(loud->isChecked());
  EXPECT_EQ(form_.checkClicks, 1);
}

struct MouseCall {
  std::string kind;
  int button, shift;
  float x, y;
  bool operator==(const MouseCall&) const = default;
};

TEST_F(FormWindowTest, MouseOnTheBackgroundReachesTheFormInItsScaleMode) {
  std::vector<MouseCall> calls;
  auto record = [&](std::string kind) {
    return [&calls, kind](int16_t button, int16_t shift, float x, float y) {
      calls.push_back({kind, button, shift, x, y});
    };
  };
  form_.Form_MouseDown = record("down");
  form_.Form_MouseMove = record("move");
  form_.Form_MouseUp = record("up");
  QWidget* client = window_->ClientWidget();
  form_.SetScaleMode(forms::ScaleMode::Pixels);
  SendMouse(client, QEvent::MouseButtonPress, {400, 5}, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
  SendMouse(client, QEvent::MouseMove, {-30, 600}, Qt::NoButton, Qt::LeftButton);  // held: outside too
  SendMouse(client, QEvent::MouseButtonRelease, {-30, 600}, Qt::LeftButton, Qt::NoButton);
  form_.SetScaleMode(forms::ScaleMode::Twips);
  SendMouse(client, QEvent::MouseButtonPress, {10, 20}, Qt::RightButton, Qt::RightButton,
            Qt::ControlModifier);
  // A press on a label is the label's, not the background's.
  SendMouse(Find<QLabel>("lblName"), QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(calls, (std::vector<MouseCall>{{"down", 1, 1, 400, 5},
                                           {"move", 1, 0, -30, 600},
                                           {"up", 1, 0, -30, 600},
                                           {"down", 2, 2, 150, 300}}));
}

TEST_F(FormWindowTest, TitleBarShowsOnlyTheButtonsTheFormAllowsAndTopMostStaysShown) {
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
  form_.Hide();
  form_.SetTitleButtons(false, false);
  form_.Show();
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
  form_.SetTopMost(true);
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(FormWindowTest, PlaceFollowsTheModelAndTheUsersMovesGoBack) {
  EXPECT_EQ(window_->frameGeometry().topLeft(), QPoint(100, 100));
  form_.Move(3000, 1500);
  EXPECT_EQ(window_->frameGeometry().topLeft(), QPoint(200, 100));
  window_->move(250, 120);  // as the window manager reports a user's move
  EXPECT_EQ(form_.Left(), 250 * 15);
  EXPECT_EQ(form_.Top(), 120 * 15);
}

TEST(FormHost, RegistersWindowsAndKeepsAHandleTheFormAlreadyHas) {
  testing::EnsureGuiApplication();
  WindowRegistry registry;
  QtFormHost host(registry);
  TestForm fresh;
  TestForm handled;
  fresh.SetHost(&host);
  handled.SetHost(&host);
  handled.SetHWnd(777);
  fresh.Load();
  handled.Load();
  ASSERT_NE(fresh.hWnd(), 0);
  EXPECT_EQ(registry.Widget(fresh.hWnd()), host.WindowOf(fresh));
  EXPECT_EQ(registry.Find(fresh.hWnd())->className, kFormClass);
  EXPECT_EQ(registry.Find(fresh.hWnd())->clientArea, host.WindowOf(fresh)->ClientWidget());
  EXPECT_EQ(handled.hWnd(), 777);
  EXPECT_NE(registry.HandleOf(host.WindowOf(handled)), 0);
  EXPECT_FALSE(host.WindowOf(fresh)->isVisible());  // loaded, not shown
}

TEST(FormHost, AFormDestroyedFromItsOwnButtonLeavesNoWindowBehind) {
  testing::EnsureGuiApplication();
  WindowRegistry registry;
  QtFormHost host(registry);
  auto form = std::make_unique<TestForm>();
  form->SetHost(&host);
  form->Show();
  QPointer<FormWindow> window = host.WindowOf(*form);
  platform::HWND handle = form->hWnd();
  form->cmdOK.OnClick = [&] { form.reset(); };
  window->findChild<QPushButton*>("cmdOK")->click();
  EXPECT_EQ(registry.Widget(handle), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
}

TEST(FormHost, ModalFormsReturnOnceUnloadedAndACancelledCloseKeepsThemOpen) {
  testing::EnsureGuiApplication();
  WindowRegistry registry;
  QtFormHost host(registry);
  TestForm owner;
  TestForm dialog;
  owner.SetHost(&host);
  dialog.SetHost(&host);
  owner.Show();
  int refusals = 1;
  dialog.Form_Unload = [&](int16_t& cancel) { cancel = refusals-- > 0 ? 1 : 0; };
  bool stillOpenAfterFirstClose = false;
  dialog.SetClientSize(3000, 1500);
  dialog.SetStartUpPosition(forms::StartUpPosition::CenterOwner);
  QTimer::singleShot(0, [&] {
    FormWindow* window = host.WindowOf(dialog);
    EXPECT_TRUE(window->isModal());
    QPoint offCentre = window->frameGeometry().center() - host.WindowOf(owner)->frameGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);
    EXPECT_EQ(dialog.Left() / 15, window->frameGeometry().left());  // the model knows the place
    window->close();                                                // the frame's close button: refused once
    stillOpenAfterFirstClose = window->isVisible() && dialog.Loaded();
    window->close();
  });
  dialog.Show(forms::Modality::Modal, &owner);
  EXPECT_TRUE(stillOpenAfterFirstClose);
  EXPECT_FALSE(dialog.Loaded());
  EXPECT_FALSE(host.WindowOf(dialog)->isVisible());

  QTimer::singleShot(0, [&] { dialog.Unload(); });  // the form's own code closes it
  dialog.Show(forms::Modality::Modal, &owner);
  EXPECT_FALSE(dialog.Loaded());
}

TEST(FormHost, AnOwnedFormWithoutAPlaceOpensBelowItsOwnerAndOneWithAPlaceStaysThere) {
  testing::EnsureGuiApplication();
  WindowRegistry registry;
  QtFormHost host(registry);
  TestForm owner;
  forms::Form owned("frmOwned", u"Owned"), placed("frmPlaced", u"Placed");
  owner.SetHost(&host);
  for (forms::Form* form : {&owned, &placed}) {
    form->SetHost(&host);
    form->Resize(3000, 2000);
  }
  owner.Show();
  owned.Show(forms::Modality::Modeless, &owner);
  QRect ownerFrame = host.WindowOf(owner)->frameGeometry();
  QRect ownedFrame = host.WindowOf(owned)->frameGeometry();
  EXPECT_EQ(ownerFrame.left(), ownedFrame.left());
  EXPECT_GT(ownedFrame.top(), ownerFrame.bottom());
  EXPECT_EQ(ownedFrame.top() * 15, owned.Top());

  placed.Move(4500, 300);
  placed.Show(forms::Modality::Modeless, &owner);
  EXPECT_EQ(QPoint(300, 20), host.WindowOf(placed)->frameGeometry().topLeft());

  // Centred on a small owner at the screen's corner, a larger window still starts on the screen.
  forms::Form centred("frmCentred", u"Centred");
  centred.SetHost(&host);
  centred.Resize(15000, 9000);
  centred.SetStartUpPosition(forms::StartUpPosition::CenterOwner);
  owner.Move(0, 0);
  centred.Show(forms::Modality::Modeless, &owner);
  QRect screen = host.WindowOf(centred)->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(host.WindowOf(centred)->frameGeometry().topLeft()));
}

struct BreakCase {
  std::u16string model;
  int modelOffset;
  int editorOffset;
};

class LineBreakOffsets : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreakOffsets, MapBetweenModelAndEditor) {
  const BreakCase& c = GetParam();
  EXPECT_EQ(EditorOffset(c.model, c.modelOffset), c.editorOffset);
  // Back from the editor: an offset inside a pair comes back after it.
  int back = ModelOffset(c.model, c.editorOffset);
  EXPECT_TRUE(back == c.modelOffset || (back == c.modelOffset - 1 && c.model[back] == u'\r'));
  EXPECT_EQ(ModelText(EditorText(c.model)), c.model);
}

INSTANTIATE_TEST_SUITE_P(Texts, LineBreakOffsets,
                         ::testing::Values(BreakCase{u"", 0, 0}, BreakCase{u"abc", 2, 2},
                                           BreakCase{u"a\r\nb", 1, 1}, BreakCase{u"a\r\nb", 2, 1},
                                           BreakCase{u"a\r\nb", 3, 2}, BreakCase{u"a\r\nb", 4, 3},
                                           BreakCase{u"\r\n\r\nx", 4, 2}, BreakCase{u"\r\n\r\nx", 5, 3}));

}  // namespace
}  // namespace lectryn::desktop
