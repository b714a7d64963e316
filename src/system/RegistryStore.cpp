#include "system/RegistryStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace lectryn::system {
namespace {

using platform::DWORD;
using platform::HKEY;
using platform::LONG;
using platform::REGSAM;

// What a predefined root handle grants: every right of a key.
constexpr REGSAM kAllKeyRights = 0xF003F;

}  // namespace

RegistryFolders DefaultRegistryFolders() {
  RegistryFolders folders;
  folders.machine = "/etc/lectryn";
  // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    folders.user = std::filesystem::path(config) / "lectryn";
    return folders;
  }
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] == '/') {
    home = variable;
  } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    home = entry->pw_dir;
  }
  if (!home.empty()) folders.user = std::filesystem::path(home) / ".config" / "lectryn";
  return folders;
}

std::unique_ptr<RegistryStore> OpenDefaultRegistry(std::string* problem) {
  RegistryFolders folders = DefaultRegistryFolders();
  if (folders.user.empty()) {
    if (problem != nullptr) {
      *problem = "cannot find the settings folder: neither XDG_CONFIG_HOME nor HOME names an absolute folder";
    }
    return nullptr;
  }
  return std::make_unique<RegistryStore>(folders.user, folders.machine);
}

RegistryStore::RegistryStore(std::filesystem::path userFolder, std::filesystem::path machineFolder,
                             MachineHive machine)
    : user_(std::move(userFolder), "user.hive", HiveAccess::ReadWrite),
      machine_(std::move(machineFolder), "machine.hive",
               machine == MachineHive::Writable ? HiveAccess::ReadWrite : HiveAccess::ReadOnly,
               HiveSharing::Shared) {}

HiveFile* RegistryStore::Resolve(HKEY key, OpenKey& open) {
  if (key == platform::HKEY_CURRENT_USER || key == platform::HKEY_LOCAL_MACHINE) {
    open = OpenKey{key, "", kAllKeyRights};
  } else if (auto found = handles_.find(key); found != handles_.end()) {
    open = found->second;
  } else {
    return nullptr;
  }
  return open.root == platform::HKEY_CURRENT_USER ? &user_ : &machine_;
}

LONG RegistryStore::ResolveSubKey(HKEY root, const std::string& subKey, OpenKey& base, HiveFile*& hive,
                                  std::string& path) {
  hive = Resolve(root, base);
  if (hive == nullptr) return platform::ERROR_INVALID_HANDLE;
  if (!JoinKeyPath(base.path, subKey, path)) return platform::ERROR_INVALID_PARAMETER;
  return platform::ERROR_SUCCESS;
}

HKEY RegistryStore::AddHandle(const OpenKey& open) {
  // Handles are never reused, so a stale handle cannot reach another key.
  HKEY handle = nextHandle_;
  if (nextHandle_ < std::numeric_limits<HKEY>::max()) ++nextHandle_;
  handles_[handle] = open;
  return handle;
}

LONG RegistryStore::Write(HiveFile& hive, const std::function<LONG(Hive&, bool&)>& change) {
  LONG result = hive.Update(change);
  lastError_ = hive.LastError();
  return result;
}

LONG RegistryStore::RegOpenKeyExA(HKEY root, const std::string& subKey, DWORD /*options*/, REGSAM desired,
                                  HKEY& result) {
  std::lock_guard guard(mutex_);
  result = 0;
  OpenKey base{};
  HiveFile* hive = nullptr;
  std::string path;
  if (LONG failed = ResolveSubKey(root, subKey, base, hive, path)) return failed;
  const HiveKey* key = hive->Current().FindKey(path);
  if (key == nullptr) return platform::ERROR_FILE_NOT_FOUND;
  if ((key->denied & desired) != 0) return platform::ERROR_ACCESS_DENIED;
  result = AddHandle(OpenKey{base.root, key->path, desired});
  return platform::ERROR_SUCCESS;
}

