#include "desktop/MediaPlayerBus.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMetaObject>
#include <QStringList>
#include <cmath>

namespace lectryn::desktop {

namespace {

constexpr char kRootInterface[] = "org.mpris.MediaPlayer2";
constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
constexpr char kPropertiesInterface[] = "org.freedesktop.DBus.Properties";
constexpr char kTrackPrefix[] = "/org/lectryn/Lectryn/Reading/";
// The track id of "no track".
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

using Shown = MediaPlayerBus::Shown;

bool Reading(const Shown& shown) {
  return shown.state.status != PlaybackStatus::Stopped;
}

QString StatusName(PlaybackStatus status) {
  switch (status) {
    case PlaybackStatus::Playing:
      return QStringLiteral("Playing");
    case PlaybackStatus::Paused:
      return QStringLiteral("Paused");
    case PlaybackStatus::Stopped:
      break;
  }
  return QStringLiteral("Stopped");
}

QVariantMap Metadata(const Shown& shown) {
  QVariantMap metadata;
  if (shown.state.title.empty()) {
    metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
    return metadata;
  }
  metadata.insert(QStringLiteral("mpris:trackid"),
                  QVariant::fromValue(QDBusObjectPath(kTrackPrefix + QString::number(shown.track))));
  metadata.insert(QStringLiteral("xesam:title"), QString::fromStdU16String(shown.state.title));
  return metadata;
}

enum class Access { Read, ReadWrite };

struct PropertyInfo {
  const char* interface;
  const char* name;
  const char* signature;
  Access access;
  QVariant (*value)(const Shown& shown);
};

// Every property of the player: what introspection lists, Get and GetAll answer and
// PropertiesChanged compares. Rate is the one that can be set.
const PropertyInfo kProperties[] = {
    {kRootInterface, "CanQuit", "b", Access::Read, [](const Shown&) { return QVariant(false); }},
    {kRootInterface, "CanRaise", "b", Access::Read, [](const Shown&) { return QVariant(true); }},
    {kRootInterface, "HasTrackList", "b", Access::Read, [](const Shown&) { return QVariant(false); }},
    {kRootInterface, "Identity", "s", Access::Read,
     [](const Shown&) { return QVariant(QStringLiteral("Lectryn")); }},
    {kRootInterface, "DesktopEntry", "s", Access::Read,
     [](const Shown&) { return QVariant(QStringLiteral("lectryn")); }},
    {kRootInterface, "SupportedUriSchemes", "as", Access::Read,
     [](const Shown&) { return QVariant(QStringList()); }},
    {kRootInterface, "SupportedMimeTypes", "as", Access::Read,
     [](const Shown&) { return QVariant(QStringList()); }},
    {kPlayerInterface, "PlaybackStatus", "s", Access::Read,
     [](const Shown& shown) { return QVariant(StatusName(shown.state.status)); }},
    {kPlayerInterface, "Rate", "d", Access::ReadWrite,
     [](const Shown& shown) { return QVariant(shown.state.rate); }},
    {kPlayerInterface, "MinimumRate", "d", Access::Read,
     [](const Shown& shown) { return QVariant(shown.state.minimumRate); }},
    {kPlayerInterface, "MaximumRate", "d", Access::Read,
     [](const Shown& shown) { return QVariant(shown.state.maximumRate); }},
    {kPlayerInterface, "Metadata", "a{sv}", Access::Read,
     [](const Shown& shown) { return QVariant(Metadata(shown)); }},
    // The reading has no volume of its own: the sound server's is the one to turn.
    {kPlayerInterface, "Volume", "d", Access::Read, [](const Shown&) { return QVariant(1.0); }},
    // Positions in a page read aloud are words, not times: there is no seeking.
    {kPlayerInterface, "Position", "x", Access::Read, [](const Shown&) { return QVariant(qlonglong(0)); }},
    {kPlayerInterface, "CanGoNext", "b", Access::Read,
     [](const Shown& shown) { return QVariant(Reading(shown)); }},
    {kPlayerInterface, "CanGoPrevious", "b", Access::Read,
     [](const Shown& shown) { return QVariant(Reading(shown)); }},
    {kPlayerInterface, "CanPlay", "b", Access::Read,
     [](const Shown& shown) { return QVariant(shown.state.canPlay); }},
    {kPlayerInterface, "CanPause", "b", Access::Read,
     [](const Shown& shown) { return QVariant(Reading(shown)); }},
    {kPlayerInterface, "CanSeek", "b", Access::Read, [](const Shown&) { return QVariant(false); }},
    {kPlayerInterface, "CanControl", "b", Access::Read, [](const Shown&) { return QVariant(true); }},
};

// What a request does, given the state it finds.
using Request = void (*)(MediaControls& controls, const Shown& shown);

template <void (MediaControls::*command)()>
void Command(MediaControls& controls, const Shown&) {
  (controls.*command)();
}

void PlayOrPause(MediaControls& controls, const Shown& shown) {
  if (shown.state.status == PlaybackStatus::Playing) {
    controls.Pause();
  } else {
    controls.Play();
  }
}

void Nothing(MediaControls&, const Shown&) {}

enum class Supported { Yes, No };

struct MethodInfo {
  const char* interface;
  const char* name;
  const char* signature;  // of the arguments taken
  const char* arguments;  // their introspection
  Request run;
  Supported supported = Supported::Yes;
};

const MethodInfo kMethods[] = {
    {kRootInterface, "Raise", "", "", Command<&MediaControls::Raise>},
    // The program ends from its own window only.
    {kRootInterface, "Quit", "", "", Nothing},
    {kPlayerInterface, "Next", "", "", Command<&MediaControls::NextSentence>},
    {kPlayerInterface, "Previous", "", "", Command<&MediaControls::PreviousSentence>},
    {kPlayerInterface, "Pause", "", "", Command<&MediaControls::Pause>},
    {kPlayerInterface, "PlayPause", "", "", PlayOrPause},
    {kPlayerInterface, "Stop", "", "", Command<&MediaControls::Stop>},
    {kPlayerInterface, "Play", "", "", Command<&MediaControls::Play>},
    {kPlayerInterface, "Seek", "x", "<arg name=\"Offset\" type=\"x\" direction=\"in\"/>", Nothing},
    {kPlayerInterface, "SetPosition", "ox",
     "<arg name=\"TrackId\" type=\"o\" direction=\"in\"/><arg name=\"Position\" type=\"x\" "
     "direction=\"in\"/>",
     Nothing},
    {kPlayerInterface, "OpenUri", "s", "<arg name=\"Uri\" type=\"s\" direction=\"in\"/>", Nothing,
     Supported::No},
};

const PropertyInfo* FindProperty(const QString& interface, const QString& name) {
  for (const PropertyInfo& property : kProperties)
    if (interface == QLatin1String(property.interface) && name == QLatin1String(property.name))
      return &property;
  return nullptr;
}

QDBusMessage ErrorReply(const QDBusMessage& message, const char* name, const QString& text) {
  return message.createErrorReply(QString::fromLatin1(name), text);
}

}  // namespace

MediaPlayerBus::MediaPlayerBus(MediaControls& controls, QDBusConnection connection)
    : controls_(controls), connection_(std::move(connection)) {}

MediaPlayerBus::~MediaPlayerBus() {
  controls_.Watch({});
  if (!serviceName_.isEmpty()) connection_.unregisterService(serviceName_);
  if (objectRegistered_) connection_.unregisterObject(kObjectPath);
}

std::optional<std::string> MediaPlayerBus::Register() {
  if (!connection_.isConnected())
    return "no media keys: cannot reach the session bus (" + connection_.lastError().message().toStdString() +
           ")";
  if (!connection_.registerVirtualObject(kObjectPath, this))
    return "no media keys: the player's object is taken";
  objectRegistered_ = true;
  // Qt asks for the name without replacing its owner, and this name allows no replacement either.
  for (const QString& name :
       {QString(kServiceName), kServiceName + QStringLiteral(".instance") + QString::number(getpid())}) {
    if (connection_.registerService(name)) {
      serviceName_ = name;
      break;
    }
  }
  if (serviceName_.isEmpty()) {
    connection_.unregisterObject(kObjectPath);
    objectRegistered_ = false;
    return "no media keys: the session bus refused the name " + std::string(kServiceName);
  }
  signalled_ = PlayerValues();
  controls_.Watch([this] { ScheduleSignal(); });
  return std::nullopt;
}

MediaPlayerBus::Shown MediaPlayerBus::Take() {
  Shown shown{controls_.State(), track_};
  if (!shown.state.title.empty() && shown.state.title != trackTitle_) {
    trackTitle_ = shown.state.title;
    shown.track = ++track_;
  }
  return shown;
}

QVariantMap MediaPlayerBus::PlayerValues() {
  Shown shown = Take();
  QVariantMap values;
  for (const PropertyInfo& property : kProperties)
    if (property.interface == std::string_view(kPlayerInterface))
      values.insert(property.name, property.value(shown));
  return values;
}

// The controls tell of each step of a command (a new voice, then its first words): one signal
// after the command has done all of them.
void MediaPlayerBus::ScheduleSignal() {
  if (signalPending_) return;
  signalPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        signalPending_ = false;
        SignalChanges();
      },
      Qt::QueuedConnection);
}

