#include "desktop/FormWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "desktop/DroppedAddresses.h"
#include "desktop/PlatformKeys.h"
#include "desktop/QtPictures.h"

namespace lectryn::desktop {

// The client area: paints the form's picture and passes mouse input on its background to the form.
class ClientArea : public QWidget {
 public:
  explicit ClientArea(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }
  std::function<void(QPainter&)> onPaint;
  std::function<void(QMouseEvent*)> onMouse;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (onPaint) onPaint(painter);
  }
  // Qt keeps sending moves and the release here while a button is held, wherever the pointer is.
  void mousePressEvent(QMouseEvent* event) override { Forward(event); }
  void mouseMoveEvent(QMouseEvent* event) override { Forward(event); }
  void mouseReleaseEvent(QMouseEvent* event) override { Forward(event); }

 private:
  void Forward(QMouseEvent* event) {
    if (onMouse) onMouse(event);
    event->accept();
  }
};

FormWindow::FormWindow(forms::Form& form, int twipsPerPixel)
    : QWidget(nullptr), form_(form), twipsPerPixel_(twipsPerPixel) {
  setObjectName(QString::fromStdString(form.Name()));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  menuBar_ = new QMenuBar(this);
  menuBar_->setNativeMenuBar(false);  // the client area starts right below it, inside the window
  layout->setMenuBar(menuBar_);
  client_ = new ClientArea(this);
  layout->addWidget(client_);
  client_->onPaint = [this](QPainter& painter) {
    if (abandoned_) return;
    if (auto* picture = dynamic_cast<const QtPicture*>(form_.Picture().get()))
      painter.drawPixmap(0, 0, picture->Pixmap());
  };
  client_->onMouse = [this](QMouseEvent* event) { ForwardMouse(event); };

  menus_ = std::make_unique<FormMenus>(form, *menuBar_);
  BindControls();
  subscription_ =
      std::make_unique<ModelSubscription>(form, [this](forms::Property property) { Follow(property); });
  setWindowTitle(QString::fromStdU16String(form.Caption()));
  ApplyFlags();
  ApplyGeometry();
  qApp->installEventFilter(this);
  ApplyVisibility();
}

// The bindings go before the widgets they made; a borrowed browser view is handed back first.
FormWindow::~FormWindow() {
  bindings_.clear();
}

QWidget* FormWindow::ClientWidget() const {
  return client_;
}

void FormWindow::Abandon() {
  abandoned_ = true;
  subscription_->Abandon();
  menus_->Abandon();
  for (auto& binding : bindings_) binding->Abandon();
}

int FormWindow::Px(int twips) const {
  return PixelsOfTwips(twips, twipsPerPixel_);
}

// Labels inside a frame keep their places relative to it. The model does not say which frame a
// control lies in: a label after a frame that fits inside it is taken to be in it.
QPoint FormWindow::FrameOffsetOf(const forms::Control& control) const {
  if (!dynamic_cast<const forms::Label*>(&control)) return {};
  const forms::Frame* frame = nullptr;
  for (const forms::Control* other : form_.Controls()) {
    if (other == &control) break;
    if (auto* candidate = dynamic_cast<const forms::Frame*>(other)) frame = candidate;
  }
  if (!frame) return {};
  const forms::TwipsRect& inner = control.Position();
  const forms::TwipsRect& outer = frame->Position();
  if (inner.left + inner.width > outer.width || inner.top + inner.height > outer.height) return {};
  return {Px(outer.left), Px(outer.top)};
}

void FormWindow::BindControls() {
  for (forms::Control* control : form_.Controls()) {
    auto binding = BindControl(*control, {client_, FrameOffsetOf(*control), twipsPerPixel_});
    if (binding) bindings_.push_back(std::move(binding));
  }
  ApplyTabOrder();
}

void FormWindow::ApplyTabOrder() {
  std::vector<std::pair<int32_t, QWidget*>> order;
  for (const auto& binding : bindings_) {
    QWidget* widget = binding->Widget();
    if (widget && (widget->focusPolicy() & Qt::TabFocus))
      order.emplace_back(binding->Model().TabIndex(), widget);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t at = 1; at < order.size(); ++at) QWidget::setTabOrder(order[at - 1].second, order[at].second);
  // A label's access key reaches the control after it in tab order; Qt shows the key once the
  // label has that buddy, and an ampersand as it is in a label without one.
  for (const auto& binding : bindings_) {
    auto* label = dynamic_cast<const forms::Label*>(&binding->Model());
    auto* widget = qobject_cast<QLabel*>(binding->Widget());
    if (!label || !widget || !label->UseMnemonic()) continue;
    auto next = std::find_if(order.begin(), order.end(),
                             [&](const auto& entry) { return entry.first > label->TabIndex(); });
    widget->setBuddy(next == order.end() ? nullptr : next->second);
  }
}

