#pragma once
// The registry on Linux: HKEY_CURRENT_USER is the user's hive file, HKEY_LOCAL_MACHINE a hive that an
// administrator provides and the program only reads. Key paths use '\' and are compared ignoring ASCII
// case, as value names are. A handle grants the rights it was opened with; a key may carry a rule
// ("deny" in the hive) that refuses given rights to every open. Values keep their type and exact bytes.
// Every call sees the other processes' latest saved changes.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "system/HiveFile.h"

namespace lectryn::system {

// Largest value data accepted, in bytes.
constexpr platform::DWORD kMaxValueDataBytes = 1024 * 1024;

enum class MachineHive { ReadOnly, Writable };

struct RegistryFolders {
  std::filesystem::path user;     // $XDG_CONFIG_HOME/lectryn or ~/.config/lectryn
  std::filesystem::path machine;  // /etc/lectryn
};

// The folders of the running user; empty user path when no home folder can be found.
RegistryFolders DefaultRegistryFolders();

class RegistryStore : public platform::Registry {
 public:
  // The hives are "user.hive" in userFolder and "machine.hive" in machineFolder. The folders are created
  // on the first write, not before. MachineHive::Writable is for the administration tool.
  RegistryStore(std::filesystem::path userFolder, std::filesystem::path machineFolder,
                MachineHive machine = MachineHive::ReadOnly);

  platform::LONG RegOpenKeyExA(platform::HKEY root, const std::string& subKey, platform::DWORD options,
                               platform::REGSAM desired, platform::HKEY& result) override;
  platform::LONG RegCreateKeyExA(platform::HKEY root, const std::string& subKey, platform::DWORD reserved,
                                 const char* keyClass, platform::DWORD options, platform::REGSAM desired,
                                 const void* security, platform::HKEY& result,
                                 platform::DWORD* disposition) override;
  platform::LONG RegQueryValueExA(platform::HKEY key, const std::string& name, platform::DWORD* reserved,
                                  platform::DWORD* type, uint8_t* data, platform::DWORD* dataSize) override;
  platform::LONG RegSetValueExA(platform::HKEY key, const std::string& name, platform::DWORD reserved,
                                platform::DWORD type, const uint8_t* data, platform::DWORD dataSize) override;
  platform::LONG RegCloseKey(platform::HKEY key) override;

  // Administration. Deleting needs KEY_SET_VALUE; enumerating needs KEY_QUERY_VALUE and gives
  // kErrorNoMoreItems past the last value.
  platform::LONG RegDeleteValueA(platform::HKEY key, const std::string& name);
  platform::LONG RegEnumValueA(platform::HKEY key, platform::DWORD index, std::string& name,
                               platform::DWORD& type, std::vector<uint8_t>& data);
  // Sets the rights that every open of the key is refused (0 removes the rule), creating the key when
  // it is missing. Not subject to the key's current rule.
  platform::LONG SetDeniedAccess(platform::HKEY root, const std::string& subKey, platform::REGSAM denied);

  // What went wrong with the last failed write to disk, for people; empty when nothing did.
  std::string LastError() const;
  std::filesystem::path HivePath(platform::HKEY root) const;

  // See HiveFile::SetBeforeReplaceHook; applies to the user's hive.
  void SetBeforeReplaceHookForTesting(std::function<void()> hook);

 private:
  struct OpenKey {
    platform::HKEY root;
    std::string path;
    platform::REGSAM granted;
  };
  // The hive and key path a handle stands for; null hive for an unknown handle.
  HiveFile* Resolve(platform::HKEY key, OpenKey& open);
  // The hive and full path of subKey below root (a root or an open handle); a result code on failure.
  platform::LONG ResolveSubKey(platform::HKEY root, const std::string& subKey, OpenKey& base, HiveFile*& hive,
                               std::string& path);
  platform::HKEY AddHandle(const OpenKey& open);
  platform::LONG Write(HiveFile& hive, const std::function<platform::LONG(Hive&, bool&)>& change);

  mutable std::mutex mutex_;
  HiveFile user_;
  HiveFile machine_;
  std::map<platform::HKEY, OpenKey> handles_;
  platform::HKEY nextHandle_ = 0x100;
  std::string lastError_;
};

// A store on the default folders, or null (with the reason in problem) when the user has no home folder.
std::unique_ptr<RegistryStore> OpenDefaultRegistry(std::string* problem = nullptr);

}  // namespace lectryn::system
