#include "desktop/DesktopBrowserObjects.h"

#include <QApplication>
#include <QScreen>

#include "desktop/WindowPlacement.h"
#include "engine/Document.h"

namespace lectryn::desktop {

namespace {

constexpr char kPageWindowName[] = "page";
constexpr int kWindowGapPx = 8;
constexpr int kMinimumPageWidthPx = 480;
constexpr int kMinimumPageHeightPx = 360;

platform::RECT ScreenRectOf(const QRect& rect) {
  return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

}  // namespace

void PlaceFreeOfProgramWindows(QWidget* anchor, QWidget& window) {
  QScreen* screen = anchor && anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  std::vector<platform::RECT> taken;
  for (QWidget* other : QApplication::topLevelWidgets()) {
    Qt::WindowType type = other->windowType();
    if (other == &window || !other->isVisible() || type == Qt::Popup || type == Qt::ToolTip ||
        type == Qt::Desktop)
      continue;
    taken.push_back(ScreenRectOf(other->frameGeometry()));
  }
  // The new window's frame is not known before it is shown: the anchor's stands in for it.
  QMargins frame;
  QPoint corner = screen->availableGeometry().topLeft();
  platform::RECT beside{corner.x(), corner.y(), corner.x(), corner.y()};
  if (anchor) {
    QRect outer = anchor->frameGeometry();
    QRect inner = anchor->geometry();
    frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                     outer.bottom() - inner.bottom());
    beside = ScreenRectOf(outer);
  }
  int frameWidth = frame.left() + frame.right();
  int frameHeight = frame.top() + frame.bottom();
  WindowSizes sizes{window.width() + frameWidth, window.height() + frameHeight,
                    kMinimumPageWidthPx + frameWidth, kMinimumPageHeightPx + frameHeight};
  platform::RECT place =
      PlaceNewWindow(ScreenRectOf(screen->availableGeometry()), taken, beside, sizes, kWindowGapPx);
  window.resize(place.right - place.left - frameWidth, place.bottom - place.top - frameHeight);
  window.move(place.left, place.top);  // a window's position is its frame's
}

DesktopBrowserObjects::DesktopBrowserObjects(platform::UiLoop& loop, WindowRegistry& registry,
                                             std::shared_ptr<QtFontMetrics> fonts,
                                             engine::LoadOptions options)
    : loop_(loop),
      registry_(registry),
      fonts_(std::move(fonts)),
      options_(options),
      onWindowShown_(std::make_shared<std::function<void(const std::string&, bool)>>()) {}

std::shared_ptr<platform::BrowserApplication> DesktopBrowserObjects::CreateApplication() {
  return NewPageWindow();
}

std::shared_ptr<platform::WebBrowser> DesktopBrowserObjects::CreateControl() {
  return NewControl();
}

std::shared_ptr<PageWindow> DesktopBrowserObjects::NewPageWindow() {
  std::shared_ptr<PageWindow> window = PageWindow::Create(loop_, fonts_, options_);
  registry_.Register(WindowEntry{window.get(), kPageWindowClass, nullptr, nullptr, {}});
  RegisterView(window->View());
  std::weak_ptr<std::function<void(const std::string&, bool)>> told = onWindowShown_;
  window->SetOnShown([told](bool shown) {
    if (auto onWindowShown = told.lock(); onWindowShown && *onWindowShown)
      (*onWindowShown)(kPageWindowName, shown);
  });
  window->SetPlacement(place_);
  if (saveReading_) window->SetOnSaveReading(saveReading_);
  std::erase_if(windows_, [](const QPointer<PageWindow>& known) { return known.isNull(); });
  windows_.emplace_back(window.get());
  return window;
}

void DesktopBrowserObjects::PlaceBeside(std::function<QWidget*()> anchor) {
  place_ = [anchor = std::move(anchor)](PageWindow& window) { PlaceFreeOfProgramWindows(anchor(), window); };
}

std::shared_ptr<DesktopBrowserControl> DesktopBrowserObjects::NewControl() {
  auto control = std::make_shared<DesktopBrowserControl>(loop_, fonts_, options_);
  RegisterView(control->Page());
  return control;
}

std::shared_ptr<PageWindow> DesktopBrowserObjects::OpenPageWindow(const std::u16string& address) {
  std::shared_ptr<PageWindow> window = NewPageWindow();
  window->navigate(address);
  window->put_Visible(true);
  return window;
}

std::vector<PageWindow*> DesktopBrowserObjects::PageWindows() {
  std::vector<PageWindow*> windows;
  for (const QPointer<PageWindow>& window : windows_)
    if (window) windows.push_back(window);
  return windows;
}

void DesktopBrowserObjects::SetOnWindowShown(std::function<void(const std::string&, bool)> onWindowShown) {
  *onWindowShown_ = std::move(onWindowShown);
}

// The view answers for the page it shows now; a page already replaced counts as none.
void DesktopBrowserObjects::RegisterView(PageView* view) {
  QPointer<PageView> shown(view);
  auto document = [shown]() -> platform::DocumentPtr {
    if (!shown || !shown->Document() || shown->Document()->Discarded()) return nullptr;
    return shown->Document();
  };
  registry_.Register(WindowEntry{view, kPageViewClass, nullptr, view, std::move(document)});
}

}  // namespace lectryn::desktop
