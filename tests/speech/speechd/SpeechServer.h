#pragma once
// A private speech-dispatcher for one test: its own configuration, socket and logs in a temporary
// folder, sound to ALSA's null device (no sound card needed), and for festival a festival server of its
// own on a free port. Nothing of the user's own server or settings is touched.
#include <sys/types.h>

#include <string>

namespace lectryn::speech::speechd {

class SpeechServer {
 public:
  // module: the output module speaking by default ("espeak-ng", "festival", "flite").
  explicit SpeechServer(std::string module);
  ~SpeechServer();
  SpeechServer(const SpeechServer&) = delete;
  SpeechServer& operator=(const SpeechServer&) = delete;

  // Whether the server answers on its socket; the reason when it does not.
  bool Ready() const { return ready_; }
  const std::string& Problem() const { return problem_; }
  // As SPEECHD_ADDRESS takes it.
  std::string Address() const { return "unix_socket:" + socket_; }

  // Kills the server at once, as a crash would; its modules follow when they see it gone.
  void Kill();
  // Starts it again on the same socket.
  bool Restart();

 private:
  bool StartFestival();
  bool StartServer();
  void StopAll();

  std::string module_;
  std::string folder_;
  std::string socket_;
  pid_t server_ = -1;
  pid_t festival_ = -1;
  bool ready_ = false;
  std::string problem_;
};

}  // namespace lectryn::speech::speechd
