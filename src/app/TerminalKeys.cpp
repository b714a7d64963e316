#include "app/TerminalKeys.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace lectryn::app {
namespace {

// How often the reading thread looks whether the program was stopped and brought back.
constexpr int kForegroundCheckMs = 250;

}  // namespace

TerminalKeys::TerminalKeys(int fd, std::function<void(ReaderKey)> onKey) : fd_(fd), onKey_(std::move(onKey)) {
  if (!isatty(fd_) || tcgetattr(fd_, &saved_) != 0) return;
  if (pipe2(wake_, O_CLOEXEC) != 0) return;
  keys_ = saved_;
  keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  keys_.c_cc[VMIN] = 1;
  keys_.c_cc[VTIME] = 0;
  if (tcsetattr(fd_, TCSANOW, &keys_) != 0) {
    close(wake_[0]);
    close(wake_[1]);
    return;
  }
  active_ = true;
  thread_ = std::thread([this] { Read(); });
}

TerminalKeys::~TerminalKeys() {
  Stop();
}

void TerminalKeys::Stop() {
  if (!active_) return;
  active_ = false;
  char stop = 0;
  while (write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
  }
  thread_.join();
  close(wake_[0]);
  close(wake_[1]);
  // Keys typed but not read stay for the shell, as they would without us. From the background the
  // change would stop the program (SIGTTOU) instead of letting it end.
  sigset_t ttou, before;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  pthread_sigmask(SIG_BLOCK, &ttou, &before);
  tcsetattr(fd_, TCSANOW, &saved_);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

bool TerminalKeys::InForeground() {
  // A terminal that is not the program's controlling one (-1) has no foreground to lose.
  pid_t owner = tcgetpgrp(fd_);
  if (owner != -1 && owner != getpgrp()) return false;
  termios now{};
  if (tcgetattr(fd_, &now) == 0 && (now.c_lflag & (ICANON | ECHO)) != 0) tcsetattr(fd_, TCSANOW, &keys_);
  return true;
}

void TerminalKeys::Read() {
  KeyDecoder decoder;
  for (;;) {
    // Reading the terminal from the background would stop the program (SIGTTIN): only the wake-up
    // pipe is watched then, and the terminal asked again a little later.
    pollfd waits[2] = {{InForeground() ? fd_ : -1, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(waits, 2, kForegroundCheckMs) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waits[1].revents != 0) return;
    if (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;  // the terminal went away
    if (!(waits[0].revents & POLLIN)) continue;
    char bytes[64];
    ssize_t count = read(fd_, bytes, sizeof bytes);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    for (ReaderKey key : decoder.Feed({bytes, static_cast<size_t>(count)})) onKey_(key);
  }
}

}  // namespace lectryn::app
