#include "engine/load/BrowserControl.h"

#include "engine/Document.h"

namespace lectryn::engine {

BrowserControl::BrowserControl(platform::UiLoop& loop, LoadOptions options) : navigator_(loop, options) {}

void BrowserControl::Navigate(const std::u16string& address) {
  navigator_.Navigate(address);
}

void BrowserControl::Refresh() {
  navigator_.Refresh();
}

std::u16string BrowserControl::LocationURL() {
  return navigator_.LocationURL();
}

int32_t BrowserControl::ReadyState() {
  return static_cast<int32_t>(navigator_.State());
}

platform::DocumentPtr BrowserControl::Document() {
  return navigator_.CurrentDocument();
}

std::u16string BrowserControl::LastError() const {
  return navigator_.LastError();
}

void BrowserControl::SetOnReadyStateChange(std::function<void(platform::ReadyState)> observer) {
  navigator_.SetOnReadyStateChange(std::move(observer));
}

}  // namespace lectryn::engine
