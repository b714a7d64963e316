#include "system/HiveFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

namespace lectryn::system {
namespace {

using platform::LONG;

// Closes a descriptor when it goes out of scope; for the lock file, that also releases the flock.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now, reporting the error close gives (a late write error on some file systems).
  int Close() {
    int result = close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

int SyncFolder(const std::filesystem::path& folder) {
  Descriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0) return errno;
  if (fsync(fd.Get()) != 0) return errno;
  return 0;
}

// Creates the folder and its missing parents, each made durable in its parent. Returns an errno value or 0.
int MakeFolder(const std::filesystem::path& folder, mode_t mode) {
  std::filesystem::path partial;
  for (const auto& component : folder) {
    partial /= component;
    if (mkdir(partial.c_str(), mode) == 0) {
      std::filesystem::path parent = partial.has_parent_path() ? partial.parent_path() : ".";
      if (int error = SyncFolder(parent)) return error;
    } else if (errno != EEXIST) {
      return errno;
    }
  }
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return errno;
  return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

int WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(written);
  }
  return 0;
}

std::string TimeStamp() {
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  char text[32];
  strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

}  // namespace

bool HiveFile::Identity::operator==(const Identity& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

HiveFile::HiveFile(std::filesystem::path folder, std::string fileName, HiveAccess access, HiveSharing sharing)
    : folder_(std::move(folder)),
      hivePath_(folder_ / fileName),
      lockPath_(folder_ / (fileName + ".lock")),
      fileName_(std::move(fileName)),
      access_(access),
      fileMode_(sharing == HiveSharing::Shared ? 0644 : 0600),
      folderMode_(sharing == HiveSharing::Shared ? 0755 : 0700) {}

HiveFile::Loaded HiveFile::Load() const {
  Loaded loaded;
  Descriptor fd(open(hivePath_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return loaded;
    loaded.outcome = LoadOutcome::Unreadable;
    loaded.error = errno;
    return loaded;
  }
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0) {
    loaded.outcome = LoadOutcome::Unreadable;
    loaded.error = errno;
    return loaded;
  }
  loaded.identity = Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  if (static_cast<size_t>(info.st_size) > kMaxHiveFileBytes) {
    loaded.outcome = LoadOutcome::Damaged;
    loaded.problem = "larger than " + std::to_string(kMaxHiveFileBytes) + " bytes";
    return loaded;
  }
  std::string text;
  char buffer[16384];
  for (;;) {
    ssize_t got = read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      loaded.outcome = LoadOutcome::Unreadable;
      loaded.error = errno;
      return loaded;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (text.size() > kMaxHiveFileBytes) break;
  }
  HiveParse parse = Hive::Parse(text, loaded.hive);
  switch (parse.outcome) {
    case HiveParse::Outcome::Parsed:
      loaded.outcome = LoadOutcome::Loaded;
      break;
    case HiveParse::Outcome::Damaged:
      loaded.outcome = LoadOutcome::Damaged;
      break;
    case HiveParse::Outcome::NewerFormat:
      loaded.outcome = LoadOutcome::NewerFormat;
      break;
  }
  loaded.problem = parse.problem;
  return loaded;
}

void HiveFile::ReportOnce(const std::optional<Identity>& identity, const std::string& message) {
  if (reported_.has_value() && identity.has_value() && *reported_ == *identity) return;
  if (!identity.has_value() && reportedMissingFile_) return;
  reported_ = identity;
  reportedMissingFile_ = !identity.has_value();
  std::fprintf(stderr, "lectryn: %s\n", message.c_str());
}

const Hive& HiveFile::Current() {
  struct stat info {};
  if (stat(hivePath_.c_str(), &info) == 0) {
    Identity now{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    if (looked_ && currentIdentity_.has_value() && *currentIdentity_ == now) return current_;
  } else if (errno == ENOENT && looked_ && !currentIdentity_.has_value() && !newerFormat_) {
    return current_;
  }
  looked_ = true;
  Loaded loaded = Load();
  if (loaded.outcome == LoadOutcome::Damaged && access_ == HiveAccess::ReadWrite) {
    // Setting the file aside needs the lock, so that no writer is replacing it at the same moment.
    Descriptor lock(open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode_));
    if (lock.Get() >= 0 && flock(lock.Get(), LOCK_EX) == 0) loaded = LoadLocked();
  }
  newerFormat_ = false;
  switch (loaded.outcome) {
    case LoadOutcome::Loaded:
    case LoadOutcome::Missing:
      break;
    case LoadOutcome::Damaged:
      ReportOnce(loaded.identity, "the settings file " + hivePath_.string() + " cannot be read (" +
                                      loaded.problem + "); its settings are ignored until it is repaired");
      break;
    case LoadOutcome::NewerFormat:
      newerFormat_ = true;
      ReportOnce(loaded.identity, "the settings file " + hivePath_.string() + " was written by a newer " +
                                      "version of the program (" + loaded.problem +
                                      "); its settings are ignored and left unchanged");
      break;
    case LoadOutcome::Unreadable:
      ReportOnce(loaded.identity, (loaded.problem.empty() ? "cannot read" : loaded.problem + ":") +
                                      std::string(" the settings file ") + hivePath_.string() + ": " +
                                      std::strerror(loaded.error) + "; its settings are ignored");
      break;
  }
  current_ = std::move(loaded.hive);
  currentIdentity_ = loaded.identity;
  return current_;
}

HiveFile::Loaded HiveFile::LoadLocked() {
  Loaded loaded = Load();
  if (loaded.outcome != LoadOutcome::Damaged) return loaded;
  std::string aside = hivePath_.string() + ".damaged-" + TimeStamp();
  std::string candidate = aside;
  struct stat info {};
  for (int n = 1; lstat(candidate.c_str(), &info) == 0; ++n) candidate = aside + "-" + std::to_string(n);
  if (rename(hivePath_.c_str(), candidate.c_str()) != 0) {
    loaded.outcome = LoadOutcome::Unreadable;
    loaded.error = errno;
    loaded.problem = "cannot move the damaged file aside";
    return loaded;
  }
  SyncFolder(folder_);
  std::fprintf(stderr,
               "lectryn: the settings file %s could not be read (%s); it was moved to %s and the settings "
               "start empty. Repair that file and move it back to recover its values.\n",
               hivePath_.c_str(), loaded.problem.c_str(), candidate.c_str());
  return Loaded{};
}

LONG HiveFile::Fail(int error, const std::string& action, const std::filesystem::path& path) {
  lastError_ = action + " " + path.string() + ": " + std::strerror(error);
  if (error == EACCES || error == EPERM || error == EROFS) {
    lastError_ += " (the settings folder " + folder_.string() + " must be writable by this user)";
    return platform::ERROR_ACCESS_DENIED;
  }
  return kErrorRegistryIoFailed;
}

void HiveFile::RemoveStaleTemporaries() const {
  DIR* folder = opendir(folder_.c_str());
  if (folder == nullptr) return;
  std::string prefix = fileName_ + ".tmp-";
  while (dirent* entry = readdir(folder)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
      unlinkat(dirfd(folder), entry->d_name, 0);
    }
  }
  closedir(folder);
}

LONG HiveFile::WriteAndReplace(const Hive& hive, Identity& written) {
  std::string text = hive.Serialize();
  // A file too large to be read back would be set aside as damaged on the next read.
  if (text.size() > kMaxHiveFileBytes) {
    lastError_ = "cannot write " + hivePath_.string() + ": it would grow beyond " +
                 std::to_string(kMaxHiveFileBytes) + " bytes; delete values that are no longer needed";
    return kErrorRegistryIoFailed;
  }
  std::string temporary = (folder_ / (fileName_ + ".tmp-XXXXXX")).string();
  Descriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.Get() < 0) return Fail(errno, "cannot write", folder_ / (fileName_ + ".tmp-*"));
  auto failAndRemove = [&](int error, const std::string& action) {
    unlink(temporary.c_str());
    return Fail(error, action, temporary);
  };
  if (fchmod(fd.Get(), fileMode_) != 0) return failAndRemove(errno, "cannot set the mode of");
  if (int error = WriteAll(fd.Get(), text)) return failAndRemove(error, "cannot write");
  if (fsync(fd.Get()) != 0) return failAndRemove(errno, "cannot sync");
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0) return failAndRemove(errno, "cannot examine");
  if (int error = fd.Close()) return failAndRemove(error, "cannot write");
  if (beforeReplace_) beforeReplace_();
  if (rename(temporary.c_str(), hivePath_.c_str()) != 0) return failAndRemove(errno, "cannot replace");
  // Without this the rename itself may not survive a crash.
  if (int error = SyncFolder(folder_)) return Fail(error, "cannot sync the folder", folder_);
  written = Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  return platform::ERROR_SUCCESS;
}

