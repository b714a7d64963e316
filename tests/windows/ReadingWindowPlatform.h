#pragma once
// The simulated platform for the windows that read a page of their own (text-to-speech, help): the
// real page engine behind recording browser objects, a scripted voice on the virtual clock, and the
// main window's narration they read through.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/load/EngineBrowserObjects.h"
#include "engine/load/PageWindow.h"
#include "narration/Narration.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimApp.h"
#include "sim/SimDialogs.h"
#include "sim/SimPictures.h"
#include "sim/SimShell.h"
#include "sim/SimUiLoop.h"
#include "sim/SimWindowSystem.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"

namespace lectryn::testing {

// Keeps every browser object made, so a test can close a page window as its user would. A test may
// hand out page windows of its own instead.
class RecordingBrowsers : public platform::BrowserObjects {
 public:
  explicit RecordingBrowsers(platform::UiLoop& loop) : engine_(loop) {}
  std::shared_ptr<platform::BrowserApplication> CreateApplication() override {
    applications.push_back(makeApplication ? makeApplication() : engine_.CreateApplication());
    return applications.back();
  }
  std::shared_ptr<platform::WebBrowser> CreateControl() override {
    controls.push_back(makeControl ? makeControl() : engine_.CreateControl());
    return controls.back();
  }
  // The user closes the page window made last.
  void CloseLastPageWindow() { std::dynamic_pointer_cast<engine::PageWindow>(applications.back())->Close(); }

  std::function<std::shared_ptr<platform::BrowserApplication>()> makeApplication;
  std::function<std::shared_ptr<platform::WebBrowser>()> makeControl;
  std::vector<std::shared_ptr<platform::BrowserApplication>> applications;
  std::vector<std::shared_ptr<platform::WebBrowser>> controls;

 private:
  engine::EngineBrowserObjects engine_;
};

struct ReadingWindowPlatform {
  TempFolder temp;
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 100};
  RecordingBrowsers browsers{loop};
  sim::SimWindowSystem windows{loop};
  system::RegistryStore registry{temp / "user", temp / "machine"};
  sim::SimShell shell;
  sim::SimDialogs dialogs{loop};
  sim::SimPictures pictures;
  sim::SimApp app;
  platform::Platform platform{loop, voices, browsers, windows, registry, shell, dialogs, pictures, app};
  narration::Narration main{voices};

  // Every text handed to the voice, as UTF-8.
  std::vector<std::string> Spoken() const {
    std::vector<std::string> spoken;
    for (const auto& text : voices.Spoken()) spoken.push_back(platform::ToUtf8(text));
    return spoken;
  }
};

}  // namespace lectryn::testing
