#include "system/CommandSocket.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

namespace lectryn::system {
namespace {

constexpr const char* kSocketName = "lectryn.socket";
// More connections than a person's keys make at once; further ones are turned away until these end.
constexpr size_t kMaxConnections = 8;
constexpr int kBacklog = 16;
constexpr int kMaxEvents = 16;
constexpr int32_t kConnectRetryMs = 20;

int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

std::string Why(int error) {
  return std::strerror(error);
}

// Fills address for path; false when the path does not fit.
bool AddressOf(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

// Waits until fd is ready for events or deadlineMs passes; false on time-out or error.
bool WaitFor(int fd, short events, int64_t deadlineMs) {
  for (;;) {
    int64_t left = deadlineMs - MonotonicMs();
    if (left < 0) left = 0;
    pollfd entry{fd, events, 0};
    int result = poll(&entry, 1, static_cast<int>(left));
    if (result > 0) return true;
    if (result == 0 || errno != EINTR) return false;
  }
}

}  // namespace

std::optional<std::string> PrivateFolder(const std::string& folder, std::string& error) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot make " + folder + ": " + Why(errno);
    return std::nullopt;
  }
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) {
    error = "cannot read " + folder + ": " + Why(errno);
    return std::nullopt;
  }
  if (!S_ISDIR(info.st_mode)) {
    error = folder + " is not a folder" + (S_ISLNK(info.st_mode) ? " but a symbolic link" : "") +
            "; remove it and start again";
  } else if (info.st_uid != geteuid()) {
    error = folder + " belongs to another user";
  } else if ((info.st_mode & 077) != 0) {
    error = folder + " is open to other users; make it private with chmod 700 " + folder;
  } else {
    return folder;
  }
  return std::nullopt;
}

std::optional<std::string> CommandSocketPath(std::string& error) {
  std::string folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    folder = runtime;
  } else if (std::optional<std::string> own =
                 PrivateFolder("/tmp/lectryn-" + std::to_string(geteuid()), error)) {
    folder = *own;
  } else {
    return std::nullopt;
  }
  std::string path = folder + "/" + kSocketName;
  sockaddr_un address;
  if (!AddressOf(path, address)) {
    error = "the socket path " + path + " is too long";
    return std::nullopt;
  }
  return path;
}

CommandServer::Settings::Settings() : peerUid(geteuid()) {}

CommandServer::CommandServer(std::string path, Settings settings)
    : path_(std::move(path)), settings_(settings) {}

std::unique_ptr<CommandServer> CommandServer::Listen(const std::string& path, std::string& error,
                                                     Settings settings) {
  sockaddr_un address;
  if (!AddressOf(path, address)) {
    error = "the socket path " + path + " is too long";
    return nullptr;
  }
  std::unique_ptr<CommandServer> server(new CommandServer(path, settings));
  server->listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (server->listenFd_ < 0) {
    error = "cannot make a socket: " + Why(errno);
    return nullptr;
  }
  // The lock's holder owns the path: whatever is there was left by a copy that has ended.
  if (unlink(path.c_str()) != 0 && errno != ENOENT) {
    error = "cannot replace " + path + ": " + Why(errno);
    return nullptr;
  }
  // The file is made 0600 from the start, not changed after others could have opened it.
  mode_t mask = umask(0177);
  int bound = bind(server->listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  int bindError = errno;
  umask(mask);
  if (bound != 0) {
    error = "cannot listen at " + path + ": " + Why(bindError);
    return nullptr;
  }
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) server->inode_ = info.st_ino;
  if (listen(server->listenFd_, kBacklog) != 0) {
    error = "cannot listen at " + path + ": " + Why(errno);
    return nullptr;
  }
  server->pollFd_ = epoll_create1(EPOLL_CLOEXEC);
  server->timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (server->pollFd_ < 0 || server->timerFd_ < 0) {
    error = "cannot watch " + path + ": " + Why(errno);
    return nullptr;
  }
  for (int fd : {server->listenFd_, server->timerFd_}) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (epoll_ctl(server->pollFd_, EPOLL_CTL_ADD, fd, &event) != 0) {
      error = "cannot watch " + path + ": " + Why(errno);
      return nullptr;
    }
  }
  return server;
}

CommandServer::~CommandServer() {
  while (!connections_.empty()) Close(connections_.back().fd, {});
  for (int fd : {pollFd_, timerFd_, listenFd_})
    if (fd >= 0) close(fd);
  struct stat info {};
  if (inode_ != 0 && lstat(path_.c_str(), &info) == 0 && info.st_ino == inode_) unlink(path_.c_str());
}

void CommandServer::HandleReady(const std::function<void(Command)>& handle) {
  epoll_event events[kMaxEvents];
  int count = epoll_wait(pollFd_, events, kMaxEvents, 0);
  std::vector<Command> received;
  for (int i = 0; i < count; ++i) {
    int fd = events[i].data.fd;
    if (fd == listenFd_) {
      Accept();
    } else if (fd == timerFd_) {
      uint64_t expirations = 0;
      [[maybe_unused]] ssize_t ignored = read(timerFd_, &expirations, sizeof expirations);
    } else {
      // A connection a handler's event loop already dealt with is no longer listed.
      auto it = std::find_if(connections_.begin(), connections_.end(),
                             [fd](const Connection& connection) { return connection.fd == fd; });
      if (it == connections_.end()) continue;
      if (std::optional<Command> command = Read(*it)) received.push_back(*command);
    }
  }
  DropTimedOut();
  ArmTimer();
  for (Command command : received) handle(command);
}

