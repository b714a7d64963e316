// The voice through a real sound server: a private pulseaudio whose only sink is a null sink, which
// plays in real time and, once a stream runs dry, keeps reporting its own latency as held audio.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "speech/SpeakingVoice.h"

extern char** environ;

namespace lectryn::speech {
namespace {

class PrivateSoundServer {
 public:
  PrivateSoundServer() {
    char folder[] = "/tmp/lectryn-pulse-XXXXXX";
    folder_ = mkdtemp(folder);
    socket_ = folder_ + "/native";
    std::string runtime = "PULSE_RUNTIME_PATH=" + folder_ + "/run";
    std::string state = "PULSE_STATE_PATH=" + folder_ + "/state";
    std::vector<std::string> arguments = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                          "--disallow-exit", "--log-target=stderr", "-L",
                                          "module-null-sink sink_name=nul rate=22050", "-L",
                                          "module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1"};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    env.push_back(runtime.data());
    env.push_back(state.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 200 && pid_ > 0 && !Answers(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ~PrivateSoundServer() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  bool Answers() const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, socket_.c_str(), sizeof address.sun_path - 1);
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool answered = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return answered;
  }
  std::string Address() const { return "unix:" + socket_; }

 private:
  std::string folder_;
  std::string socket_;
  pid_t pid_ = -1;
};

TEST(SoundServer, ASinkThatKeepsItsLatencyDoesNotHoldTheWordsBack) {
  PrivateSoundServer server;
  ASSERT_TRUE(server.Answers()) << "pulseaudio did not start";
  const char* before = std::getenv("PULSE_SERVER");
  std::string saved = before ? before : "";
  setenv("PULSE_SERVER", server.Address().c_str(), 1);
  system::PlainUiLoop loop;
  Recorder sink;
  {
    EspeakVoiceFactory factory(loop, AudioChoice{AudioChoice::Kind::SoundServer, {}, 1.0});
    auto voice = factory.CreateVoice(sink);
    sink.text = u"One. Two, three.";
    voice->Speak(sink.text, platform::SVSFlagsAsync);
    // Two seconds of speech; the guard is against the reading that never ended.
    auto guard = loop.StartTimer(30000, [&] { loop.Quit(); });
    loop.Run([&] { return sink.ends > 0; });
    loop.StopTimer(guard);
  }
  if (before) {
    setenv("PULSE_SERVER", saved.c_str(), 1);
  } else {
    unsetenv("PULSE_SERVER");
  }
  EXPECT_EQ((Log{"One", "Two", "three", "END"}), sink.log);
}

}  // namespace
}  // namespace lectryn::speech
