#pragma once
// Makes the browser objects over the engine: page windows and embedded controls that load pages
// on the given UI loop.
#include "engine/load/Navigator.h"
#include "platform/Page.h"

namespace lectryn::engine {

class EngineBrowserObjects : public platform::BrowserObjects {
 public:
  // The loop must outlive every object made here.
  explicit EngineBrowserObjects(platform::UiLoop& loop, LoadOptions options = {});

  std::shared_ptr<platform::BrowserApplication> CreateApplication() override;
  std::shared_ptr<platform::WebBrowser> CreateControl() override;

 private:
  platform::UiLoop& loop_;
  LoadOptions options_;
};

}  // namespace lectryn::engine
