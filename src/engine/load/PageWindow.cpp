#include "engine/load/PageWindow.h"

#include "engine/Document.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::engine {

PageWindow::PageWindow(platform::UiLoop& loop, LoadOptions options) : navigator_(loop, options) {
  navigator_.SetOnReadyStateChange([this](platform::ReadyState state) { OnReadyStateChange(state); });
}

void PageWindow::FailWhenClosed(const char* operation) const {
  if (closed_)
    throw platform::Failure(std::string("cannot ") + operation +
                            ": the page window was closed; open a new page window");
}

void PageWindow::navigate(const std::u16string& address) {
  FailWhenClosed("navigate");
  history_.StartNew();
  navigator_.Navigate(address);
}

bool PageWindow::Open(std::u16string_view address) {
  std::u16string_view trimmed = platform::TrimAsciiSpace(address);
  if (closed_ || trimmed.empty()) return false;
  history_.StartNew();
  navigator_.Navigate(std::u16string(trimmed));
  return true;
}

void PageWindow::GoBack() {
  if (closed_) return;
  if (std::optional<std::u16string> address = history_.StartBack()) {
    TellHistoryChanged();
    navigator_.Navigate(*address);
  }
}

void PageWindow::GoForward() {
  if (closed_) return;
  if (std::optional<std::u16string> address = history_.StartForward()) {
    TellHistoryChanged();
    navigator_.Navigate(*address);
  }
}

void PageWindow::Reload() {
  if (!CanReload()) return;
  history_.StartReload();
  navigator_.Refresh();
}

std::u16string PageWindow::Title() const {
  std::shared_ptr<Document> page = navigator_.CurrentDocument();
  std::u16string title = page ? page->Title() : std::u16string();
  return title.empty() ? navigator_.LocationURL() : title;
}

void PageWindow::put_MenuBar(bool shown) {
  FailWhenClosed("set MenuBar");
  menuBar_ = shown;
}

void PageWindow::put_ToolBar(int32_t shown) {
  FailWhenClosed("set ToolBar");
  toolBar_ = shown;
}

void PageWindow::put_Visible(bool visible) {
  FailWhenClosed("set Visible");
  visible_ = visible;
}

int32_t PageWindow::readyState() {
  FailWhenClosed("read readyState");
  return static_cast<int32_t>(navigator_.State());
}

platform::DocumentPtr PageWindow::document() {
  FailWhenClosed("read document");
  return navigator_.CurrentDocument();
}

void PageWindow::Close() {
  if (closed_) return;
  navigator_.Stop();
  closed_ = true;
  visible_ = false;
  TellHistoryChanged();
}

std::u16string PageWindow::LastError() const {
  return navigator_.LastError();
}

void PageWindow::SetOnReadyStateChange(std::function<void(platform::ReadyState)> observer) {
  onReadyStateChange_ = std::move(observer);
}

// The history follows a page when it is in (state 3, also for an error page), before observers of
// the state look at the window.
void PageWindow::OnReadyStateChange(platform::ReadyState state) {
  bool arrived = state == platform::ReadyState::Interactive || state == platform::ReadyState::Complete;
  if (arrived && history_.PageArrived(navigator_.LocationURL())) TellHistoryChanged();
  if (onReadyStateChange_) onReadyStateChange_(state);
}

void PageWindow::TellHistoryChanged() const {
  if (onHistoryChange_) onHistoryChange_();
}

}  // namespace lectryn::engine
