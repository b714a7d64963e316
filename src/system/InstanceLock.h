#pragma once
// One running copy of the program: an advisory lock on "lectryn.lock" in $XDG_RUNTIME_DIR, or in the
// config folder ($XDG_CONFIG_HOME or ~/.config, subfolder "lectryn") when that is unset. The kernel drops
// the lock when its holder ends, however it ends, so a file left by a killed copy blocks nobody.
#include <string>

namespace lectryn::system {

class InstanceLock {
 public:
  static constexpr const char* kFileName = "lectryn.lock";

  // The lock in the usual folder.
  InstanceLock();
  // The lock in folder (made when missing); tests use their own.
  explicit InstanceLock(const std::string& folder);
  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this object holds the lock from now until it is destroyed; false when another holder
  // has it. When no lock can be made at all (no writable folder) nobody else can hold one either, so
  // the answer is true.
  bool Acquire();

  const std::string& FilePath() const { return path_; }

  // $XDG_RUNTIME_DIR, else $XDG_CONFIG_HOME/lectryn, else $HOME/.config/lectryn.
  static std::string DefaultFolder();

 private:
  void Release();

  std::string path_;  // made before any Acquire, which then needs no allocation
  int fd_ = -1;
};

}  // namespace lectryn::system
