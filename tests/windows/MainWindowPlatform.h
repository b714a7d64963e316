#pragma once
// The main window on the simulated desktop: every platform service simulated except the page
// engine, which is the real one; the program's folder is a temporary folder holding the help page.
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/load/EngineBrowserObjects.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "settings/RegHelper.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimApp.h"
#include "sim/SimDialogs.h"
#include "sim/SimFormHost.h"
#include "sim/SimPictures.h"
#include "sim/SimShell.h"
#include "sim/SimUiLoop.h"
#include "sim/SimWindowSystem.h"
#include "system/RegistryStore.h"
#include "system/TempFolder.h"
#include "windows/MakerSite.h"
#include "windows/main/frmMain.h"

namespace lectryn::testing {

inline constexpr char kHelpPage[] =
    "<html><body><h1>Getting going</h1><p>Drag from the banner onto a page.</p></body></html>";

struct MainWindowPlatform {
  TempFolder temp;
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 100};
  engine::EngineBrowserObjects browsers{loop};
  sim::SimWindowSystem windows{loop};
  system::RegistryStore registry{temp / "user", temp / "machine"};
  sim::SimShell shell;
  sim::SimDialogs dialogs{loop};
  sim::SimPictures pictures;
  sim::SimApp app;
  sim::SimFormHost host{loop};
  platform::Platform platform{loop, voices, browsers, windows, registry, shell, dialogs, pictures, app};
  windows::MakerSite site;

  MainWindowPlatform() {
    std::filesystem::create_directories(temp / "program");
    app.SetPath((temp / "program").string());
    std::ofstream(temp / "program" / "Help.htm") << kHelpPage;
    for (const char* banner : {"Banner1.gif", "Banner2.gif", "Banner.jpg", "banner.jpg"})
      pictures.AddPicture(File(banner), 258, 104);
  }

  std::string File(const std::string& name) const { return platform::ProgramFile(app, name); }

  // The main window as the desktop makes it: a handle, the modal host, then loaded and shown.
  std::unique_ptr<windows::main::frmMain> MakeMain() {
    auto main = std::make_unique<windows::main::frmMain>(platform, site);
    main->SetHWnd(windows.CreateWindow("ThunderRT6FormDC", {100, 100, 358, 254}));
    main->SetHost(&host);
    return main;
  }

  // A stored setting's text as it is in the registry now; nothing when it is not there.
  std::optional<std::string> Stored(const std::string& name) {
    settings::RegHelper helper(registry);
    platform::HKEY key = helper.OpenSettingsKey();
    settings::SettingValue value;
    platform::LONG result = helper.ReadRegValue(key, name, value);
    registry.RegCloseKey(key);
    if (result != platform::ERROR_SUCCESS) return std::nullopt;
    if (auto* text = std::get_if<std::string>(&value)) return *text;
    return std::nullopt;
  }
  void Store(const std::string& name, const std::string& text) {
    settings::RegHelper(registry).WriteSetting(name, text);
  }

  std::vector<std::string> Spoken() const {
    std::vector<std::string> spoken;
    for (const auto& text : voices.Spoken()) spoken.push_back(platform::ToUtf8(text));
    return spoken;
  }
};

}  // namespace lectryn::testing
