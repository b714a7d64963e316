#include "desktop/PageWindow.h"

#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QShowEvent>
#include <QToolBar>

#include "desktop/DroppedAddresses.h"
#include "engine/Document.h"

namespace lectryn::desktop {

namespace {

constexpr int kDefaultWidthPx = 900;
constexpr int kDefaultHeightPx = 700;

}  // namespace

std::shared_ptr<PageWindow> PageWindow::Create(platform::UiLoop& loop, std::shared_ptr<QtFontMetrics> fonts,
                                               engine::LoadOptions options) {
  // Deleted on the event loop: the last holder may let go inside one of the window's own events.
  return std::shared_ptr<PageWindow>(new PageWindow(loop, std::move(fonts), options),
                                     [](PageWindow* window) { window->deleteLater(); });
}

PageWindow::PageWindow(platform::UiLoop& loop, std::shared_ptr<QtFontMetrics> fonts,
                       engine::LoadOptions options)
    : engine_(loop, options) {
  view_ = new PageView(std::move(fonts), this);
  view_->SetLinkHandler([this](const QString& address) { engine_.Open(address.toStdU16String()); });
  setCentralWidget(view_);
  BuildActions();
  BuildBars();
  setAcceptDrops(true);
  resize(kDefaultWidthPx, kDefaultHeightPx);
  ShowHistory();
  engine_.SetOnReadyStateChange([this](platform::ReadyState state) { OnReadyStateChange(state); });
  engine_.SetOnHistoryChange([this] { ShowHistory(); });
}

void PageWindow::BuildActions() {
  back_ = new QAction(tr("&Back"), this);
  back_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  connect(back_, &QAction::triggered, this, [this] { engine_.GoBack(); });
  forward_ = new QAction(tr("&Forward"), this);
  forward_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
  connect(forward_, &QAction::triggered, this, [this] { engine_.GoForward(); });
  reload_ = new QAction(tr("&Reload"), this);
  reload_->setShortcut(QKeySequence(Qt::Key_F5));
  connect(reload_, &QAction::triggered, this, [this] { engine_.Reload(); });
  open_ = new QAction(tr("&Open Page..."), this);
  open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(open_, &QAction::triggered, this, [this] { AskForPage(); });
  saveReading_ = new QAction(tr("Save Reading As..."), this);
  saveReading_->setEnabled(false);
  connect(saveReading_, &QAction::triggered, this, [this] {
    if (onSaveReading_) onSaveReading_(*this);
  });
  close_ = new QAction(tr("&Close"), this);
  close_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  connect(close_, &QAction::triggered, this, [this] { close(); });
  // The window holds every action too, so the keys work while the program hides the bars.
  addActions({back_, forward_, reload_, open_, close_});
}

void PageWindow::BuildBars() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(open_);
  file->addAction(saveReading_);
  file->addSeparator();
  file->addAction(close_);

  toolBar_ = addToolBar(tr("Navigation"));
  toolBar_->setMovable(false);
  toolBar_->addAction(back_);
  toolBar_->addAction(forward_);
  toolBar_->addAction(reload_);
  addressBar_ = new QLineEdit(toolBar_);
  addressBar_->setClearButtonEnabled(true);
  toolBar_->addWidget(addressBar_);
  connect(addressBar_, &QLineEdit::returnPressed, this, [this] {
    if (engine_.Open(addressBar_->text().toStdU16String()))
      view_->setFocus();  // keys scroll the page next, as in a browser
  });
}

void PageWindow::SetOnSaveReading(std::function<void(PageWindow&)> saveReading) {
  onSaveReading_ = std::move(saveReading);
  saveReading_->setEnabled(static_cast<bool>(onSaveReading_));
}

void PageWindow::navigate(const std::u16string& address) {
  engine_.navigate(address);
}

void PageWindow::put_MenuBar(bool shown) {
  engine_.put_MenuBar(shown);
  menuBar()->setVisible(shown);
}

void PageWindow::put_ToolBar(int32_t shown) {
  engine_.put_ToolBar(shown);
  toolBar_->setVisible(shown != 0);
}

void PageWindow::put_Visible(bool visible) {
  engine_.put_Visible(visible);
  if (visible && place_) std::exchange(place_, nullptr)(*this);
  setVisible(visible);
  if (!visible) return;
  raise();
  activateWindow();
}

int32_t PageWindow::readyState() {
  return engine_.readyState();
}

platform::DocumentPtr PageWindow::document() {
  return engine_.document();
}

void PageWindow::AskForPage() {
  bool ok = false;
  QString address = QInputDialog::getText(this, tr("Open Page"), tr("File or address:"), QLineEdit::Normal,
                                          addressBar_->text(), &ok);
  if (ok) engine_.Open(address.toStdU16String());
}

void PageWindow::OnReadyStateChange(platform::ReadyState state) {
  if (state == platform::ReadyState::Loading) {
    addressBar_->setText(QString::fromStdU16String(engine_.LocationURL()));
    return;
  }
  // Shown at 3 and again at 4, since the frames attached since 3 change the page's layout; once
  // loading stops there is nothing to show.
  view_->SetDocument(engine_.CurrentDocument());
}

// A page arrived, or the user went back or forward: the bar, title and actions follow.
void PageWindow::ShowHistory() {
  back_->setEnabled(engine_.CanGoBack());
  forward_->setEnabled(engine_.CanGoForward());
  reload_->setEnabled(engine_.CanReload());
  if (engine_.History().Empty()) return;
  addressBar_->setText(QString::fromStdU16String(engine_.History().Entries()[engine_.History().Current()]));
  if (engine_.CurrentDocument()) setWindowTitle(QString::fromStdU16String(engine_.Title()));
}

// The user closed the window: the page is dropped and the program's later calls fail; the
// window only hides, since the program may still hold it.
void PageWindow::closeEvent(QCloseEvent* event) {
  engine_.Close();
  event->accept();
}

void PageWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous() && onShown_) onShown_(true);
}

void PageWindow::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (!event->spontaneous() && onShown_) onShown_(false);
}

void PageWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!engine_.Closed() && !DroppedAddresses(*event->mimeData()).empty()) event->acceptProposedAction();
}

// A page window shows one page: the first of the drop's.
void PageWindow::dropEvent(QDropEvent* event) {
  std::vector<std::u16string> addresses = DroppedAddresses(*event->mimeData());
  if (addresses.empty()) return;
  event->acceptProposedAction();
  engine_.Open(addresses.front());
}

}  // namespace lectryn::desktop
