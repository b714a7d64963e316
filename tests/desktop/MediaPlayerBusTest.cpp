// The media player on a session bus of its own (the tests run under dbus-run-session): what
// another program sees of it and what its requests reach, with controls that record the calls.
#include "desktop/MediaPlayerBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "desktop/GuiApplication.h"

namespace lectryn::desktop {
namespace {

constexpr int kPatienceMs = 5000;
constexpr char kPlayer[] = "org.mpris.MediaPlayer2.Player";
constexpr char kRoot[] = "org.mpris.MediaPlayer2";
constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// Runs the event loop until done() or the patience runs out.
bool SpinUntil(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > kPatienceMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

struct FakeControls : MediaControls {
  MediaState state;
  std::vector<std::string> calls;
  std::vector<double> rates;
  std::function<void()> observer;

  MediaState State() const override {
    OnUiThread();
    return state;
  }
  void Play() override { Record("Play"); }
  void Pause() override { Record("Pause"); }
  void Stop() override { Record("Stop"); }
  void NextSentence() override { Record("NextSentence"); }
  void PreviousSentence() override { Record("PreviousSentence"); }
  void SetRate(double factor) override {
    OnUiThread();
    rates.push_back(factor);
  }
  void Raise() override { Record("Raise"); }
  void Watch(std::function<void()> watcher) override { observer = std::move(watcher); }
  // The narration belongs to the UI thread: requests must not come on the bus's own thread.
  static void OnUiThread() { EXPECT_EQ(QCoreApplication::instance()->thread(), QThread::currentThread()); }
  void Record(const char* call) {
    OnUiThread();
    calls.push_back(call);
  }
  void Changed() {
    ASSERT_TRUE(observer) << "the player does not watch the controls";
    observer();
  }
};

// Another program on the bus: calls the player and records its PropertiesChanged signals.
class Listener : public QObject {
  Q_OBJECT

 public:
  explicit Listener(const QString& name)
      : connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)) {}
  ~Listener() override { QDBusConnection::disconnectFromBus(connection_.name()); }

  QDBusConnection& Connection() { return connection_; }

  QDBusMessage Call(QDBusMessage message) {
    QDBusPendingCall call = connection_.asyncCall(message, kPatienceMs);
    EXPECT_TRUE(SpinUntil([&] { return call.isFinished(); }))
        << "no answer to " << message.member().toStdString();
    return call.reply();
  }
  QDBusMessage CallPlayer(const char* interface, const char* member, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(MediaPlayerBus::kServiceName,
                                                          MediaPlayerBus::kObjectPath, interface, member);
    message.setArguments(arguments);
    return Call(message);
  }
  QVariant Get(const char* interface, const char* name) {
    QDBusMessage reply = CallPlayer(kProperties, "Get", {QString(interface), QString(name)});
    EXPECT_EQ(QDBusMessage::ReplyMessage, reply.type()) << reply.errorMessage().toStdString();
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }
  QDBusMessage Set(const char* name, const QVariant& value) {
    return CallPlayer(kProperties, "Set",
                      {QString(kPlayer), QString(name), QVariant::fromValue(QDBusVariant(value))});
  }

  // From now on the player's signals are kept in Signals().
  void Listen() {
    ASSERT_TRUE(connection_.connect(MediaPlayerBus::kServiceName, MediaPlayerBus::kObjectPath, kProperties,
                                    "PropertiesChanged", this, SLOT(Changed(QDBusMessage))));
    // The bus takes a connection's messages in order: once it answered, it has the match rule.
    Call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                        "org.freedesktop.DBus", "GetId"));
  }
  // The changed properties of each PropertiesChanged of the player's interface.
  const std::vector<QVariantMap>& Signals() const { return signals_; }

 public slots:
  void Changed(const QDBusMessage& message) {
    QVariantList arguments = message.arguments();
    EXPECT_EQ(QString(kPlayer), arguments.value(0).toString());
    EXPECT_TRUE(arguments.value(2).toStringList().isEmpty());
    signals_.push_back(qdbus_cast<QVariantMap>(arguments.value(1)));
  }

 private:
  QDBusConnection connection_;
  std::vector<QVariantMap> signals_;
};

class MediaPlayerBusTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureGuiApplication(); }

  void SetUp() override {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "these tests run under dbus-run-session";
    std::optional<std::string> problem = player_->Register();
    ASSERT_FALSE(problem) << *problem;
    ASSERT_EQ(QString(MediaPlayerBus::kServiceName), player_->ServiceName());
  }

  // What dbus-send --print-reply says for a call of the player, with its exit status.
  std::pair<int, std::string> DbusSend(const QStringList& call) {
    QString program = QStandardPaths::findExecutable("dbus-send");
    if (program.isEmpty()) return {-1, "no dbus-send"};
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, QStringList{"--session", "--print-reply",
                                       QStringLiteral("--dest=%1").arg(MediaPlayerBus::kServiceName),
                                       MediaPlayerBus::kObjectPath} +
                               call);
    // The player answers on this thread: the loop has to run while dbus-send waits.
    bool ended = SpinUntil([&] { return process.state() == QProcess::NotRunning; });
    if (!ended) process.kill();
    process.waitForFinished(kPatienceMs);
    return {ended ? process.exitCode() : -1, process.readAll().toStdString()};
  }

  FakeControls controls_;
  std::unique_ptr<MediaPlayerBus> player_ =
      std::make_unique<MediaPlayerBus>(controls_, QDBusConnection::sessionBus());
  Listener listener_{"listener"};
};

TEST_F(MediaPlayerBusTest, IntrospectionShowsBothInterfacesAndTheWritableRate) {
  QDBusMessage reply = listener_.CallPlayer("org.freedesktop.DBus.Introspectable", "Introspect");
  std::string xml = reply.arguments().value(0).toString().toStdString();
  for (const char* part :
       {"<interface name=\"org.mpris.MediaPlayer2\">", "<method name=\"Raise\">",
        "<interface name=\"org.mpris.MediaPlayer2.Player\">", "<method name=\"PlayPause\">",
        "<property name=\"Rate\" type=\"d\" access=\"readwrite\"/>"})
    EXPECT_NE(std::string::npos, xml.find(part)) << part << " missing from\n" << xml;
}

struct CommandCase {
  const char* request;  // as dbus-send takes it, arguments after a space
  PlaybackStatus status;
  const char* reached;  // the call of the controls; empty for none
};

class MediaPlayerCommands : public MediaPlayerBusTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(MediaPlayerCommands, ReachTheControlsFromDbusSend) {
  controls_.state.status = GetParam().status;
  auto [status, output] = DbusSend(QString(GetParam().request).split(' '));
  ASSERT_EQ(0, status) << output;
  std::vector<std::string> expected;
  if (*GetParam().reached) expected.push_back(GetParam().reached);
  EXPECT_EQ(expected, controls_.calls);
}

