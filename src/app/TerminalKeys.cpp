#include "app/TerminalKeys.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace lectryn::app {

TerminalKeys::TerminalKeys(int fd, std::function<void(ReaderKey)> onKey) : fd_(fd), onKey_(std::move(onKey)) {
  if (!isatty(fd_) || tcgetattr(fd_, &saved_) != 0) return;
  if (pipe2(wake_, O_CLOEXEC) != 0) return;
  termios keys = saved_;
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  keys.c_cc[VMIN] = 1;
  keys.c_cc[VTIME] = 0;
  if (tcsetattr(fd_, TCSANOW, &keys) != 0) {
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
  // Keys typed but not read stay for the shell, as they would without us.
  tcsetattr(fd_, TCSANOW, &saved_);
}

void TerminalKeys::Read() {
  KeyDecoder decoder;
  pollfd waits[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  for (;;) {
    if (poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waits[1].revents != 0) return;
    if (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;  // the terminal went away
    char bytes[64];
    ssize_t count = read(fd_, bytes, sizeof bytes);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    for (ReaderKey key : decoder.Feed({bytes, static_cast<size_t>(count)})) onKey_(key);
  }
}

}  // namespace lectryn::app