LONG RegistryStore::RegCreateKeyExA(HKEY root, const std::string& subKey, DWORD /*reserved*/,
                                    const char* /*keyClass*/, DWORD /*options*/, REGSAM desired,
                                    const void* /*security*/, HKEY& result, DWORD* disposition) {
  std::lock_guard guard(mutex_);
  result = 0;
  OpenKey base{};
  HiveFile* hive = nullptr;
  std::string path;
  if (LONG failed = ResolveSubKey(root, subKey, base, hive, path)) return failed;
  auto finish = [&](const HiveKey& key, DWORD how) {
    if ((key.denied & desired) != 0) return platform::ERROR_ACCESS_DENIED;
    result = AddHandle(OpenKey{base.root, key.path, desired});
    if (disposition != nullptr) *disposition = how;
    return platform::ERROR_SUCCESS;
  };
  if (const HiveKey* existing = hive->Current().FindKey(path)) {
    return finish(*existing, platform::REG_OPENED_EXISTING_KEY);
  }
  if ((base.granted & platform::KEY_CREATE_SUB_KEY) == 0) return platform::ERROR_ACCESS_DENIED;
  std::string createdPath;
  bool createdNew = false;
  REGSAM denied = 0;
  LONG written = Write(*hive, [&](Hive& newest, bool& changed) {
    // Another process may have created it since the look above.
    HiveKey& key = newest.CreateKey(path, changed);
    createdPath = key.path;
    createdNew = changed;
    denied = key.denied;
    return platform::ERROR_SUCCESS;
  });
  if (written != platform::ERROR_SUCCESS) return written;
  HiveKey created;
  created.path = createdPath;
  created.denied = denied;
  return finish(created, createdNew ? platform::REG_CREATED_NEW_KEY : platform::REG_OPENED_EXISTING_KEY);
}

LONG RegistryStore::RegQueryValueExA(HKEY key, const std::string& name, DWORD* reserved, DWORD* type,
                                     uint8_t* data, DWORD* dataSize) {
  std::lock_guard guard(mutex_);
  OpenKey open{};
  HiveFile* hive = Resolve(key, open);
  if (hive == nullptr) return platform::ERROR_INVALID_HANDLE;
  if (reserved != nullptr || (data != nullptr && dataSize == nullptr))
    return platform::ERROR_INVALID_PARAMETER;
  if ((open.granted & platform::KEY_QUERY_VALUE) == 0) return platform::ERROR_ACCESS_DENIED;
  const HiveKey* found = hive->Current().FindKey(open.path);
  const HiveValue* value = found == nullptr ? nullptr : found->FindValue(name);
  if (value == nullptr) return platform::ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = value->type;
  DWORD size = static_cast<DWORD>(value->data.size());
  if (data == nullptr) {
    if (dataSize != nullptr) *dataSize = size;
    return platform::ERROR_SUCCESS;
  }
  DWORD capacity = *dataSize;
  *dataSize = size;
  if (capacity < size) return platform::ERROR_MORE_DATA;
  if (size > 0) std::memcpy(data, value->data.data(), size);
  return platform::ERROR_SUCCESS;
}

LONG RegistryStore::RegSetValueExA(HKEY key, const std::string& name, DWORD /*reserved*/, DWORD type,
                                   const uint8_t* data, DWORD dataSize) {
  std::lock_guard guard(mutex_);
  OpenKey open{};
  HiveFile* hive = Resolve(key, open);
  if (hive == nullptr) return platform::ERROR_INVALID_HANDLE;
  if ((data == nullptr && dataSize > 0) || dataSize > kMaxValueDataBytes ||
      name.size() > kMaxValueNameBytes) {
    return platform::ERROR_INVALID_PARAMETER;
  }
  if ((open.granted & platform::KEY_SET_VALUE) == 0) return platform::ERROR_ACCESS_DENIED;
  HiveValue wanted{name, type, std::vector<uint8_t>(data, data + dataSize)};
  return Write(*hive, [&](Hive& newest, bool& changed) {
    HiveKey* target = newest.FindKey(open.path);
    if (target == nullptr) return platform::ERROR_FILE_NOT_FOUND;  // removed by someone else meanwhile
    if (HiveValue* existing = target->FindValue(name)) {
      changed = existing->type != type || existing->data != wanted.data;
      existing->type = type;
      existing->data = std::move(wanted.data);
    } else {
      target->values.push_back(std::move(wanted));
      changed = true;
    }
    return platform::ERROR_SUCCESS;
  });
}

