#include "desktop/QtFormHost.h"

#include <QEventLoop>

#include "desktop/ModelSubscription.h"

namespace lectryn::desktop {

QtFormHost::QtFormHost(WindowRegistry& registry, int twipsPerPixel)
    : registry_(registry), twipsPerPixel_(twipsPerPixel) {}

QtFormHost::~QtFormHost() {
  for (auto& [form, window] : windows_) delete window.data();
  for (auto& window : retired_) delete window.data();
}

void QtFormHost::Loading(forms::Form& form) {
  if (WindowOf(form)) return;
  auto* window = new FormWindow(form, twipsPerPixel_);
  window->windowOf = [this](const forms::Form& other) -> QWidget* { return WindowOf(other); };
  window->onShown = [this, &form](bool shown) {
    if (onShown) onShown(form, shown);
  };
  windows_[&form] = window;
  platform::HWND handle = registry_.Register({window, kFormClass, window->ClientWidget(), nullptr, {}});
  if (form.hWnd() == 0) form.SetHWnd(handle);
}

void QtFormHost::Forget(forms::Form& form) {
  auto found = windows_.find(&form);
  if (found == windows_.end()) return;
  QPointer<FormWindow> window = found->second;
  windows_.erase(found);
  if (!window) return;
  // The form's own controls are gone already: the window lets go of them untouched.
  window->Abandon();
  if (platform::HWND handle = registry_.HandleOf(window)) registry_.Unregister(handle);
  window->hide();
  window->deleteLater();
  retired_.push_back(window);
  std::erase_if(retired_, [](const QPointer<FormWindow>& pending) { return pending.isNull(); });
}

// The window was shown (modal) when the model became visible; the loop ends once the form unloads,
// by its own code or by the window's close button.
void QtFormHost::RunModal(forms::Form& form) {
  if (!form.Loaded()) return;
  QEventLoop loop;
  ModelSubscription watch(form, [&](forms::Property property) {
    if (property == forms::Property::Loaded && !form.Loaded()) loop.quit();
  });
  if (FormWindow* window = WindowOf(form))
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::DialogExec);
}

FormWindow* QtFormHost::WindowOf(const forms::Form& form) const {
  auto found = windows_.find(&form);
  return found == windows_.end() ? nullptr : found->second.data();
}

}  // namespace lectryn::desktop
