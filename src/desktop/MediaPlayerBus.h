#pragma once
// The program as a media player on the session bus (the MPRIS interfaces), so that the desktop's
// media keys and its media controls in panels and on the lock screen reach the reading. Requests
// become calls of MediaControls; its state is what the properties show, and each change of it is
// signalled with PropertiesChanged.
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lectryn::desktop {

enum class PlaybackStatus { Stopped, Playing, Paused };

// What the desktop's media controls show of the reading.
struct MediaState {
  PlaybackStatus status = PlaybackStatus::Stopped;
  // The speed heard and the slowest and fastest speeds, as factors of the voice's normal speed.
  double rate = 1.0;
  double minimumRate = 1.0;
  double maximumRate = 1.0;
  std::u16string title;  // of what is read, or was read last; empty before anything was
  bool canPlay = false;  // Play has something to read
};

// The reading's controls as a media player drives them; everything runs on the UI thread.
class MediaControls {
 public:
  virtual ~MediaControls() = default;
  virtual MediaState State() const = 0;
  // Resumes a paused reading; when nothing is read, reads the last pick again if there is one.
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  virtual void NextSentence() = 0;
  virtual void PreviousSentence() = 0;
  // A factor of the voice's normal speed, greater than 0; the controls keep it within their limits.
  virtual void SetRate(double factor) = 0;
  // Shows the main window.
  virtual void Raise() = 0;
  // The one observer, told after anything State() shows may have changed; it replaces the one
  // before, and an empty function stops the telling.
  virtual void Watch(std::function<void()> observer) = 0;
};

class MediaPlayerBus : public QDBusVirtualObject {
 public:
  static constexpr char kServiceName[] = "org.mpris.MediaPlayer2.lectryn";
  static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";

  MediaPlayerBus(MediaControls& controls, QDBusConnection connection);
  MediaPlayerBus(const MediaPlayerBus&) = delete;
  MediaPlayerBus& operator=(const MediaPlayerBus&) = delete;
  ~MediaPlayerBus() override;

  // Offers the player on the bus under kServiceName, or under a name of this process when another
  // copy owns that one (never taking it from it). Returns what went wrong when there is no bus or
  // the bus refused; the player then stays off the bus, which harms nothing else.
  std::optional<std::string> Register();
  // The name owned on the bus; empty when none.
  QString ServiceName() const { return serviceName_; }

  // QDBusVirtualObject, called by Qt on this object's thread.
  QString introspect(const QString& path) const override;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  // For the tables of methods and properties.
  MediaControls& Controls() { return controls_; }
  // The state with the id of its track, which changes with the title.
  struct Shown {
    MediaState state;
    uint32_t track = 0;
  };

 private:
  Shown Take();
  void ScheduleSignal();
  void SignalChanges();
  QVariantMap PlayerValues();
  QDBusMessage CallMethod(const QDBusMessage& message);
  QDBusMessage CallProperties(const QDBusMessage& message);
  QDBusMessage SetProperty(const QDBusMessage& message, const QString& interface, const QString& name,
                           const QVariant& value);

  MediaControls& controls_;
  QDBusConnection connection_;
  QString serviceName_;
  bool objectRegistered_ = false;
  bool signalPending_ = false;
  QVariantMap signalled_;  // the player's properties as the last PropertiesChanged left them
  std::u16string trackTitle_;
  uint32_t track_ = 0;
};

}  // namespace lectryn::desktop