INSTANTIATE_TEST_SUITE_P(
    MediaPlayerBus, MediaPlayerCommands,
    ::testing::Values(
        CommandCase{"org.mpris.MediaPlayer2.Player.PlayPause", PlaybackStatus::Playing, "Pause"},
        CommandCase{"org.mpris.MediaPlayer2.Player.PlayPause", PlaybackStatus::Paused, "Play"},
        CommandCase{"org.mpris.MediaPlayer2.Player.PlayPause", PlaybackStatus::Stopped, "Play"},
        CommandCase{"org.mpris.MediaPlayer2.Player.Next", PlaybackStatus::Playing, "NextSentence"},
        CommandCase{"org.mpris.MediaPlayer2.Player.Previous", PlaybackStatus::Paused, "PreviousSentence"},
        CommandCase{"org.mpris.MediaPlayer2.Player.Stop", PlaybackStatus::Playing, "Stop"},
        CommandCase{"org.mpris.MediaPlayer2.Raise", PlaybackStatus::Stopped, "Raise"},
        // The program ends from its own window only.
        CommandCase{"org.mpris.MediaPlayer2.Quit", PlaybackStatus::Playing, ""},
        CommandCase{"org.mpris.MediaPlayer2.Player.Seek int64:5000000", PlaybackStatus::Playing, ""}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(MediaPlayerBusTest, RateIsSetAndReadAsAFactorAndZeroPauses) {
  controls_.state.rate = 1.25;
  EXPECT_EQ(1.25, listener_.Get(kPlayer, "Rate").toDouble());
  auto [status, output] =
      DbusSend({"org.freedesktop.DBus.Properties.Set", "string:org.mpris.MediaPlayer2.Player", "string:Rate",
                "variant:double:0.75"});
  EXPECT_EQ(0, status) << output;
  EXPECT_EQ(QDBusMessage::ReplyMessage, listener_.Set("Rate", 0.0).type());
  // Refused without reaching the controls: a rate that is no number or below 0, and properties that
  // cannot be set or do not exist.
  EXPECT_EQ("org.freedesktop.DBus.Error.InvalidArgs", listener_.Set("Rate", QString("fast")).errorName());
  EXPECT_EQ("org.freedesktop.DBus.Error.InvalidArgs", listener_.Set("Rate", -1.0).errorName());
  EXPECT_EQ("org.freedesktop.DBus.Error.PropertyReadOnly",
            listener_.Set("PlaybackStatus", QString("Playing")).errorName());
  EXPECT_EQ("org.freedesktop.DBus.Error.UnknownProperty", listener_.Set("Shuffle", true).errorName());
  EXPECT_EQ(std::vector<double>{0.75}, controls_.rates);
  EXPECT_EQ(std::vector<std::string>{"Pause"}, controls_.calls);
}

TEST_F(MediaPlayerBusTest, PropertiesShowTheReading) {
  EXPECT_EQ("Lectryn", listener_.Get(kRoot, "Identity").toString());
  // Nothing read yet: no track, nothing to play or go to.
  QVariantMap player = qdbus_cast<QVariantMap>(
      listener_.CallPlayer(kProperties, "GetAll", {QString(kPlayer)}).arguments().value(0));
  EXPECT_EQ("Stopped", player.value("PlaybackStatus").toString());
  QVariantMap metadata = qdbus_cast<QVariantMap>(player.value("Metadata"));
  EXPECT_EQ(QStringList{"mpris:trackid"}, metadata.keys());
  EXPECT_EQ(kNoTrack, qdbus_cast<QDBusObjectPath>(metadata.value("mpris:trackid")).path());
  for (const char* can : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious"})
    EXPECT_FALSE(player.value(can).toBool()) << can;

  controls_.state = {PlaybackStatus::Paused, 1.0, 0.5, 2.0, u"Reading test \u00e9t\u00e9", true};
  EXPECT_EQ("Paused", listener_.Get(kPlayer, "PlaybackStatus").toString());
  metadata = qdbus_cast<QVariantMap>(listener_.Get(kPlayer, "Metadata"));
  EXPECT_EQ(QString::fromUtf8("Reading test \u00e9t\u00e9"), metadata.value("xesam:title").toString());
  EXPECT_NE(kNoTrack, qdbus_cast<QDBusObjectPath>(metadata.value("mpris:trackid")).path());
  for (const char* can : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious"})
    EXPECT_TRUE(listener_.Get(kPlayer, can).toBool()) << can;
}

TEST_F(MediaPlayerBusTest, StateChangesAreSignalledOnceWithWhatChanged) {
  listener_.Listen();
  // A command tells of several steps: one signal once it is done.
  controls_.state.status = PlaybackStatus::Playing;
  controls_.state.canPlay = true;
  controls_.state.title = u"First page";
  controls_.Changed();
  controls_.Changed();
  ASSERT_TRUE(SpinUntil([&] { return listener_.Signals().size() >= 1; })) << "no PropertiesChanged";
  QVariantMap changed = listener_.Signals()[0];
  EXPECT_EQ("Playing", changed.value("PlaybackStatus").toString());
  for (const char* can : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious"})
    EXPECT_TRUE(changed.value(can).toBool()) << can;
  QVariantMap metadata = qdbus_cast<QVariantMap>(changed.value("Metadata"));
  EXPECT_EQ("First page", metadata.value("xesam:title").toString());
  QString firstTrack = qdbus_cast<QDBusObjectPath>(metadata.value("mpris:trackid")).path();
  EXPECT_FALSE(changed.contains("Rate"));
  EXPECT_FALSE(changed.contains("CanSeek"));

  // A telling without a change sends nothing; the speed alone sends the speed alone.
  controls_.Changed();
  controls_.state.rate = 1.5;
  controls_.Changed();
  ASSERT_TRUE(SpinUntil([&] { return listener_.Signals().size() >= 2; }));
  EXPECT_EQ(QStringList{"Rate"}, listener_.Signals()[1].keys());
  EXPECT_EQ(1.5, listener_.Signals()[1].value("Rate").toDouble());

  // Another page is another track.
  controls_.state.title = u"Second page";
  controls_.Changed();
  ASSERT_TRUE(SpinUntil([&] { return listener_.Signals().size() >= 3; }));
  EXPECT_EQ(QStringList{"Metadata"}, listener_.Signals()[2].keys());
  metadata = qdbus_cast<QVariantMap>(listener_.Signals()[2].value("Metadata"));
  EXPECT_EQ("Second page", metadata.value("xesam:title").toString());
  EXPECT_NE(firstTrack, qdbus_cast<QDBusObjectPath>(metadata.value("mpris:trackid")).path());
}

TEST_F(MediaPlayerBusTest, ASecondPlayerLeavesTheNameToTheFirst) {
  QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second copy");
  {
    FakeControls secondControls;
    MediaPlayerBus second(secondControls, other);
    std::optional<std::string> problem = second.Register();
    ASSERT_FALSE(problem) << *problem;
    EXPECT_NE(QString(MediaPlayerBus::kServiceName), second.ServiceName());
    EXPECT_TRUE(second.ServiceName().startsWith(QString(MediaPlayerBus::kServiceName) + '.'));
    QDBusReply<QString> owner =
        listener_.Connection().interface()->serviceOwner(MediaPlayerBus::kServiceName);
    EXPECT_EQ(QDBusConnection::sessionBus().baseService(), owner.value());
    // Requests by the well-known name reach the first player only.
    DbusSend({"org.mpris.MediaPlayer2.Player.Stop"});
    EXPECT_EQ(std::vector<std::string>{"Stop"}, controls_.calls);
    EXPECT_TRUE(secondControls.calls.empty());
    EXPECT_TRUE(secondControls.observer);
  }
  QDBusConnection::disconnectFromBus("second copy");

  // A player that goes gives its name back and stops watching.
  player_.reset();
  EXPECT_FALSE(controls_.observer);
  EXPECT_FALSE(listener_.Connection().interface()->isServiceRegistered(MediaPlayerBus::kServiceName).value());
}

TEST(MediaPlayerWithoutBus, SaysWhyAndStaysOff) {
  testing::EnsureGuiApplication();
  QDBusConnection none = QDBusConnection::connectToBus("unix:path=/nonexistent/lectryn-bus", "no bus");
  FakeControls controls;
  {
    MediaPlayerBus player(controls, none);
    std::optional<std::string> problem = player.Register();
    ASSERT_TRUE(problem);
    EXPECT_NE(std::string::npos, problem->find("session bus")) << *problem;
    EXPECT_TRUE(player.ServiceName().isEmpty());
    EXPECT_FALSE(controls.observer);
  }
  QDBusConnection::disconnectFromBus("no bus");
}

}  // namespace
}  // namespace lectryn::desktop

#include "MediaPlayerBusTest.moc"
