#include "windows/PageWait.h"

namespace lectryn::windows {

bool WaitForPage(platform::UiLoop& loop, const std::function<int32_t()>& readyState,
                 const std::function<bool()>& stillWanted) {
  const int64_t startMs = loop.NowMs();
  while (readyState() < static_cast<int32_t>(platform::ReadyState::Interactive)) {
    loop.WaitForEvents(kPageWaitPollMs);
    if (!stillWanted() || loop.NowMs() - startMs >= kPageWaitLimitMs) return false;
  }
  return stillWanted();
}

}  // namespace lectryn::windows
