#include "system/ProgramApp.h"

#include <filesystem>
#include <utility>

namespace lectryn::system {

ProgramApp::ProgramApp(int32_t major, int32_t minor, int32_t revision, InstanceLock lock)
    : path_(DataFolder()), major_(major), minor_(minor), revision_(revision), lock_(std::move(lock)) {}

bool ProgramApp::PrevInstance() {
  if (!prevInstance_) prevInstance_ = !lock_.Acquire();
  return *prevInstance_;
}

std::string ProgramApp::ExecutableFolder() {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path(error).string();
  std::string folder = executable.parent_path().string();
  return folder.empty() ? std::string("/") : folder;
}

std::string ProgramApp::DataFolder() {
  return DataFolderFor(ExecutableFolder());
}

std::string ProgramApp::DataFolderFor(const std::string& executableFolder) {
  std::filesystem::path installed =
      (std::filesystem::path(executableFolder) / ".." / "share" / "lectryn").lexically_normal();
  std::error_code error;
  if (std::filesystem::is_regular_file(installed / "Help.htm", error)) return installed.string();
  return executableFolder;
}

}  // namespace lectryn::system
