#pragma once
// The built lectryn-read run as a person would: its own settings folder, its output in files or on a
// terminal of its own, and a way to wait for what it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/load/TempFolder.h"

extern char** environ;

namespace lectryn::app::testing {

struct Outcome {
  int exitCode = -1;
  std::string out;  // standard output, or what the terminal showed
  std::string err;
};

inline std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

enum class OnTerminal { No, Yes };

class ReaderProcess {
 public:
  // The settings are read from config/ in the folder, which starts empty. On a terminal, standard input
  // and output are a new pseudo-terminal's; otherwise standard input is empty.
  explicit ReaderProcess(OnTerminal terminal = OnTerminal::No) : terminal_(terminal) {
    if (terminal_ == OnTerminal::Yes && !OpenTerminal()) ADD_FAILURE() << "cannot open a pseudo-terminal";
  }
  ~ReaderProcess() {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }

  const engine::testing::TempFolder& Folder() const { return folder_; }
  // "NAME=value" for the reader's environment, over the test's own.
  void SetEnvironment(std::string variable) { environment_.push_back(std::move(variable)); }

  bool Start(std::vector<std::string> arguments, const char* program = LECTRYN_READ_BINARY) {
    std::vector<std::string> environment = environment_;
    environment.push_back("XDG_CONFIG_HOME=" + folder_.Path("config"));
    auto overridden = [&](const std::string& variable) {
      for (const std::string& own : environment)
        if (variable.compare(0, own.find('=') + 1, own, 0, own.find('=') + 1) == 0) return true;
      return false;
    };
    for (char** variable = environ; *variable; ++variable)
      if (!overridden(*variable)) environment.push_back(*variable);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (terminal_ == OnTerminal::Yes) {
      if (slave_ < 0) return false;
      posix_spawn_file_actions_adddup2(&actions, slave_, 0);
      posix_spawn_file_actions_adddup2(&actions, slave_, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_addopen(&actions, 1, OutPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, folder_.Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    arguments.insert(arguments.begin(), program);
    bool started = posix_spawn(&child_, program, &actions, nullptr, Pointers(arguments).data(),
                               Pointers(environment).data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) child_ = -1;
    return started;
  }

  // What it wrote on standard output or its terminal so far.
  std::string Out() {
    if (terminal_ == OnTerminal::No) return ReadWhole(OutPath());
    char bytes[4096];
    for (ssize_t count; (count = read(master_, bytes, sizeof bytes)) > 0;) shown_.append(bytes, count);
    return shown_;
  }

  // Asks every 20 ms, for at most 20 s; false when it never came.
  static bool WaitFor(const std::function<bool()>& condition) {
    for (int tries = 0; tries < 1000; ++tries) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  void Type(const std::string& bytes) {
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(master_, bytes.data(), bytes.size()));
  }
  void Signal(int signal) { kill(child_, signal); }

  // Waits for the end (20 s at most, then kills it).
  Outcome Finish() {
    Outcome outcome;
    int status = 0;
    if (!WaitFor([&] {
          Out();  // a terminal that nobody reads would block the reader
          return waitpid(child_, &status, WNOHANG) == child_;
        })) {
      kill(child_, SIGKILL);
      waitpid(child_, &status, 0);
      ADD_FAILURE() << "the reader did not end";
    }
    child_ = -1;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = Out();
    outcome.err = ReadWhole(folder_.Path("err"));
    return outcome;
  }

  // The mode of its terminal as the reader left it.
  termios TerminalMode() const {
    termios mode{};
    tcgetattr(slave_, &mode);
    return mode;
  }

 private:
  std::string OutPath() const { return folder_.Path("out"); }

  bool OpenTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return false;
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    return slave_ >= 0;
  }

  static std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  OnTerminal terminal_;
  engine::testing::TempFolder folder_;
  std::vector<std::string> environment_;
  pid_t child_ = -1;
  int master_ = -1;
  int slave_ = -1;
  std::string shown_;
};

}  // namespace lectryn::app::testing
