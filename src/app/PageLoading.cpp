#include "app/PageLoading.h"

#include "engine/load/BrowserControl.h"
#include "platform/Text.h"

namespace lectryn::app {

std::shared_ptr<engine::Document> LoadPage(system::PlainUiLoop& loop, const std::string& page,
                                           std::string& error) {
  engine::BrowserControl control(loop);
  control.Navigate(platform::FromUtf8(page));
  bool loaded =
      loop.Run([&] { return control.ReadyState() == static_cast<int32_t>(platform::ReadyState::Complete); });
  if (!loaded) return nullptr;
  if (!control.LastError().empty()) {
    error = platform::ToUtf8(control.LastError());
    return nullptr;
  }
  auto document = std::dynamic_pointer_cast<engine::Document>(control.Document());
  if (!document) error = "cannot load " + page + ": no document";
  return document;
}

}  // namespace lectryn::app
