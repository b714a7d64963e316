#include "desktop/PageWindow.h"

#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QShowEvent>
#include <QToolBar>
#include <QUrl>

#include "engine/Document.h"

namespace lectryn::desktop {

namespace {

constexpr int kDefaultWidthPx = 900;
constexpr int kDefaultHeightPx = 700;

// The file or address a drop carries: a local file as its path, other links as written, or the
// first line of dropped text.
QString DroppedAddress(const QMimeData& data) {
  if (data.hasUrls() && !data.urls().isEmpty()) {
    const QUrl& url = data.urls().front();
    return url.isLocalFile() ? url.toLocalFile() : url.toString();
  }
  if (data.hasText()) return data.text().trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
  return {};
}

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
  view_->SetLinkHandler([this](const QString& address) { Load(address, HistoryStep::Add); });
  setCentralWidget(view_);
  BuildActions();
  BuildBars();
  setAcceptDrops(true);
  resize(kDefaultWidthPx, kDefaultHeightPx);
  UpdateHistoryActions();
  engine_.SetOnReadyStateChange([this](platform::ReadyState state) { OnReadyStateChange(state); });
}

void PageWindow::BuildActions() {
  back_ = new QAction(tr("&Back"), this);
  back_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  connect(back_, &QAction::triggered, this, [this] { GoBack(); });
  forward_ = new QAction(tr("&Forward"), this);
  forward_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
  connect(forward_, &QAction::triggered, this, [this] { GoForward(); });
  reload_ = new QAction(tr("&Reload"), this);
  reload_->setShortcut(QKeySequence(Qt::Key_F5));
  connect(reload_, &QAction::triggered, this, [this] { Reload(); });
  open_ = new QAction(tr("&Open Page..."), this);
  open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(open_, &QAction::triggered, this, [this] { AskForPage(); });
  close_ = new QAction(tr("&Close"), this);
  close_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  connect(close_, &QAction::triggered, this, [this] { close(); });
  // The window holds every action too, so the keys work while the program hides the bars.
  addActions({back_, forward_, reload_, open_, close_});
}

void PageWindow::BuildBars() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(open_);
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
    if (addressBar_->text().trimmed().isEmpty()) return;
    Load(addressBar_->text().trimmed(), HistoryStep::Add);
    view_->setFocus();  // keys scroll the page next, as in a browser
  });
}

void PageWindow::navigate(const std::u16string& address) {
  // Set first, in case the page arrives at once; a closed window, where this fails, never loads again.
  pendingStep_ = HistoryStep::Add;
  pageArrived_ = false;
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

void PageWindow::Load(const QString& address, HistoryStep step) {
  if (engine_.Closed()) return;
  pendingStep_ = step;
  pageArrived_ = false;
  engine_.navigate(address.toStdU16String());
}

void PageWindow::GoBack() {
  if (history_.empty() || current_ == 0 || engine_.Closed()) return;
  --current_;
  UpdateHistoryActions();
  Load(QString::fromStdU16String(history_[current_]), HistoryStep::Stay);
}

void PageWindow::GoForward() {
  if (current_ + 1 >= history_.size() || engine_.Closed()) return;
  ++current_;
  UpdateHistoryActions();
  Load(QString::fromStdU16String(history_[current_]), HistoryStep::Stay);
}

void PageWindow::Reload() {
  if (engine_.Closed() || history_.empty()) return;
  pendingStep_ = HistoryStep::Stay;
  pageArrived_ = false;
  engine_.Refresh();
}

void PageWindow::AskForPage() {
  bool ok = false;
  QString address = QInputDialog::getText(this, tr("Open Page"), tr("File or address:"), QLineEdit::Normal,
                                          addressBar_->text(), &ok);
  if (ok && !address.trimmed().isEmpty()) Load(address.trimmed(), HistoryStep::Add);
}

void PageWindow::OnReadyStateChange(platform::ReadyState state) {
  switch (state) {
    case platform::ReadyState::Loading:
      addressBar_->setText(QString::fromStdU16String(engine_.LocationURL()));
      break;
    case platform::ReadyState::Interactive:
    case platform::ReadyState::Complete:
      // Also at 4: the frames attached since 3 change the page's layout.
      view_->SetDocument(engine_.CurrentDocument());
      if (!pageArrived_) OnPageArrived();
      break;
    default:
      view_->SetDocument(engine_.CurrentDocument());  // stopped: nothing to show
      break;
  }
}

// The page of a navigation is in (or its error page): the history, address and title follow it.
void PageWindow::OnPageArrived() {
  pageArrived_ = true;
  std::u16string location = engine_.LocationURL();
  if (pendingStep_ == HistoryStep::Add || history_.empty()) {
    if (!history_.empty()) history_.resize(current_ + 1);
    history_.push_back(location);
    current_ = history_.size() - 1;
  } else {
    history_[current_] = location;  // a redirect or a reload that went elsewhere
  }
  pendingStep_ = HistoryStep::Stay;
  UpdateHistoryActions();

  addressBar_->setText(QString::fromStdU16String(location));
  std::shared_ptr<engine::Document> page = engine_.CurrentDocument();
  std::u16string title = page ? page->Title() : std::u16string();
  setWindowTitle(QString::fromStdU16String(title.empty() ? location : title));
}

void PageWindow::UpdateHistoryActions() {
  back_->setEnabled(!history_.empty() && current_ > 0);
  forward_->setEnabled(current_ + 1 < history_.size());
  reload_->setEnabled(!history_.empty());
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
  if (!engine_.Closed() && !DroppedAddress(*event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void PageWindow::dropEvent(QDropEvent* event) {
  QString address = DroppedAddress(*event->mimeData());
  if (address.isEmpty()) return;
  event->acceptProposedAction();
  Load(address, HistoryStep::Add);
}

}  // namespace lectryn::desktop