LONG HiveFile::Update(const std::function<LONG(Hive& hive, bool& changed)>& change) {
  lastError_.clear();
  if (access_ == HiveAccess::ReadOnly) {
    lastError_ = "cannot write " + hivePath_.string() + ": this hive is read-only to the program";
    return platform::ERROR_ACCESS_DENIED;
  }
  if (int error = MakeFolder(folder_, folderMode_)) return Fail(error, "cannot create the folder", folder_);
  Descriptor lock(open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode_));
  if (lock.Get() < 0) return Fail(errno, "cannot open the lock file", lockPath_);
  while (flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return Fail(errno, "cannot lock", lockPath_);
  }
  // A temporary file can only outlive its writer's lock when that writer died.
  RemoveStaleTemporaries();
  Loaded loaded = LoadLocked();
  looked_ = true;
  switch (loaded.outcome) {
    case LoadOutcome::Loaded:
    case LoadOutcome::Missing:
      break;
    case LoadOutcome::Damaged:  // LoadLocked never leaves a damaged file in place
    case LoadOutcome::Unreadable:
      // Writing now would replace values that could not be read.
      return Fail(loaded.error, loaded.problem.empty() ? "cannot read" : loaded.problem + ":", hivePath_);
    case LoadOutcome::NewerFormat:
      lastError_ =
          "cannot write " + hivePath_.string() + ": it was written by a newer version of the program";
      return platform::ERROR_ACCESS_DENIED;
  }
  current_ = loaded.hive;
  currentIdentity_ = loaded.identity;
  newerFormat_ = false;
  Hive changedHive = std::move(loaded.hive);
  bool changed = false;
  LONG result = change(changedHive, changed);
  if (result != platform::ERROR_SUCCESS || !changed) return result;
  Identity written;
  if (LONG failed = WriteAndReplace(changedHive, written)) return failed;
  current_ = std::move(changedHive);
  currentIdentity_ = written;
  return platform::ERROR_SUCCESS;
}

}  // namespace lectryn::system