void MediaPlayerBus::SignalChanges() {
  QVariantMap now = PlayerValues();
  QVariantMap changed;
  for (auto it = now.cbegin(); it != now.cend(); ++it)
    if (signalled_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
  signalled_ = now;
  if (changed.isEmpty()) return;
  QDBusMessage signal =
      QDBusMessage::createSignal(kObjectPath, QString::fromLatin1(kPropertiesInterface), "PropertiesChanged");
  signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
  connection_.send(signal);
}

QString MediaPlayerBus::introspect(const QString& /*path*/) const {
  QString xml;
  for (const char* interface : {kRootInterface, kPlayerInterface}) {
    xml += QStringLiteral("<interface name=\"%1\">\n").arg(interface);
    for (const MethodInfo& method : kMethods)
      if (method.interface == std::string_view(interface))
        xml += QStringLiteral("<method name=\"%1\">%2</method>\n").arg(method.name, method.arguments);
    if (interface == std::string_view(kPlayerInterface))
      xml += QStringLiteral("<signal name=\"Seeked\"><arg name=\"Position\" type=\"x\"/></signal>\n");
    for (const PropertyInfo& property : kProperties)
      if (property.interface == std::string_view(interface))
        xml += QStringLiteral("<property name=\"%1\" type=\"%2\" access=\"%3\"/>\n")
                   .arg(property.name, property.signature,
                        property.access == Access::ReadWrite ? "readwrite" : "read");
    xml += QStringLiteral("</interface>\n");
  }
  return xml;
}

bool MediaPlayerBus::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.type() != QDBusMessage::MethodCallMessage) return false;
  QDBusMessage reply;
  if (message.interface() == QLatin1String(kPropertiesInterface)) {
    reply = CallProperties(message);
  } else {
    reply = CallMethod(message);
  }
  // Introspection and the bus's own interfaces are Qt's.
  if (reply.type() == QDBusMessage::InvalidMessage) return false;
  if (message.isReplyRequired()) connection.send(reply);
  return true;
}

