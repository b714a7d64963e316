#pragma once
// What the running program knows of itself: its data folder (where its pictures, help page and icons
// lie), its version and whether another copy of it is already running.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/App.h"
#include "system/InstanceLock.h"

namespace lectryn::system {

class ProgramApp : public platform::App {
 public:
  // The version numbers are the build's project version; lock guards the single running copy.
  ProgramApp(int32_t major, int32_t minor, int32_t revision, InstanceLock lock = InstanceLock());

  std::string Path() const override { return path_; }
  int32_t Major() const override { return major_; }
  int32_t Minor() const override { return minor_; }
  int32_t Revision() const override { return revision_; }
  std::u16string Title() const override { return u"Lectryn"; }
  // Asked once; a first copy keeps the lock for the rest of its life.
  bool PrevInstance() override;

  // The folder of the running executable, from /proc/self/exe.
  static std::string ExecutableFolder();
  // Where the program's data lies: installed, share/lectryn beside the executable's bin folder;
  // run from the build folder, the executable's own folder, where the build copies the data.
  static std::string DataFolder();
  // The same choice for a given executable folder.
  static std::string DataFolderFor(const std::string& executableFolder);

 private:
  std::string path_;
  int32_t major_;
  int32_t minor_;
  int32_t revision_;
  InstanceLock lock_;
  std::optional<bool> prevInstance_;
};

}  // namespace lectryn::system