LONG RegistryStore::RegCloseKey(HKEY key) {
  std::lock_guard guard(mutex_);
  if (key == platform::HKEY_CURRENT_USER || key == platform::HKEY_LOCAL_MACHINE)
    return platform::ERROR_SUCCESS;
  return handles_.erase(key) == 1 ? platform::ERROR_SUCCESS : platform::ERROR_INVALID_HANDLE;
}

LONG RegistryStore::RegDeleteValueA(HKEY key, const std::string& name) {
  std::lock_guard guard(mutex_);
  OpenKey open{};
  HiveFile* hive = Resolve(key, open);
  if (hive == nullptr) return platform::ERROR_INVALID_HANDLE;
  if ((open.granted & platform::KEY_SET_VALUE) == 0) return platform::ERROR_ACCESS_DENIED;
  if (const HiveKey* found = hive->Current().FindKey(open.path);
      found == nullptr || found->FindValue(name) == nullptr) {
    return platform::ERROR_FILE_NOT_FOUND;
  }
  return Write(*hive, [&](Hive& newest, bool& changed) {
    HiveKey* target = newest.FindKey(open.path);
    HiveValue* value = target == nullptr ? nullptr : target->FindValue(name);
    if (value == nullptr) return platform::ERROR_FILE_NOT_FOUND;
    target->values.erase(target->values.begin() + (value - target->values.data()));
    changed = true;
    return platform::ERROR_SUCCESS;
  });
}

LONG RegistryStore::RegEnumValueA(HKEY key, DWORD index, std::string& name, DWORD& type,
                                  std::vector<uint8_t>& data) {
  std::lock_guard guard(mutex_);
  OpenKey open{};
  HiveFile* hive = Resolve(key, open);
  if (hive == nullptr) return platform::ERROR_INVALID_HANDLE;
  if ((open.granted & platform::KEY_QUERY_VALUE) == 0) return platform::ERROR_ACCESS_DENIED;
  const HiveKey* found = hive->Current().FindKey(open.path);
  if (found == nullptr || index >= found->values.size()) return kErrorNoMoreItems;
  const HiveValue& value = found->values[index];
  name = value.name;
  type = value.type;
  data = value.data;
  return platform::ERROR_SUCCESS;
}

LONG RegistryStore::SetDeniedAccess(HKEY root, const std::string& subKey, REGSAM denied) {
  std::lock_guard guard(mutex_);
  OpenKey base{};
  HiveFile* hive = nullptr;
  std::string path;
  if (LONG failed = ResolveSubKey(root, subKey, base, hive, path)) return failed;
  return Write(*hive, [&](Hive& newest, bool& changed) {
    HiveKey& key = newest.CreateKey(path, changed);
    changed = changed || key.denied != denied;
    key.denied = denied;
    return platform::ERROR_SUCCESS;
  });
}

std::string RegistryStore::LastError() const {
  std::lock_guard guard(mutex_);
  return lastError_;
}

std::filesystem::path RegistryStore::HivePath(HKEY root) const {
  return root == platform::HKEY_LOCAL_MACHINE ? machine_.HivePath() : user_.HivePath();
}

void RegistryStore::SetBeforeReplaceHookForTesting(std::function<void()> hook) {
  std::lock_guard guard(mutex_);
  user_.SetBeforeReplaceHook(std::move(hook));
}

}  // namespace lectryn::system
