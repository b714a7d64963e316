#include "desktop/DesktopBrowserControl.h"

#include "engine/Document.h"

namespace lectryn::desktop {

DesktopBrowserControl::DesktopBrowserControl(platform::UiLoop& loop, std::shared_ptr<QtFontMetrics> fonts,
                                             engine::LoadOptions options)
    : engine_(loop, options), view_(new PageView(std::move(fonts))) {
  view_->SetLinkHandler([this](const QString& address) { Navigate(address.toStdU16String()); });
  engine_.SetOnReadyStateChange([this](platform::ReadyState state) { OnReadyStateChange(state); });
}

DesktopBrowserControl::~DesktopBrowserControl() {
  if (!view_) return;
  // A click still queued for the view must not reach this control any more.
  view_->SetLinkHandler({});
  view_->hide();
  view_->deleteLater();
}

void DesktopBrowserControl::Navigate(const std::u16string& address) {
  engine_.Navigate(address);
}

void DesktopBrowserControl::Refresh() {
  engine_.Refresh();
}

std::u16string DesktopBrowserControl::LocationURL() {
  return engine_.LocationURL();
}

int32_t DesktopBrowserControl::ReadyState() {
  return engine_.ReadyState();
}

platform::DocumentPtr DesktopBrowserControl::Document() {
  return engine_.Document();
}

// The view shows the new page once it is parsed (3) and again when its frames are in (4); before
// that the old page stays.
void DesktopBrowserControl::OnReadyStateChange(platform::ReadyState state) {
  if (!view_ || state == platform::ReadyState::Loading) return;
  view_->SetDocument(engine_.CurrentDocument());
}

}  // namespace lectryn::desktop
