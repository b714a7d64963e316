// The question whether to switch the desktop's accessibility on, the No it remembers, and what a
// drag onto a browser without pages tells.
#include "app/AccessibilityConsent.h"

#include <gtest/gtest.h>

#include "engine/load/TempFolder.h"
#include "settings/RegHelper.h"
#include "sim/SimDialogs.h"
#include "system/RegistryStore.h"

namespace lectryn::app {
namespace {

using engine::testing::TempFolder;

class FakeAccessibility : public DesktopAccessibility {
 public:
  std::optional<bool> IsEnabled() override { return enabled; }
  std::optional<std::string> Enable() override {
    ++enables;
    if (refusal) return refusal;
    enabled = true;
    return std::nullopt;
  }
  std::optional<bool> enabled = false;
  std::optional<std::string> refusal;
  int enables = 0;
};

class Consent : public ::testing::Test {
 protected:
  // A program started afresh on the same settings.
  AccessibilityConsent Restarted() { return AccessibilityConsent(desktop, dialogs, store); }
  std::u16string Asked(size_t call) const { return dialogs.Calls().at(call).text; }

  TempFolder folder;
  system::RegistryStore store{folder.Path("user"), folder.Path("machine")};
  FakeAccessibility desktop;
  sim::SimDialogs dialogs;
};

TEST_F(Consent, NoIsRememberedAcrossRunsAndOnlyAnAskingTestSeesTheQuestionAgain) {
  dialogs.QueueAnswer(platform::vbNo);
  EXPECT_EQ(AccessibilityConsent::Outcome::Declined, Restarted().AskAtStart(ConsentQuestion::Usual));
  ASSERT_EQ(1u, dialogs.Calls().size());
  EXPECT_EQ(kConsentQuestion, Asked(0));
  EXPECT_EQ(platform::vbYesNo, dialogs.Calls()[0].buttons);
  EXPECT_EQ(u"Lectryn", dialogs.Calls()[0].title);
  EXPECT_EQ(0, desktop.enables);
  EXPECT_EQ("No", settings::RegHelper(store).ReadSetting(kConsentSetting, ""));

  EXPECT_EQ(AccessibilityConsent::Outcome::NotAsked, Restarted().AskAtStart(ConsentQuestion::Usual));
  EXPECT_EQ(1u, dialogs.Calls().size());
  dialogs.QueueAnswer(platform::vbYes);
  EXPECT_EQ(AccessibilityConsent::Outcome::SwitchedOn, Restarted().AskAtStart(ConsentQuestion::Always));
  EXPECT_EQ(1, desktop.enables);
}

TEST_F(Consent, YesSwitchesItOnAndSaysOpenBrowsersNeedARestartStoringNothing) {
  dialogs.QueueAnswer(platform::vbYes);
  EXPECT_EQ(AccessibilityConsent::Outcome::SwitchedOn, Restarted().AskAtStart(ConsentQuestion::Usual));
  EXPECT_EQ(true, desktop.enabled);
  ASSERT_EQ(2u, dialogs.Calls().size());
  EXPECT_EQ(kConsentDone, Asked(1));
  EXPECT_EQ("", settings::RegHelper(store).ReadSetting(kConsentSetting, ""));
  // Now that it is on, nothing is asked.
  EXPECT_EQ(AccessibilityConsent::Outcome::NotAsked, Restarted().AskAtStart(ConsentQuestion::Usual));
  EXPECT_EQ(2u, dialogs.Calls().size());
}

TEST_F(Consent, NotAskedWithoutABusWhenSuppressedOrWhenOn) {
  desktop.enabled = std::nullopt;
  EXPECT_EQ(AccessibilityConsent::Outcome::NotAsked, Restarted().AskAtStart(ConsentQuestion::Always));
  desktop.enabled = true;
  EXPECT_EQ(AccessibilityConsent::Outcome::NotAsked, Restarted().AskAtStart(ConsentQuestion::Always));
  desktop.enabled = false;
  EXPECT_EQ(AccessibilityConsent::Outcome::NotAsked, Restarted().AskAtStart(ConsentQuestion::Never));
  EXPECT_TRUE(dialogs.Calls().empty());
}

TEST_F(Consent, ARefusedSwitchIsSaidAndNotTakenForANo) {
  desktop.refusal = "the accessibility bus refused (denied)";
  dialogs.QueueAnswer(platform::vbYes);
  EXPECT_EQ(AccessibilityConsent::Outcome::Failed, Restarted().AskAtStart(ConsentQuestion::Usual));
  ASSERT_EQ(2u, dialogs.Calls().size());
  EXPECT_NE(std::u16string::npos, Asked(1).find(u"could not switch"));
  EXPECT_NE(std::u16string::npos, Asked(1).find(u"(denied)"));
  dialogs.QueueAnswer(platform::vbNo);
  EXPECT_EQ(AccessibilityConsent::Outcome::Declined, Restarted().AskAtStart(ConsentQuestion::Usual));
}

TEST(ConsentQuestionChoice, ScriptedRunsAreAskedOnlyWhenTheyAskFor) {
  EXPECT_EQ(ConsentQuestion::Usual, ConsentQuestionOf(nullptr, false));
  EXPECT_EQ(ConsentQuestion::Never, ConsentQuestionOf(nullptr, true));
  EXPECT_EQ(ConsentQuestion::Always, ConsentQuestionOf("ask", true));
  EXPECT_EQ(ConsentQuestion::Usual, ConsentQuestionOf("once", true));
  EXPECT_EQ(ConsentQuestion::Never, ConsentQuestionOf("never", false));
  EXPECT_EQ(ConsentQuestion::Usual, ConsentQuestionOf("", false));
}

TEST_F(Consent, ABrowserWithoutPagesIsToldWhatToDoOncePerProgram) {
  using enum BrowserWithoutPages;
  AccessibilityConsent consent = Restarted();
  EXPECT_FALSE(consent.TellAboutBrowser("XTerm", 10));
  EXPECT_FALSE(consent.TellAboutBrowser("Chromium-Settings", 10));
  EXPECT_FALSE(consent.TellAboutBrowser("", 10));
  EXPECT_TRUE(dialogs.Calls().empty());

  // Off: offered to be switched on, and a No changes nothing.
  EXPECT_TRUE(consent.TellAboutBrowser("firefox-esr", 20));
  ASSERT_EQ(1u, dialogs.Calls().size());
  EXPECT_EQ(AccessibilityConsent::MessageFor(AccessibilityOff, BrowserFamily::Firefox).text, Asked(0));
  EXPECT_EQ(platform::vbYesNo, dialogs.Calls()[0].buttons);
  EXPECT_EQ(0, desktop.enables);
  EXPECT_FALSE(consent.TellAboutBrowser("Firefox-esr", 20));

  // A Yes switches it on; a Chromium is then told to start again with its option.
  dialogs.QueueAnswer(platform::vbYes);
  EXPECT_TRUE(consent.TellAboutBrowser("Chromium", 30));
  EXPECT_EQ(true, desktop.enabled);
  EXPECT_TRUE(consent.TellAboutBrowser("Google-chrome", 40));
  ASSERT_EQ(3u, dialogs.Calls().size());
  EXPECT_EQ(AccessibilityConsent::MessageFor(AccessibilityOn, BrowserFamily::Chromium).text, Asked(2));
  EXPECT_EQ(platform::vbOKOnly, dialogs.Calls()[2].buttons);

  desktop.enabled = std::nullopt;
  EXPECT_TRUE(consent.TellAboutBrowser("Navigator", 50));
  EXPECT_EQ(AccessibilityConsent::MessageFor(NoBus, BrowserFamily::Firefox).text, Asked(3));
}

TEST(BrowserWithoutPagesMessages, EachStateAndFamilySaysItsOwnRemedy) {
  using enum BrowserWithoutPages;
  auto text = [](BrowserWithoutPages state, BrowserFamily family) {
    return AccessibilityConsent::MessageFor(state, family).text;
  };
  auto says = [](const std::u16string& message, std::u16string_view part) {
    return message.find(part) != std::u16string::npos;
  };
  constexpr std::u16string_view kOption = u"--force-renderer-accessibility";
  // Firefox takes the switch at once; a Chromium needs a restart with its option either way.
  EXPECT_TRUE(says(text(AccessibilityOff, BrowserFamily::Firefox), u"is off"));
  EXPECT_FALSE(says(text(AccessibilityOff, BrowserFamily::Firefox), u"start it again"));
  EXPECT_TRUE(says(text(AccessibilityOff, BrowserFamily::Chromium), u"is off"));
  EXPECT_TRUE(says(text(AccessibilityOff, BrowserFamily::Chromium), kOption));
  EXPECT_TRUE(says(text(AccessibilityOn, BrowserFamily::Chromium), kOption));
  EXPECT_FALSE(says(text(AccessibilityOn, BrowserFamily::Chromium), u"is off"));
  EXPECT_FALSE(says(text(AccessibilityOn, BrowserFamily::Firefox), kOption));
  EXPECT_TRUE(says(text(AccessibilityOn, BrowserFamily::Firefox), u"start it again"));
  EXPECT_TRUE(says(text(NoBus, BrowserFamily::Chromium), u"at-spi2-core"));
}

}  // namespace
}  // namespace lectryn::app
