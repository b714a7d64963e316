// The speed and voices the desktop stores, as the terminal reader reads them back.
#include "app/ListenerSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/load/TempFolder.h"
#include "settings/ListenerSettings.h"
#include "settings/RegHelper.h"

namespace lectryn::app {
namespace {

using engine::testing::TempFolder;

TEST(StoredListenerSettings, RateAndAVoicePerLanguageBesideOtherSettings) {
  TempFolder folder;
  system::RegistryStore store(folder.Path("user"), folder.Path("machine"));
  settings::RegHelper helper(store);
  helper.WriteSetting("MainLeft", "1000");
  // As the desktop writes them at close.
  helper.WriteSetting(settings::kRateSetting, settings::SettingOfRate(250));
  helper.WriteSetting(settings::kVoicesSetting,
                      settings::SettingOfVoiceChoices({{"fr", "roa/fr"}, {"pt", "roa/pt-BR"}}));
  ListenerSettings stored = ReadListenerSettings(store);
  EXPECT_EQ(250, stored.rate);
  EXPECT_EQ((platform::VoiceChoices{{"fr", "roa/fr"}, {"pt", "roa/pt-BR"}}), stored.voices);

  // A number value is read as its text; a speed out of range or text that is no number is no speed.
  platform::HKEY key = helper.OpenSettingsKey();
  helper.WriteRegValue(key, settings::kRateSetting, platform::REG_DWORD, int32_t{0});
  EXPECT_EQ(0, ReadListenerSettings(store).rate);
  helper.WriteRegValue(key, settings::kRateSetting, platform::REG_SZ, std::string("fast"));
  EXPECT_FALSE(ReadListenerSettings(store).rate);
  helper.WriteRegValue(key, settings::kRateSetting, platform::REG_SZ, std::string("900"));
  EXPECT_FALSE(ReadListenerSettings(store).rate);
  store.RegCloseKey(key);
}

TEST(StoredListenerSettings, TheEngineChosenLastAndNoneForAnEmptyText) {
  TempFolder folder;
  system::RegistryStore store(folder.Path("user"), folder.Path("machine"));
  settings::RegHelper helper(store);
  helper.WriteSetting(settings::kEngineSetting, "speechd");
  EXPECT_EQ("speechd", ReadListenerSettings(store).engine);
  helper.WriteSetting(settings::kEngineSetting, "");
  EXPECT_FALSE(ReadListenerSettings(store).engine);
}

TEST(StoredListenerSettings, NoneStoredIsNoneReadAndNothingIsWritten) {
  TempFolder folder;
  system::RegistryStore store(folder.Path("user"), folder.Path("machine"));
  ListenerSettings stored = ReadListenerSettings(store);
  EXPECT_FALSE(stored.rate);
  EXPECT_TRUE(stored.voices.empty());
  EXPECT_FALSE(stored.engine);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << "reading the settings made files";
}

}  // namespace
}  // namespace lectryn::app
