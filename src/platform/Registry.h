#pragma once
// The registry operations of the settings store and the about box, with their platform result
// codes. Key handles are 32-bit signed; 0 is no key.
#include <cstdint>
#include <string>

namespace lectryn::platform {

using HKEY = int32_t;
using LONG = int32_t;
using DWORD = uint32_t;
using REGSAM = uint32_t;

constexpr HKEY HKEY_CURRENT_USER = static_cast<HKEY>(0x80000001u);
constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<HKEY>(0x80000002u);

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr REGSAM KEY_QUERY_VALUE = 0x1;
constexpr REGSAM KEY_SET_VALUE = 0x2;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x4;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x8;
constexpr REGSAM KEY_NOTIFY = 0x10;
constexpr REGSAM KEY_CREATE_LINK = 0x20;
constexpr REGSAM READ_CONTROL = 0x20000;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

class Registry {
 public:
  virtual ~Registry() = default;
  virtual LONG RegOpenKeyExA(HKEY root, const std::string& subKey, DWORD options, REGSAM desired,
                             HKEY& result) = 0;
  // Creates the key and its missing parents; disposition says which happened.
  virtual LONG RegCreateKeyExA(HKEY root, const std::string& subKey, DWORD reserved, const char* keyClass,
                               DWORD options, REGSAM desired, const void* security, HKEY& result,
                               DWORD* disposition) = 0;
  // data null: only type and size are reported. A short buffer gives ERROR_MORE_DATA and the size.
  virtual LONG RegQueryValueExA(HKEY key, const std::string& name, DWORD* reserved, DWORD* type,
                                uint8_t* data, DWORD* dataSize) = 0;
  virtual LONG RegSetValueExA(HKEY key, const std::string& name, DWORD reserved, DWORD type,
                              const uint8_t* data, DWORD dataSize) = 0;
  virtual LONG RegCloseKey(HKEY key) = 0;
};

}  // namespace lectryn::platform
