#include "speech/speechd/SpeechServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace lectryn::speech::speechd {
namespace {

using namespace std::chrono_literals;

// In a process group of its own, so that the modules it starts go with it; and it dies with the test,
// even when the test is killed before it can stop it.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& output) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid != 0) return pid;
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(1);
  int log = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (log >= 0) {
    dup2(log, 1);
    dup2(log, 2);
  }
  execvp(argv[0], argv.data());
  _exit(127);
}

bool Answers(const sockaddr* address, socklen_t length, int family) {
  int probe = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool answered = connect(probe, address, length) == 0;
  close(probe);
  return answered;
}

// Waits for a listener, at most the given time; false when the process died first.
template <typename Check>
bool WaitFor(pid_t pid, Check answers, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (answers()) return true;
    if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

int FreePort() {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

void KillGroup(pid_t& pid) {
  if (pid <= 0) return;
  killpg(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

}  // namespace

SpeechServer::SpeechServer(std::string module) : module_(std::move(module)) {
  char folder[] = "/tmp/lectryn-speechd-XXXXXX";
  if (!mkdtemp(folder)) {
    problem_ = "no temporary folder";
    return;
  }
  folder_ = folder;
  socket_ = folder_ + "/speechd.sock";
  std::filesystem::create_directories(folder_ + "/conf/modules");
  std::filesystem::create_directories(folder_ + "/log");
  std::ofstream conf(folder_ + "/conf/speechd.conf");
  conf << "LogLevel 3\nLogDir \"" << folder_ << "/log\"\n"
       << "AudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\n"
       << "DefaultModule " << module_ << "\n"
       << "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
       << "AddModule \"flite\" \"sd_flite\" \"flite.conf\"\n";
  if (module_ == "festival") conf << "AddModule \"festival\" \"sd_festival\" \"festival.conf\"\n";
  conf.close();
  for (const char* name : {"espeak-ng.conf", "flite.conf"}) {
    std::error_code ignored;
    std::filesystem::copy_file(std::string("/etc/speech-dispatcher/modules/") + name,
                               folder_ + "/conf/modules/" + name, ignored);
    std::ofstream(folder_ + "/conf/modules/" + name, std::ios::app);  // present even when not installed
  }
  if (module_ == "festival" && !StartFestival()) return;
  ready_ = StartServer();
}

SpeechServer::~SpeechServer() {
  StopAll();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool SpeechServer::StartFestival() {
  int port = FreePort();
  std::ofstream(folder_ + "/festival.scm")
      << "(set! server_port " << port << ")\n"
      << "(set! server_access_list '(\"localhost\" \"127.0.0.1\" \"localhost.localdomain\"))\n";
  std::ofstream(folder_ + "/conf/modules/festival.conf")
      << "FestivalServerHost \"127.0.0.1\"\nFestivalServerPort " << port << "\n";
  festival_ = Spawn({"festival", "--server", folder_ + "/festival.scm"}, folder_ + "/log/festival-server.log");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool up = festival_ > 0 && WaitFor(festival_, [&] {
              return Answers(reinterpret_cast<sockaddr*>(&address), sizeof address, AF_INET);
            }, 20s);
  if (!up) problem_ = "festival did not start a server (see " + folder_ + "/log/festival-server.log)";
  return up;
}

bool SpeechServer::StartServer() {
  server_ = Spawn({"speech-dispatcher", "-s", "-t", "0", "-C", folder_ + "/conf", "-S", socket_, "-P",
                   folder_ + "/speechd.pid", "-L", folder_ + "/log"},
                  folder_ + "/log/server.log");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, socket_.c_str(), sizeof address.sun_path - 1);
  bool up = server_ > 0 && WaitFor(server_, [&] {
              return Answers(reinterpret_cast<sockaddr*>(&address), sizeof address, AF_UNIX);
            }, 20s);
  if (!up) problem_ = "speech-dispatcher did not start (see " + folder_ + "/log)";
  return up;
}

void SpeechServer::Kill() {
  if (server_ > 0) {
    kill(server_, SIGKILL);
    waitpid(server_, nullptr, 0);
    killpg(server_, SIGKILL);  // the modules, which would otherwise linger a while
    server_ = -1;
  }
  ready_ = false;
}

bool SpeechServer::Restart() {
  Kill();
  unlink(socket_.c_str());
  ready_ = StartServer();
  return ready_;
}

void SpeechServer::StopAll() {
  KillGroup(server_);
  KillGroup(festival_);
}

}  // namespace lectryn::speech::speechd
