#include "settings/RegHelper.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "system/RegistryStore.h"
#include "system/TempFolder.h"

namespace lectryn::settings {
namespace {

using namespace platform;
using lectryn::testing::ReadFile;
using lectryn::testing::TempFolder;

// Passes every call on to the real store, counting the writes.
class CountingRegistry : public Registry {
 public:
  explicit CountingRegistry(Registry& inner) : inner_(inner) {}
  LONG RegOpenKeyExA(HKEY root, const std::string& subKey, DWORD options, REGSAM desired,
                     HKEY& result) override {
    return inner_.RegOpenKeyExA(root, subKey, options, desired, result);
  }
  LONG RegCreateKeyExA(HKEY root, const std::string& subKey, DWORD reserved, const char* keyClass,
                       DWORD options, REGSAM desired, const void* security, HKEY& result,
                       DWORD* disposition) override {
    return inner_.RegCreateKeyExA(root, subKey, reserved, keyClass, options, desired, security, result,
                                  disposition);
  }
  LONG RegQueryValueExA(HKEY key, const std::string& name, DWORD* reserved, DWORD* type, uint8_t* data,
                        DWORD* dataSize) override {
    return inner_.RegQueryValueExA(key, name, reserved, type, data, dataSize);
  }
  LONG RegSetValueExA(HKEY key, const std::string& name, DWORD reserved, DWORD type, const uint8_t* data,
                      DWORD dataSize) override {
    ++sets;
    return inner_.RegSetValueExA(key, name, reserved, type, data, dataSize);
  }
  LONG RegCloseKey(HKEY key) override { return inner_.RegCloseKey(key); }

  int sets = 0;

 private:
  Registry& inner_;
};

class RegHelperTest : public ::testing::Test {
 protected:
  std::filesystem::path HivePath() const { return store_.HivePath(HKEY_CURRENT_USER); }

  // The settings key's value as type and bytes; the failing result code as the type when it cannot be read.
  std::pair<DWORD, std::string> Stored(const std::string& name) {
    HKEY key = 0;
    LONG result = store_.RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key);
    if (result != ERROR_SUCCESS) return {1000 + static_cast<DWORD>(result), ""};
    DWORD type = 0;
    DWORD size = 0;
    result = store_.RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    if (result == ERROR_SUCCESS && size > 0) {
      result =
          store_.RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(data.data()), &size);
    }
    store_.RegCloseKey(key);
    if (result != ERROR_SUCCESS) return {1000 + static_cast<DWORD>(result), ""};
    return {type, data};
  }

  void Store(const std::string& name, DWORD type, const std::string& data) {
    HKEY key = 0;
    ASSERT_EQ(ERROR_SUCCESS, store_.RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, 0x3F,
                                                    nullptr, key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              store_.RegSetValueExA(key, name, 0, type, reinterpret_cast<const uint8_t*>(data.data()),
                                    static_cast<DWORD>(data.size())));
    store_.RegCloseKey(key);
  }

  TempFolder temp_;
  system::RegistryStore store_{temp_ / "user", temp_ / "machine"};
  CountingRegistry registry_{store_};
  RegHelper helper_{registry_};
};

TEST_F(RegHelperTest, FirstRunCreatesTheKeyAndStoresTheDefaultWithItsTerminator) {
  EXPECT_EQ("1000", helper_.ReadSetting("MainLeft", "1000"));
  EXPECT_EQ("1000", helper_.ReadSetting("MainTop", "1000"));
  EXPECT_EQ(std::make_pair(REG_SZ, std::string("1000\0", 5)), Stored("MainLeft"));
  EXPECT_EQ(std::make_pair(REG_SZ, std::string("1000\0", 5)), Stored("MainTop"));
  // Read back as stored, not as the default.
  EXPECT_EQ("1000", helper_.ReadSetting("MainLeft", "other"));
}

TEST_F(RegHelperTest, MissingValueInAnExistingKeyGivesTheDefaultAndWritesItBack) {
  Store("MainTop", REG_SZ, std::string("20\0", 3));
  EXPECT_EQ("1000", helper_.ReadSetting("MainLeft", "1000"));
  EXPECT_EQ(std::make_pair(REG_SZ, std::string("1000\0", 5)), Stored("MainLeft"));
  EXPECT_EQ("20", helper_.ReadSetting("MainTop", "1000"));
}

TEST_F(RegHelperTest, StoredNumberReadsAsDecimalTextAndIsNotRewritten) {
  Store("MainLeft", REG_DWORD, std::string("\xd2\x04\0\0", 4));
  Store("MainTop", REG_DWORD, std::string("\xfb\xff\xff\xff", 4));
  registry_.sets = 0;
  EXPECT_EQ("1234", helper_.ReadSetting("MainLeft", "1000"));
  EXPECT_EQ("-5", helper_.ReadSetting("MainTop", "1000"));
  EXPECT_EQ(0, registry_.sets);
  EXPECT_EQ(std::make_pair(REG_DWORD, std::string("\xd2\x04\0\0", 4)), Stored("MainLeft"));
}

