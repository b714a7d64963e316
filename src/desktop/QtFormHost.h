#pragma once
// Makes the window of every form it hosts, registers it for the window-system calls and runs modal
// forms in a nested event loop.
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

#include "desktop/FormWindow.h"
#include "desktop/WindowRegistry.h"
#include "forms/Form.h"

namespace lectryn::desktop {

class QtFormHost : public forms::FormHost {
 public:
  // `twipsPerPixel`: 15 at the platform's 96 DPI.
  explicit QtFormHost(WindowRegistry& registry, int twipsPerPixel = 15);
  ~QtFormHost() override;
  QtFormHost(const QtFormHost&) = delete;
  QtFormHost& operator=(const QtFormHost&) = delete;

  void RunModal(forms::Form& form) override;
  void Loading(forms::Form& form) override;
  void Forget(forms::Form& form) override;

  // Null for a form this host has no window for.
  FormWindow* WindowOf(const forms::Form& form) const;

  // Told whenever a form's window is shown or hidden because its model says so.
  std::function<void(const forms::Form& form, bool shown)> onShown;

 private:
  WindowRegistry& registry_;
  int twipsPerPixel_;
  std::map<const forms::Form*, QPointer<FormWindow>> windows_;
  // Windows of destroyed forms wait for the event loop, as the destruction may come from inside
  // their own events; whatever is still waiting goes with the host.
  std::vector<QPointer<FormWindow>> retired_;
};

}  // namespace lectryn::desktop