void FormWindow::Follow(forms::Property property) {
  switch (property) {
    case forms::Property::Caption:
      setWindowTitle(QString::fromStdU16String(form_.Caption()));
      break;
    case forms::Property::Position:
      ApplyGeometry();
      break;
    case forms::Property::Visible:
    case forms::Property::Loaded:
      ApplyVisibility();
      break;
    case forms::Property::TopMost:
      ApplyFlags();
      break;
    case forms::Property::Picture:
      client_->update();
      break;
    default:
      break;  // key preview and scale mode are read when input arrives
  }
}

QMargins FormWindow::FrameMargins() const {
  QRect frame = frameGeometry();
  QRect inner = geometry();
  return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
          frame.bottom() - inner.bottom()};
}

// What the models' outer heights allow for a title bar with its frame, and for a menu bar, at 96 DPI.
constexpr int kModelTitleBarPx = 30;
constexpr int kModelMenuBarPx = 20;
// Between an owner and the window placed below it.
constexpr int kOwnedGapPx = 8;

// The window's size (without the window manager's frame) that the model's size stands for. Width
// and Height are outer sizes that count a title bar of their own: the client area is what the form
// was laid out for, whatever frame a window manager draws around it. A client size, when the
// form has one, wins.
QSize FormWindow::ModelSize() const {
  if (form_.ClientWidth() > 0 && form_.ClientHeight() > 0) {
    int width = Px(form_.ClientWidth());
    return QSize(width, Px(form_.ClientHeight()) + MenuBarPx(width));
  }
  int width = Px(form_.Width());
  return QSize(width, Px(form_.Height()) - ModelChromePx() + MenuBarPx(width)).expandedTo(QSize(1, 1));
}

// The height the window's layout gives the menu bar: its height for the window's width, which some
// styles make a pixel more than its size hint, and never less than the hint.
int FormWindow::MenuBarPx(int windowWidthPx) const {
  if (menuBar_->isHidden()) return 0;
  int forWidth = menuBar_->heightForWidth(std::max(windowWidthPx, menuBar_->minimumWidth()));
  return std::max(forWidth, menuBar_->sizeHint().height());
}

int FormWindow::ModelChromePx() const {
  return kModelTitleBarPx + (menuBar_->isHidden() ? 0 : kModelMenuBarPx);
}

void FormWindow::ApplyGeometry() {
  QScopedValueRollback guard(applying_, true);
  knownMargins_ = FrameMargins();
  resize(ModelSize());
  move(Px(form_.Left()), Px(form_.Top()));  // a top-level's position is its frame's
}

void FormWindow::ApplyFlags() {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (form_.MinButton()) flags |= Qt::WindowMinimizeButtonHint;
  if (form_.MaxButton()) flags |= Qt::WindowMaximizeButtonHint;
  if (form_.TopMost()) flags |= Qt::WindowStaysOnTopHint;
  if (flags == windowFlags()) return;
  // New flags hide a shown window: show it again at its place.
  bool wasVisible = isVisible();
  QScopedValueRollback guard(applying_, true);
  setWindowFlags(flags);
  if (wasVisible) {
    ApplyGeometry();
    show();
  }
}

void FormWindow::ApplyVisibility() {
  if (abandoned_) return;
  bool shown = form_.Loaded() && form_.Visible();
  if (shown == isVisible()) return;
  {
    QScopedValueRollback guard(applying_, true);
    if (shown)
      Show();
    else
      hide();
  }
  if (onShown) onShown(shown);
}

void FormWindow::Show() {
  menus_->Sync();
  ApplyFlags();
  ApplyTabOrder();
  setAcceptDrops(static_cast<bool>(form_.Form_Drop));
  setWindowModality(form_.IsModal() ? Qt::ApplicationModal : Qt::NonModal);
  QWidget* owner = form_.Owner() && windowOf ? windowOf(*form_.Owner()) : nullptr;
  (void)winId();  // a native window to give the owner to
  if (owner && owner->windowHandle()) windowHandle()->setTransientParent(owner->windowHandle());
  ApplyGeometry();
  if (!placed_) PlaceByOwner();
  show();
  raise();
  activateWindow();
}

