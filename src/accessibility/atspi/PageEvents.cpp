#include "accessibility/atspi/PageEvents.h"

#include <chrono>
#include <string>

namespace lectryn::accessibility::atspi {
namespace {

constexpr const char* kEvents[] = {"document:load-complete", "document:reload", "object:children-changed",
                                   "object:text-changed"};
// Text changes this soon after our own selection are its echo.
constexpr int64_t kOwnChangeEchoMs = 500;

}  // namespace

int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string PageEvents::Start() {
  if (listener_ != nullptr) return {};
  listener_ = atspi_event_listener_new(&PageEvents::OnEvent, this, nullptr);
  std::string failed;
  for (const char* type : kEvents) {
    GError* error = nullptr;
    if (atspi_event_listener_register(listener_, type, &error) && error == nullptr) continue;
    failed += (failed.empty() ? "" : "; ") + std::string(type) + ": " +
              (error != nullptr && error->message != nullptr ? error->message : "refused");
    if (error != nullptr) g_error_free(error);
  }
  return failed;
}

void PageEvents::Stop() {
  if (listener_ == nullptr) return;
  for (const char* type : kEvents) {
    GError* error = nullptr;
    atspi_event_listener_deregister(listener_, type, &error);
    if (error != nullptr) g_error_free(error);
  }
  g_object_unref(listener_);
  listener_ = nullptr;
}

void PageEvents::OwnChange(const std::string& busName, int64_t nowMs) {
  ownChangeMs_[busName] = nowMs;
}

void PageEvents::OnEvent(AtspiEvent* event, void* self) {
  if (event != nullptr) {
    static_cast<PageEvents*>(self)->Handle(*event);
    g_boxed_free(ATSPI_TYPE_EVENT, event);
  }
}

void PageEvents::Handle(const AtspiEvent& event) {
  if (event.source == nullptr || event.type == nullptr) return;
  const AtspiApplication* app = ATSPI_OBJECT(event.source)->app;
  if (app == nullptr || app->bus_name == nullptr) return;
  std::string busName = app->bus_name;
  if (std::string_view(event.type).starts_with("object:text-changed")) {
    auto own = ownChangeMs_.find(busName);
    if (own != ownChangeMs_.end() && MonotonicMs() - own->second < kOwnChangeEchoMs) return;
  }
  for (AxRef document : table_.DocumentsOf(busName)) changed_(document);
}

}  // namespace lectryn::accessibility::atspi
