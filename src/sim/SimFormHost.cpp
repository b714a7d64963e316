#include "sim/SimFormHost.h"

namespace lectryn::sim {

void SimFormHost::RunModal(forms::Form& form) {
  shown_.push_back(form.Name());
  auto queued = scripts_.find(form.Name());
  if (queued != scripts_.end() && !queued->second.empty()) {
    Script script = std::move(queued->second.front());
    queued->second.pop_front();
    script(form);
  }
  // Small steps, so a form that closes itself returns here close to when it did.
  constexpr int64_t kStepMs = 10;
  int64_t endMs = loop_.NowMs() + limitMs_;
  while (form.Loaded() && loop_.NowMs() < endMs) loop_.AdvanceBy(kStepMs);
  if (form.Loaded()) {
    ++closedByHost_;
    form.Unload();
  }
}

}  // namespace lectryn::sim
