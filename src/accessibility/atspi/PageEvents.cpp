#include "accessibility/atspi/PageEvents.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace lectryn::accessibility::atspi {
namespace {

constexpr const char* kEvents[] = {"document:load-complete", "document:reload", "object:children-changed",
                                   "object:text-changed"};
constexpr const char* kFocusEvents[] = {"object:state-changed:focused", "object:text-caret-moved",
                                        "object:text-selection-changed"};

// The tracker's kind of change for an event type, or none for a page change.
std::optional<FocusTracker::Change> FocusChange(std::string_view type) {
  if (type.starts_with("object:state-changed:focused")) return FocusTracker::Change::Focused;
  if (type.starts_with("object:text-caret-moved")) return FocusTracker::Change::CaretMoved;
  if (type.starts_with("object:text-selection-changed")) return FocusTracker::Change::SelectionChanged;
  return std::nullopt;
}
// Text changes this soon after our own selection are its echo.
constexpr int64_t kOwnChangeEchoMs = 500;

}  // namespace

int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::vector<const char*> PageEvents::Types() const {
  std::vector<const char*> types(std::begin(kEvents), std::end(kEvents));
  if (focus_ != nullptr) types.insert(types.end(), std::begin(kFocusEvents), std::end(kFocusEvents));
  return types;
}

std::string PageEvents::Start() {
  if (listener_ != nullptr) return {};
  listener_ = atspi_event_listener_new(&PageEvents::OnEvent, this, nullptr);
  std::string failed;
  for (const char* type : Types()) {
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
  for (const char* type : Types()) {
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
  if (std::optional<FocusTracker::Change> change = FocusChange(event.type)) {
    const char* path = ATSPI_OBJECT(event.source)->path;
    if (focus_ != nullptr && path != nullptr) focus_->Note(*change, {busName, path}, event.detail1, MonotonicMs());
    return;
  }
  if (std::string_view(event.type).starts_with("object:text-changed")) {
    auto own = ownChangeMs_.find(busName);
    if (own != ownChangeMs_.end() && MonotonicMs() - own->second < kOwnChangeEchoMs) return;
  }
  for (AxRef document : table_.DocumentsOf(busName)) changed_(document);
}

}  // namespace lectryn::accessibility::atspi
