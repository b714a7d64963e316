#include "engine/load/EngineBrowserObjects.h"

#include "engine/load/BrowserControl.h"
#include "engine/load/PageWindow.h"

namespace lectryn::engine {

EngineBrowserObjects::EngineBrowserObjects(platform::UiLoop& loop, LoadOptions options)
    : loop_(loop), options_(options) {}

std::shared_ptr<platform::BrowserApplication> EngineBrowserObjects::CreateApplication() {
  return std::make_shared<PageWindow>(loop_, options_);
}

std::shared_ptr<platform::WebBrowser> EngineBrowserObjects::CreateControl() {
  return std::make_shared<BrowserControl>(loop_, options_);
}

}  // namespace lectryn::engine
