// The speed and voices the desktop stores, as the terminal reader reads them back.
#include "app/ListenerSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/load/TempFolder.h"
#include "settings/RegHelper.h"

namespace lectryn::app {
namespace {

using engine::testing::TempFolder;

TEST(StoredListenerSettings, RateAndAVoicePerLanguageBesideOtherSettings) {
  TempFolder folder;
  system::RegistryStore store(folder.Path("user"), folder.Path("machine"));
  settings::RegHelper helper(store);
  helper.WriteSetting("MainLeft", "1000");
  helper.WriteSetting("Rate", "250");
  helper.WriteSetting("Voice.fr", "roa/fr");
  helper.WriteSetting("Voice.PT", "roa/pt-BR");  // a language is lower case whatever the name says
  helper.WriteSetting("Voice", "en");            // another setting altogether
  helper.WriteSetting("Voice.de", "");           // no choice
  ListenerSettings stored = ReadListenerSettings(store);
  EXPECT_EQ(250, stored.rate);
  EXPECT_EQ((platform::VoiceChoices{{"fr", "roa/fr"}, {"pt", "roa/pt-BR"}}), stored.voices);

  // The desktop may store the speed as a number value too; text that is no number is no speed.
  platform::HKEY key = helper.OpenSettingsKey();
  helper.WriteRegValue(key, "Rate", platform::REG_DWORD, int32_t{0});
  EXPECT_EQ(0, ReadListenerSettings(store).rate);
  helper.WriteRegValue(key, "Rate", platform::REG_SZ, std::string("fast"));
  EXPECT_FALSE(ReadListenerSettings(store).rate);
  store.RegCloseKey(key);
}

TEST(StoredListenerSettings, NoneStoredIsNoneReadAndNothingIsWritten) {
  TempFolder folder;
  system::RegistryStore store(folder.Path("user"), folder.Path("machine"));
  ListenerSettings stored = ReadListenerSettings(store);
  EXPECT_FALSE(stored.rate);
  EXPECT_TRUE(stored.voices.empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << "reading the settings made files";
}

}  // namespace
}  // namespace lectryn::app
