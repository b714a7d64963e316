#pragma once
// The thread that talks to the speech server. Every libspeechd call that waits for the server runs
// here, never on the UI thread: a server that is slow to start, busy in a module or gone holds up only
// this thread. What the server reports reaches each session's listener as SessionEvents.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lectryn::speech::speechd {

struct SessionEvent {
  enum class Kind { Said, Begin, End, Mark, Cancelled, Failed };
  Kind kind = Kind::Failed;
  uint64_t request = 0;  // Said and Failed: the Say it answers (0 for a lost connection)
  int64_t message = -1;  // the server's message id
  int32_t mark = -1;     // Mark: the word the mark stands before; -1 for a mark that is not ours
  std::string error;     // Failed: for people, one line
  std::string module;    // Said: the output module that speaks the message
};

// What a message is spoken with. Empty fields and an unset rate leave the user's own server settings.
struct SaySettings {
  std::string module;
  std::string voice;
  std::string language;
  std::optional<int32_t> rate;  // the server's scale, -100..100
  friend bool operator==(const SaySettings&, const SaySettings&) = default;
};

struct ServerVoice {
  std::string module;
  std::string name;
  std::string language;
};

class SpeechdSession;

class SpeechdWorker {
 public:
  // Called on the worker's and libspeechd's threads: it must only hand the event on (to a UI loop).
  using Listener = std::function<void(SessionEvent)>;

  // address: "unix_socket:/path" or "inet_socket:host[:port]"; empty for the user's default.
  explicit SpeechdWorker(std::string address);
  // Closes every connection; after it no listener is called.
  ~SpeechdWorker();

  // A connection of its own for one voice, made on its first Say.
  std::shared_ptr<SpeechdSession> OpenSession(Listener listener);
  // Says one SSML message; Said with the server's message id follows, or Failed.
  void Say(const std::shared_ptr<SpeechdSession>& session, uint64_t request, std::string ssml,
           SaySettings settings);
  // Throws away what the session has said and not finished.
  void Cancel(const std::shared_ptr<SpeechdSession>& session);
  // Cancels and disconnects; the session's listener is not called again.
  void Close(const std::shared_ptr<SpeechdSession>& session);

  // The server's modules and voices, waiting at most timeout; nullopt (with error) when none came.
  std::optional<std::vector<ServerVoice>> ListVoices(std::chrono::milliseconds timeout, std::string& error);

 private:
  void Post(std::function<void()> job);
  void Run();
  void WatchConnections();

  std::string address_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::shared_ptr<SpeechdSession>> sessions_;  // worker thread only
  std::thread thread_;
};

}  // namespace lectryn::speech::speechd
