#include "engine/load/PageWindow.h"

#include "engine/Document.h"
#include "platform/Failure.h"

namespace lectryn::engine {

PageWindow::PageWindow(platform::UiLoop& loop, LoadOptions options) : navigator_(loop, options) {}

void PageWindow::FailWhenClosed(const char* operation) const {
  if (closed_)
    throw platform::Failure(std::string("cannot ") + operation +
                            ": the page window was closed; open a new page window");
}

void PageWindow::navigate(const std::u16string& address) {
  FailWhenClosed("navigate");
  navigator_.Navigate(address);
}

void PageWindow::Refresh() {
  FailWhenClosed("reload");
  navigator_.Refresh();
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
}

std::u16string PageWindow::LastError() const {
  return navigator_.LastError();
}

void PageWindow::SetOnReadyStateChange(std::function<void(platform::ReadyState)> observer) {
  navigator_.SetOnReadyStateChange(std::move(observer));
}

}  // namespace lectryn::engine
