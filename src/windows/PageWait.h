#pragma once
// The wait of the windows that read a page of their own: the UI loop keeps running (voice events,
// timers, the user's clicks) until the page can be used. A page that never gets there, and a
// request that was given up meanwhile (entered again, or its window closed), end the wait.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Failure.h"
#include "platform/Page.h"
#include "platform/UiLoop.h"

namespace lectryn::windows {

// Past this, on the loop's clock, a page that is still not usable is given up.
constexpr int64_t kPageWaitLimitMs = 30'000;
// A page's state is looked at again at least this often, also when no event comes.
constexpr int64_t kPageWaitPollMs = 50;

// Runs the loop's work, sleeping while there is none, until readyState() reports 3 (interactive)
// or more. False when stillWanted() turned false or the limit passed first. A failure of
// readyState() goes to the caller.
bool WaitForPage(platform::UiLoop& loop, const std::function<int32_t()>& readyState,
                 const std::function<bool()>& stillWanted);

using platform::Present;

}  // namespace lectryn::windows