void CommandServer::Accept() {
  for (;;) {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // none left, or out of descriptors: the rest wait in the backlog
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != settings_.peerUid) {
      close(fd);  // another user learns nothing
      continue;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (connections_.size() >= kMaxConnections || epoll_ctl(pollFd_, EPOLL_CTL_ADD, fd, &event) != 0) {
      [[maybe_unused]] ssize_t sent = send(fd, "error: busy\n", 12, MSG_NOSIGNAL | MSG_DONTWAIT);
      close(fd);
      continue;
    }
    connections_.push_back({fd, {}, MonotonicMs() + settings_.readTimeoutMs});
  }
}

std::optional<Command> CommandServer::Read(Connection& connection) {
  int fd = connection.fd;
  char buffer[kMaxCommandLine];
  for (;;) {
    ssize_t count = read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return std::nullopt;
    if (count <= 0) {
      Close(fd, {});  // gone before its line was complete
      return std::nullopt;
    }
    connection.received.append(buffer, static_cast<size_t>(count));
    size_t newline = connection.received.find('\n');
    if (newline == std::string::npos) {
      if (connection.received.size() >= kMaxCommandLine) {
        Close(fd, "error: the command is too long");
        return std::nullopt;
      }
      continue;
    }
    if (newline + 1 != connection.received.size()) {
      Close(fd, "error: one command a connection");
      return std::nullopt;
    }
    std::optional<Command> command = CommandNamed(std::string_view(connection.received).substr(0, newline));
    Close(fd, command ? "ok" : "error: unknown command");
    return command;
  }
}

void CommandServer::DropTimedOut() {
  int64_t now = MonotonicMs();
  std::vector<int> late;
  for (const Connection& connection : connections_)
    if (connection.deadlineMs <= now) late.push_back(connection.fd);
  for (int fd : late)
    Close(fd, "error: no command within " + std::to_string(settings_.readTimeoutMs) + " ms");
}

void CommandServer::ArmTimer() {
  itimerspec when{};
  if (!connections_.empty()) {
    int64_t first =
        std::min_element(connections_.begin(), connections_.end(), [](const auto& a, const auto& b) {
          return a.deadlineMs < b.deadlineMs;
        })->deadlineMs;
    when.it_value.tv_sec = static_cast<time_t>(first / 1000);
    when.it_value.tv_nsec = static_cast<long>(first % 1000 * 1000000);
  }
  timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &when, nullptr);
}

void CommandServer::Close(int fd, std::string_view reply) {
  if (!reply.empty()) {
    std::string line = std::string(reply) + "\n";
    [[maybe_unused]] ssize_t sent = send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  }
  close(fd);  // also leaves the epoll set
  std::erase_if(connections_, [fd](const Connection& connection) { return connection.fd == fd; });
}

SendOutcome SendCommand(const std::string& path, Command command, SendWaits waits) {
  return SendLine(path, NameOf(command), waits);
}

SendOutcome SendLine(const std::string& path, std::string_view line, SendWaits waits) {
  sockaddr_un address;
  if (!AddressOf(path, address)) return {SendResult::NotRunning, "the socket path " + path + " is too long"};
  int64_t start = MonotonicMs();
  int fd = -1;
  for (;;) {
    fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return {SendResult::NoAnswer, "cannot make a socket: " + Why(errno)};
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) break;
    int error = errno;
    close(fd);
    // Nobody listens yet, or the backlog of a busy server is full: both may pass within the wait.
    bool absent = error == ENOENT || error == ECONNREFUSED;
    int64_t waited = MonotonicMs() - start;
    if (absent && waited >= waits.connectMs) return {SendResult::NotRunning, "Lectryn is not running"};
    if (!absent && (error != EAGAIN || waited >= waits.replyMs))
      return {SendResult::NoAnswer, "cannot connect to " + path + ": " + Why(error)};
    std::this_thread::sleep_for(std::chrono::milliseconds(kConnectRetryMs));
  }
  int64_t deadline = MonotonicMs() + waits.replyMs;
  std::string late = "no answer within " + std::to_string(waits.replyMs) + " ms";
  std::string request = std::string(line) + "\n";
  std::string broken;
  size_t sent = 0;
  while (sent < request.size() && broken.empty()) {
    ssize_t count = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (count >= 0) {
      sent += static_cast<size_t>(count);
    } else if (errno == EPIPE || errno == ECONNRESET) {
      break;  // the server refused before it read everything: its answer says why
    } else if (errno == EAGAIN) {
      if (!WaitFor(fd, POLLOUT, deadline)) broken = late;
    } else if (errno != EINTR) {
      broken = Why(errno);
    }
  }
  std::string reply;
  while (broken.empty() && reply.find('\n') == std::string::npos && reply.size() < kMaxCommandLine) {
    char buffer[kMaxCommandLine];
    ssize_t count = read(fd, buffer, sizeof buffer);
    if (count > 0) {
      reply.append(buffer, static_cast<size_t>(count));
    } else if (count == 0) {
      break;
    } else if (errno == EAGAIN) {
      if (!WaitFor(fd, POLLIN, deadline)) broken = late;
    } else if (errno != EINTR) {
      broken = Why(errno);
    }
  }
  close(fd);
  reply = reply.substr(0, reply.find('\n'));
  if (reply == "ok") return {SendResult::Done, {}};
  constexpr std::string_view kError = "error: ";
  if (reply.starts_with(kError)) return {SendResult::Refused, reply.substr(kError.size())};
  if (!broken.empty()) return {SendResult::NoAnswer, broken};
  return {SendResult::NoAnswer,
          reply.empty() ? "the connection closed without an answer" : "a strange answer: " + reply};
}

}  // namespace lectryn::system