class OtherValueTypes : public RegHelperTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(OtherValueTypes, ReadAsEmptyTextAndStayUntouched) {
  const std::string data("1000\0", 5);
  Store("MainLeft", GetParam(), data);
  registry_.sets = 0;
  EXPECT_EQ("", helper_.ReadSetting("MainLeft", "1000"));
  EXPECT_EQ(0, registry_.sets);
  EXPECT_EQ(std::make_pair(GetParam(), data), Stored("MainLeft"));
  SettingValue value = int32_t{7};
  HKEY key = helper_.OpenSettingsKey();
  EXPECT_EQ(kUnsupportedType, helper_.ReadRegValue(key, "MainLeft", value));
  EXPECT_EQ(SettingValue(int32_t{7}), value);
  registry_.RegCloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(RegHelper, OtherValueTypes,
                         ::testing::Values(REG_EXPAND_SZ, REG_BINARY, REG_MULTI_SZ, REG_QWORD, REG_NONE));

TEST_F(RegHelperTest, TextOfSizeZeroReadsEmptyAndWritesNothingBack) {
  Store("MainLeft", REG_SZ, "");
  registry_.sets = 0;
  EXPECT_EQ("", helper_.ReadSetting("MainLeft", "1000"));
  EXPECT_EQ(0, registry_.sets);
  EXPECT_EQ(std::make_pair(REG_SZ, std::string()), Stored("MainLeft"));
}

TEST_F(RegHelperTest, TextStoredWithoutTerminatorKeepsItsLastCharacter) {
  Store("MainLeft", REG_SZ, "1234");
  EXPECT_EQ("1234", helper_.ReadSetting("MainLeft", "1000"));
  Store("MainTop", REG_SZ, std::string("7\0", 2));
  SettingValue value;
  HKEY key = helper_.OpenSettingsKey();
  EXPECT_EQ(ERROR_SUCCESS, helper_.ReadRegValue(key, "MainTop", value));
  EXPECT_EQ(SettingValue(std::string("7")), value);
  registry_.RegCloseKey(key);
}

TEST_F(RegHelperTest, KeyThatDeniesTheSettingsAccessGivesTheDefaultAndChangesNothing) {
  Store("MainLeft", REG_SZ, std::string("50\0", 3));
  ASSERT_EQ(ERROR_SUCCESS, store_.SetDeniedAccess(HKEY_CURRENT_USER, kSettingsKey, kSettingsAccess));
  const std::string before = ReadFile(HivePath());
  EXPECT_EQ(0, helper_.OpenSettingsKey());
  EXPECT_EQ("1000", helper_.ReadSetting("MainLeft", "1000"));
  EXPECT_EQ("1000", helper_.ReadSetting("MainTop", "1000"));
  helper_.WriteSetting("MainLeft", "9");
  EXPECT_EQ(before, ReadFile(HivePath()));
}

TEST_F(RegHelperTest, WrittenSettingIsReadBackByANewStore) {
  helper_.WriteSetting("MainLeft", "1500.5");
  system::RegistryStore later(temp_ / "user", temp_ / "machine");
  EXPECT_EQ("1500.5", RegHelper(later).ReadSetting("MainLeft", "1000"));
}

TEST_F(RegHelperTest, WriteRegValueStoresTextAndNumbersInTheirLayouts) {
  HKEY key = helper_.OpenSettingsKey();
  ASSERT_NE(0, key);
  EXPECT_EQ(ERROR_SUCCESS, helper_.WriteRegValue(key, "n", REG_SZ, SettingValue(int32_t{-12})));
  EXPECT_EQ(std::make_pair(REG_SZ, std::string("-12\0", 4)), Stored("n"));
  EXPECT_EQ(ERROR_SUCCESS, helper_.WriteRegValue(key, "d", REG_DWORD, SettingValue(std::string(" 258 "))));
  EXPECT_EQ(std::make_pair(REG_DWORD, std::string("\x02\x01\0\0", 4)), Stored("d"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            helper_.WriteRegValue(key, "bad", REG_DWORD, SettingValue(std::string("12x"))));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            helper_.WriteRegValue(key, "bad", REG_DWORD, SettingValue(std::string("4294967296"))));
  registry_.sets = 0;
  EXPECT_EQ(ERROR_SUCCESS, helper_.WriteRegValue(key, "bin", REG_BINARY, SettingValue(std::string("x"))));
  EXPECT_EQ(0, registry_.sets);
  EXPECT_EQ(1000 + static_cast<DWORD>(ERROR_FILE_NOT_FOUND), Stored("bad").first);
  registry_.RegCloseKey(key);
}

TEST_F(RegHelperTest, ReadRegValueReportsFailuresAndLeavesTheValue) {
  SettingValue value = std::string("kept");
  EXPECT_EQ(ERROR_INVALID_HANDLE, helper_.ReadRegValue(0, "MainLeft", value));
  HKEY key = helper_.OpenSettingsKey();
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, helper_.ReadRegValue(key, "MainLeft", value));
  EXPECT_EQ(SettingValue(std::string("kept")), value);
  registry_.RegCloseKey(key);
}

TEST_F(RegHelperTest, OverlongNumberValueDoesNotOverrunTheNumber) {
  // Eight bytes under REG_DWORD: reading them into a 32-bit number must not write past it.
  Store("MainLeft", REG_DWORD, std::string("\1\0\0\0\0\0\0\0", 8));
  SettingValue value = std::string("kept");
  HKEY key = helper_.OpenSettingsKey();
  EXPECT_EQ(ERROR_MORE_DATA, helper_.ReadRegValue(key, "MainLeft", value));
  EXPECT_EQ(SettingValue(std::string("kept")), value);
  registry_.RegCloseKey(key);
}

}  // namespace
}  // namespace lectryn::settings