QDBusMessage MediaPlayerBus::CallMethod(const QDBusMessage& message) {
  for (const MethodInfo& method : kMethods) {
    if (message.member() != QLatin1String(method.name)) continue;
    // A call without an interface names a method of any of them.
    if (!message.interface().isEmpty() && message.interface() != QLatin1String(method.interface)) continue;
    if (message.signature() != QLatin1String(method.signature))
      return ErrorReply(message, "org.freedesktop.DBus.Error.InvalidArgs",
                        QStringLiteral("%1 takes (%2)").arg(method.name, method.signature));
    if (method.supported == Supported::No)
      return ErrorReply(message, "org.freedesktop.DBus.Error.NotSupported",
                        QStringLiteral("%1 is not supported").arg(method.name));
    method.run(controls_, Take());
    return message.createReply();
  }
  if (message.interface() != QLatin1String(kRootInterface) &&
      message.interface() != QLatin1String(kPlayerInterface))
    return {};
  return ErrorReply(message, "org.freedesktop.DBus.Error.UnknownMethod",
                    QStringLiteral("no method %1 in %2").arg(message.member(), message.interface()));
}

QDBusMessage MediaPlayerBus::CallProperties(const QDBusMessage& message) {
  const QList<QVariant> arguments = message.arguments();
  QString interface = arguments.value(0).toString();
  if (message.member() == QLatin1String("GetAll") && message.signature() == QLatin1String("s")) {
    Shown shown = Take();
    QVariantMap values;
    for (const PropertyInfo& property : kProperties)
      if (interface == QLatin1String(property.interface)) values.insert(property.name, property.value(shown));
    return message.createReply(QVariant(values));
  }
  if (message.member() == QLatin1String("Get") && message.signature() == QLatin1String("ss")) {
    const PropertyInfo* property = FindProperty(interface, arguments.value(1).toString());
    if (!property)
      return ErrorReply(message, "org.freedesktop.DBus.Error.UnknownProperty",
                        QStringLiteral("no property %1 in %2").arg(arguments.value(1).toString(), interface));
    return message.createReply(QVariant::fromValue(QDBusVariant(property->value(Take()))));
  }
  if (message.member() == QLatin1String("Set") && message.signature() == QLatin1String("ssv"))
    return SetProperty(message, interface, arguments.value(1).toString(),
                       arguments.value(2).value<QDBusVariant>().variant());
  return ErrorReply(message, "org.freedesktop.DBus.Error.UnknownMethod",
                    QStringLiteral("no method %1(%2) in %3")
                        .arg(message.member(), message.signature(), QLatin1String(kPropertiesInterface)));
}

QDBusMessage MediaPlayerBus::SetProperty(const QDBusMessage& message, const QString& interface,
                                         const QString& name, const QVariant& value) {
  const PropertyInfo* property = FindProperty(interface, name);
  if (!property)
    return ErrorReply(message, "org.freedesktop.DBus.Error.UnknownProperty",
                      QStringLiteral("no property %1 in %2").arg(name, interface));
  if (property->access != Access::ReadWrite)
    return ErrorReply(message, "org.freedesktop.DBus.Error.PropertyReadOnly",
                      QStringLiteral("%1 cannot be set").arg(name));
  // Rate, the one property that can be set.
  double factor = value.toDouble();
  if (value.metaType() != QMetaType::fromType<double>() || !std::isfinite(factor) || factor < 0)
    return ErrorReply(message, "org.freedesktop.DBus.Error.InvalidArgs",
                      QStringLiteral("Rate is a number of type d, 0 or more"));
  // A rate of 0 is how media players are paused.
  if (factor == 0) {
    controls_.Pause();
  } else {
    controls_.SetRate(factor);
  }
  return message.createReply();
}

}  // namespace lectryn::desktop