// A form that starts centred on its owner (the screen without one) goes there once. An owned form
// that was never given a place opens just below its owner, where it hides neither the owner nor,
// beside it, the page being read.
void FormWindow::PlaceByOwner() {
  placed_ = true;
  QWidget* owner = form_.Owner() && windowOf ? windowOf(*form_.Owner()) : nullptr;
  if (form_.GetStartUpPosition() != forms::StartUpPosition::CenterOwner) {
    if (owner && form_.Left() == 0 && form_.Top() == 0) {
      QRect below = owner->frameGeometry();
      form_.Move(below.left() * twipsPerPixel_, (below.bottom() + 1 + kOwnedGapPx) * twipsPerPixel_);
    }
    return;
  }
  QRect around = owner ? owner->frameGeometry() : screen()->availableGeometry();
  QSize outer = frameGeometry().size();
  QPoint topLeft = around.center() - QPoint(outer.width() / 2, outer.height() / 2);
  // Centred on a small owner near the screen's edge, a larger window would start off the screen.
  QRect screenArea = (owner ? owner->screen() : screen())->availableGeometry();
  topLeft.setX(std::max(screenArea.left(), std::min(topLeft.x(), screenArea.right() + 1 - outer.width())));
  topLeft.setY(std::max(screenArea.top(), std::min(topLeft.y(), screenArea.bottom() + 1 - outer.height())));
  form_.Move(topLeft.x() * twipsPerPixel_, topLeft.y() * twipsPerPixel_);  // moves the window too
}

// The user moved or sized the window: the model learns its place. A change of frame (the window
// manager framed the window) only refits the window to the model.
void FormWindow::WriteBackPlace() {
  if (applying_ || abandoned_ || !isVisible()) return;
  if (FrameMargins() != knownMargins_) {
    ApplyGeometry();
    return;
  }
  QPoint place = frameGeometry().topLeft();
  if (place.x() != Px(form_.Left()) || place.y() != Px(form_.Top()))
    form_.Move(place.x() * twipsPerPixel_, place.y() * twipsPerPixel_);
  if (size() != ModelSize()) {
    // The client size first: while the form has one, it decides the window's size.
    if (form_.ClientWidth() > 0)
      form_.SetClientSize(client_->width() * twipsPerPixel_, client_->height() * twipsPerPixel_);
    form_.Resize(width() * twipsPerPixel_,
                 (height() - MenuBarPx(width()) + ModelChromePx()) * twipsPerPixel_);
  }
}

void FormWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  WriteBackPlace();
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  WriteBackPlace();
}

// Key preview: the form sees a key's release before the control with the focus does.
bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyRelease || abandoned_ || !form_.KeyPreview()) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return false;
  // Only the first receiver: a release passed on to the parents is the same stroke.
  QWidget* focus = QApplication::focusWidget();
  if (widget != (focus && focus->window() == this ? focus : this)) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  int32_t code = PlatformKeyCode(key->key());
  if (code != 0 && !key->isAutoRepeat()) form_.KeyUp(code, PlatformShift(key->modifiers()));
  return false;
}

// Keys no control took: menu shortcuts, then Enter and Escape for the default and cancel buttons.
void FormWindow::keyPressEvent(QKeyEvent* event) {
  forms::Shortcut key = PlatformShortcut(event->key(), event->modifiers());
  if (!abandoned_ && !key.None() && form_.PressKey(key)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void FormWindow::closeEvent(QCloseEvent* event) {
  if (abandoned_ || !form_.Loaded() || form_.Unload())
    event->accept();
  else
    event->ignore();  // Form_Unload cancelled
}

void FormWindow::ForwardMouse(QMouseEvent* event) {
  if (abandoned_) return;
  bool twips = form_.GetScaleMode() == forms::ScaleMode::Twips;
  float scale = twips ? static_cast<float>(twipsPerPixel_) : 1.0f;
  float x = static_cast<float>(event->position().x()) * scale;
  float y = static_cast<float>(event->position().y()) * scale;
  int16_t shift = PlatformShift(event->modifiers());
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      form_.MouseDown(PlatformButtons(event->button()), shift, x, y);
      break;
    case QEvent::MouseMove:
      form_.MouseMove(PlatformButtons(event->buttons()), shift, x, y);
      break;
    case QEvent::MouseButtonRelease:
      form_.MouseUp(PlatformButtons(event->button()), shift, x, y);
      break;
    default:
      break;
  }
}

void FormWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!abandoned_ && form_.Form_Drop && !DroppedAddresses(*event->mimeData()).empty())
    event->acceptProposedAction();
}

void FormWindow::dropEvent(QDropEvent* event) {
  if (abandoned_) return;
  std::vector<std::u16string> addresses = DroppedAddresses(*event->mimeData());
  event->acceptProposedAction();
  if (!addresses.empty()) form_.Drop(addresses);
}

}  // namespace lectryn::desktop
