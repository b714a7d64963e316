#include "app/AccessibilityConsentBus.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QProcess>

namespace lectryn::app {

namespace {

// The bus's launcher starts on demand; a desktop without one answers at once with an error.
constexpr int kBusTimeoutMs = 3000;

// Get or Set of the switch, a property of the accessibility bus's launcher.
QDBusMessage SwitchCall(const char* method) {
  QDBusMessage call = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus",
                                                     "org.freedesktop.DBus.Properties", method);
  call << QString("org.a11y.Status") << QString("IsEnabled");
  return call;
}

constexpr int kSettingsTimeoutMs = 5000;
constexpr char kInterfaceSchema[] = "org.gnome.desktop.interface";

// gsettings ARGUMENTS; its standard output when it ran and succeeded.
std::optional<QString> Gsettings(const QStringList& arguments) {
  QProcess process;
  process.start("gsettings", arguments);
  if (!process.waitForFinished(kSettingsTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    process.kill();
    process.waitForFinished(kSettingsTimeoutMs);
    return std::nullopt;
  }
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// GNOME's own switch, which its session hands to the bus at the next login; other desktops do
// not have the schema and keep only the bus's.
void EnableGnomeSetting() {
  std::optional<QString> schemas = Gsettings({"list-schemas"});
  if (!schemas || !schemas->split('\n').contains(kInterfaceSchema)) return;
  Gsettings({"set", kInterfaceSchema, "toolkit-accessibility", "true"});
}

}  // namespace

std::optional<bool> AccessibilityConsentBus::IsEnabled() {
  if (!session_.isConnected()) return std::nullopt;
  QDBusReply<QDBusVariant> reply = session_.call(SwitchCall("Get"), QDBus::Block, kBusTimeoutMs);
  if (!reply.isValid()) return std::nullopt;
  QVariant value = reply.value().variant();
  if (value.typeId() != QMetaType::Bool) return std::nullopt;
  return value.toBool();
}

std::optional<std::string> AccessibilityConsentBus::Enable() {
  if (!session_.isConnected()) return "there is no session bus";
  QDBusMessage set = SwitchCall("Set");
  set << QVariant::fromValue(QDBusVariant(true));
  QDBusMessage reply = session_.call(set, QDBus::Block, kBusTimeoutMs);
  if (reply.type() == QDBusMessage::ErrorMessage)
    return "the accessibility bus refused (" + reply.errorMessage().toStdString() + ")";
  EnableGnomeSetting();
  return std::nullopt;
}

}  // namespace lectryn::app
