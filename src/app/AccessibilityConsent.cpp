#include "app/AccessibilityConsent.h"

#include <array>

#include "platform/Text.h"
#include "settings/RegHelper.h"

namespace lectryn::app {

namespace {

constexpr char kDeclined[] = "No";

// The classes (WM_CLASS) browsers' windows have: Debian's packages and the usual downloads.
struct KnownBrowser {
  std::string_view className;
  BrowserFamily family;
};
constexpr std::array<KnownBrowser, 9> kBrowserClasses{{
    {"Chromium", BrowserFamily::Chromium},
    {"Chromium-browser", BrowserFamily::Chromium},
    {"Google-chrome", BrowserFamily::Chromium},
    {"Google-chrome-beta", BrowserFamily::Chromium},
    {"Google-chrome-unstable", BrowserFamily::Chromium},
    {"firefox", BrowserFamily::Firefox},
    {"Firefox-esr", BrowserFamily::Firefox},
    {"Navigator", BrowserFamily::Firefox},
    {"firefox-developer-edition", BrowserFamily::Firefox},
}};

// Said to a Chromium, whatever else is said: it needs both a restart and its option.
constexpr char16_t kChromiumRestart[] =
    u" Then close the browser and start it again with the option --force-renderer-accessibility "
    u"(for example: chromium --force-renderer-accessibility).";

}  // namespace

ConsentQuestion ConsentQuestionOf(const char* environmentValue, bool scriptedVoice) {
  std::string_view value = environmentValue ? environmentValue : "";
  if (value == "ask") return ConsentQuestion::Always;
  if (value == "once") return ConsentQuestion::Usual;
  if (value == "never" || scriptedVoice) return ConsentQuestion::Never;
  return ConsentQuestion::Usual;
}

std::optional<BrowserFamily> BrowserFamilyOf(std::string_view className) {
  for (const KnownBrowser& browser : kBrowserClasses)
    if (platform::EqualsIgnoringAsciiCase(className, browser.className)) return browser.family;
  return std::nullopt;
}

AccessibilityConsent::AccessibilityConsent(DesktopAccessibility& desktop, platform::Dialogs& dialogs,
                                           platform::Registry& registry)
    : desktop_(desktop), dialogs_(dialogs), registry_(registry) {}

AccessibilityConsent::Outcome AccessibilityConsent::AskAtStart(ConsentQuestion question) {
  if (question == ConsentQuestion::Never) return Outcome::NotAsked;
  // Without a bus to switch there is nothing to ask about.
  if (desktop_.IsEnabled() != false) return Outcome::NotAsked;
  if (question == ConsentQuestion::Usual && DeclinedBefore()) return Outcome::NotAsked;
  if (dialogs_.MsgBox(kConsentQuestion, platform::vbYesNo, kConsentTitle) != platform::vbYes) {
    RememberDeclined();
    return Outcome::Declined;
  }
  Outcome outcome = SwitchOn();
  // A Chromium that is open keeps its pages to itself until it is started again.
  if (outcome == Outcome::SwitchedOn) dialogs_.MsgBox(kConsentDone, platform::vbOKOnly, kConsentTitle);
  return outcome;
}

bool AccessibilityConsent::TellAboutBrowser(std::string_view className, int32_t pid) {
  std::optional<BrowserFamily> family = BrowserFamilyOf(className);
  if (!family || !toldPrograms_.insert(pid).second) return false;
  std::optional<bool> enabled = desktop_.IsEnabled();
  BrowserWithoutPages state = !enabled   ? BrowserWithoutPages::NoBus
                              : *enabled ? BrowserWithoutPages::AccessibilityOn
                                         : BrowserWithoutPages::AccessibilityOff;
  Message message = MessageFor(state, *family);
  if (dialogs_.MsgBox(message.text, message.buttons, kConsentTitle) == platform::vbYes) SwitchOn();
  return true;
}

AccessibilityConsent::Message AccessibilityConsent::MessageFor(BrowserWithoutPages state,
                                                               BrowserFamily family) {
  bool chromium = family == BrowserFamily::Chromium;
  switch (state) {
    case BrowserWithoutPages::AccessibilityOff:
      return {
          std::u16string(u"Lectryn cannot see the pages of this web browser: the desktop's accessibility is "
                         u"off. Switch it on now?") +
              (chromium ? kChromiumRestart : u""),
          platform::vbYesNo};
    case BrowserWithoutPages::AccessibilityOn:
      if (chromium)
        return {std::u16string(u"Lectryn cannot see the pages of this web browser: it was started before the "
                               u"desktop's accessibility was switched on, or without its option for it.") +
                    kChromiumRestart,
                platform::vbOKOnly};
      return {
          u"Lectryn cannot see a page in this web browser. Wait until the page has loaded; if it still "
          u"cannot be read, close the browser and start it again.",
          platform::vbOKOnly};
    case BrowserWithoutPages::NoBus:
      break;
  }
  return {
      u"Lectryn cannot see the pages of this web browser: the desktop has no accessibility bus. "
      u"Install the package at-spi2-core, log out and in again, then start the browser.",
      platform::vbOKOnly};
}

AccessibilityConsent::Outcome AccessibilityConsent::SwitchOn() {
  std::optional<std::string> problem = desktop_.Enable();
  if (!problem) return Outcome::SwitchedOn;
  dialogs_.MsgBox(u"Lectryn could not switch the desktop's accessibility on: " +
                      platform::FromUtf8(*problem) +
                      u". Switch it on in the desktop's accessibility settings.",
                  platform::vbOKOnly, kConsentTitle);
  return Outcome::Failed;
}

bool AccessibilityConsent::DeclinedBefore() {
  // Opened for reading only: the settings helper would create the key.
  platform::HKEY key = 0;
  if (registry_.RegOpenKeyExA(platform::HKEY_CURRENT_USER, settings::kSettingsKey, 0,
                              platform::KEY_QUERY_VALUE, key) != platform::ERROR_SUCCESS)
    return false;
  settings::SettingValue value;
  bool declined =
      settings::RegHelper(registry_).ReadRegValue(key, kConsentSetting, value) == platform::ERROR_SUCCESS &&
      value == settings::SettingValue(std::string(kDeclined));
  registry_.RegCloseKey(key);
  return declined;
}

void AccessibilityConsent::RememberDeclined() {
  settings::RegHelper(registry_).WriteSetting(kConsentSetting, kDeclined);
}

}  // namespace lectryn::app
