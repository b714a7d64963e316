#pragma once
// A hive kept in a file, shared safely between processes.
//
// Reads take no lock: the file is only ever replaced whole by rename, so a reader sees one complete
// version. Every change runs under an exclusive advisory lock (flock on "<file>.lock" beside the hive):
// the newest file is read again, so changes of other processes are kept, the change is applied, the
// result is written to a temporary file in the same folder, synced, renamed over the hive and the
// folder is synced. A writer killed on the way leaves the old hive intact and at most a temporary file,
// which the next change removes. A file that cannot be parsed is renamed aside, reported on stderr and
// replaced by an empty hive; it is never overwritten.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/Registry.h"
#include "system/Hive.h"

namespace lectryn::system {

// Result codes beyond those the program relies on.
constexpr platform::LONG kErrorRegistryIoFailed = 1016;
constexpr platform::LONG kErrorNoMoreItems = 259;

// Largest hive file that is read; a larger one is treated as damaged.
constexpr size_t kMaxHiveFileBytes = 64 * 1024 * 1024;

enum class HiveAccess { ReadOnly, ReadWrite };
// Private: files 0600, folder 0700 (the user's settings). Shared: files 0644, folder 0755 (the machine
// hive, which every user's program must be able to read).
enum class HiveSharing { Private, Shared };

class HiveFile {
 public:
  // folder: where the hive lives (created on the first change); fileName: e.g. "user.hive".
  HiveFile(std::filesystem::path folder, std::string fileName, HiveAccess access,
           HiveSharing sharing = HiveSharing::Private);

  // The hive as it is now on disk; read again only when the file changed since the last look.
  const Hive& Current();

  // Applies change to the newest hive under the lock. change returns a result code and sets changed when
  // it altered the hive; the file is rewritten only for a success that changed something. Returns
  // change's result, ERROR_ACCESS_DENIED when the hive may not be written (read-only hive, folder or file
  // without permission, hive of a newer format) or kErrorRegistryIoFailed for other failures of the disk.
  platform::LONG Update(const std::function<platform::LONG(Hive& hive, bool& changed)>& change);

  // What went wrong in the last failed Update, for people: "cannot write /x/user.hive: ...".
  const std::string& LastError() const { return lastError_; }
  const std::filesystem::path& HivePath() const { return hivePath_; }

  // Runs after the temporary file is written and synced, just before it replaces the hive. Lets tests
  // stop a writer at the most delicate moment.
  void SetBeforeReplaceHook(std::function<void()> hook) { beforeReplace_ = std::move(hook); }

 private:
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const Identity& other) const;
  };
  enum class LoadOutcome { Loaded, Missing, Damaged, NewerFormat, Unreadable };
  struct Loaded {
    LoadOutcome outcome = LoadOutcome::Missing;
    Hive hive;
    std::optional<Identity> identity;
    std::string problem;
    int error = 0;  // errno for Unreadable
  };

  Loaded Load() const;
  // Loads under the lock, setting a damaged file aside.
  Loaded LoadLocked();
  void SetAside(const std::string& problem);
  // Reports a problem with the file once per version of the file.
  void ReportOnce(const std::optional<Identity>& identity, const std::string& message);
  platform::LONG Fail(int error, const std::string& action, const std::filesystem::path& path);
  platform::LONG WriteAndReplace(const Hive& hive, Identity& written);
  void RemoveStaleTemporaries() const;

  std::filesystem::path folder_;
  std::filesystem::path hivePath_;
  std::filesystem::path lockPath_;
  std::string fileName_;
  HiveAccess access_;
  mode_t fileMode_;
  mode_t folderMode_;
  Hive current_;
  std::optional<Identity> currentIdentity_;
  bool looked_ = false;
  bool newerFormat_ = false;
  std::optional<Identity> reported_;
  bool reportedMissingFile_ = false;
  std::string lastError_;
  std::function<void()> beforeReplace_;
};

}  // namespace lectryn::system
