#include "system/ProgramApp.h"

#include <filesystem>
#include <utility>

namespace lectryn::system {

ProgramApp::ProgramApp(int32_t major, int32_t minor, int32_t revision, InstanceLock lock)
    : path_(ExecutableFolder()), major_(major), minor_(minor), revision_(revision), lock_(std::move(lock)) {}

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

}  // namespace lectryn::system
