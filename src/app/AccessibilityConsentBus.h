#pragma once
// The desktop's accessibility switch on the session bus: the accessibility bus's org.a11y.Status
// IsEnabled, and GNOME's toolkit-accessibility setting where the desktop has that schema.
#include <QDBusConnection>

#include "app/AccessibilityConsent.h"

namespace lectryn::app {

class AccessibilityConsentBus : public DesktopAccessibility {
 public:
  explicit AccessibilityConsentBus(QDBusConnection session) : session_(std::move(session)) {}

  std::optional<bool> IsEnabled() override;
  std::optional<std::string> Enable() override;

 private:
  QDBusConnection session_;
};

}  // namespace lectryn::app
