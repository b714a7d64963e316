#pragma once
// Every outside service the windows reach, handed in as one bundle by the executables and tests.
#include "platform/App.h"
#include "platform/Page.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/UiLoop.h"
#include "platform/Voice.h"
#include "platform/WindowSystem.h"

namespace lectryn::platform {

struct Platform {
  UiLoop& loop;
  VoiceFactory& voices;
  BrowserObjects& browsers;
  WindowSystem& windows;
  Registry& registry;
  Shell& shell;
  Dialogs& dialogs;
  Pictures& pictures;
  App& app;
};

}  // namespace lectryn::platform
