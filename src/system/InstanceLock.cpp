#include "system/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace lectryn::system {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

InstanceLock::InstanceLock() : InstanceLock(DefaultFolder()) {}

InstanceLock::InstanceLock(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  path_ = (std::filesystem::path(folder) / kFileName).string();
}

InstanceLock::~InstanceLock() {
  Release();
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    Release();
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool InstanceLock::Acquire() {
  if (fd_ >= 0) return true;
  // Close-on-exec: a browser started from the program must not keep the lock once the program ends.
  int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  int result = 0;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    bool heldElsewhere = errno == EWOULDBLOCK;
    close(fd);
    return !heldElsewhere;
  }
  fd_ = fd;
  return true;
}

void InstanceLock::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

std::string InstanceLock::DefaultFolder() {
  if (std::string runtime = Environment("XDG_RUNTIME_DIR"); !runtime.empty()) return runtime;
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty()) {
    std::string home = Environment("HOME");
    config = (home.empty() ? std::string("/tmp") : home) + "/.config";
  }
  return config + "/lectryn";
}

}  // namespace lectryn::system
