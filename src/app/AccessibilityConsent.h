#pragma once
// Browsers put their pages on the accessibility bus only while the desktop's accessibility is on.
// The program asks the user once whether to switch it on, remembers a No, and says what to do
// when a drag ends on a browser whose pages it cannot see.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/Registry.h"
#include "platform/Shell.h"

namespace lectryn::app {

// The desktop's accessibility switch (the accessibility bus's IsEnabled).
class DesktopAccessibility {
 public:
  virtual ~DesktopAccessibility() = default;
  // Whether it is on; nothing when it cannot be told (no session bus, no accessibility bus).
  virtual std::optional<bool> IsEnabled() = 0;
  // Switches it on, for the running session and for the desktop's next ones where the desktop
  // keeps it. What went wrong, for people, when it stays off.
  virtual std::optional<std::string> Enable() = 0;
};

// Whether the question is put at start: as usual (once, until the user says No), always (tests
// that answer it), never (tests that do not expect it).
enum class ConsentQuestion { Usual, Always, Never };

// The choice from the environment variable LECTRYN_ACCESSIBILITY_QUESTION ("ask": always,
// "once": as usual, "never"); runs with the scripted voice are tests, which see the question only
// when they ask for it.
ConsentQuestion ConsentQuestionOf(const char* environmentValue, bool scriptedVoice);

inline constexpr char16_t kConsentTitle[] = u"Lectryn";
inline constexpr char16_t kConsentQuestion[] =
    u"To read pages in your web browser, Lectryn needs the desktop's accessibility switched on. "
    u"Switch it on now?";
// The registry value under the settings key that keeps the user's No.
inline constexpr char kConsentSetting[] = "AccessibilityQuestion";
// After a Yes: what browsers that are open need.
inline constexpr char16_t kConsentDone[] =
    u"Accessibility is on. Firefox shows its pages to Lectryn at once. Chromium and Chrome show them "
    u"once you close them and start them again with the option --force-renderer-accessibility.";

// Browsers differ in what they need (tried with Debian's chromium 156 and firefox-esr 153 on a
// private bus): Firefox puts its pages on the bus as soon as the switch is on, also when it was
// started before; Chromium looks at the switch only when it starts, and even then shows its pages
// only with --force-renderer-accessibility (neither ScreenReaderEnabled, ACCESSIBILITY_ENABLED=1
// nor an assistive program asking for its objects or registering for events makes it).
enum class BrowserFamily { Chromium, Firefox };

// The family of an X11 window class (WM_CLASS); nothing when it is no known browser's.
std::optional<BrowserFamily> BrowserFamilyOf(std::string_view className);

// How a browser that shows no page on the bus got there, and so what the user has to do.
enum class BrowserWithoutPages {
  AccessibilityOff,  // switch it on (and restart a Chromium)
  AccessibilityOn,   // the browser itself holds its pages back
  NoBus,             // the desktop has no accessibility bus
};

class AccessibilityConsent {
 public:
  // All three outlive this.
  AccessibilityConsent(DesktopAccessibility& desktop, platform::Dialogs& dialogs,
                       platform::Registry& registry);

  enum class Outcome { NotAsked, SwitchedOn, Declined, Failed };
  // At start: asks when the accessibility is off and the user has not said No before.
  Outcome AskAtStart(ConsentQuestion question);

  // A drag ended on a window of class className whose program (pid) shows no page: tells the
  // user what to do, once per program and run. False when the window is no known browser's or
  // that program was told already.
  bool TellAboutBrowser(std::string_view className, int32_t pid);

  // What the user is told, by the browser's state; a Yes/No question when it offers to switch
  // accessibility on.
  struct Message {
    std::u16string text;
    int32_t buttons = platform::vbOKOnly;
  };
  static Message MessageFor(BrowserWithoutPages state, BrowserFamily family);

 private:
  // Switches it on; says what went wrong when that failed.
  Outcome SwitchOn();
  bool DeclinedBefore();
  void RememberDeclined();

  DesktopAccessibility& desktop_;
  platform::Dialogs& dialogs_;
  platform::Registry& registry_;
  std::set<int32_t> toldPrograms_;
};

}  // namespace lectryn::app
