#pragma once
// Runs fetches on worker threads and hands each page, decoded to UTF-8, back on the UI loop.
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "engine/load/Fetch.h"
#include "platform/UiLoop.h"

namespace lectryn::engine {

struct FetchedPage {
  bool ok = false;
  std::string address;          // after redirects; files as file://
  std::string html;             // UTF-8, invalid bytes replaced
  std::string charset;          // what the bytes were decoded from
  std::string contentLanguage;  // the server's Content-Language, if it said
  std::string error;            // for people, when !ok
};

// Text with &, <, > and " written as markup entities.
std::string EscapeHtml(std::string_view text);

class Fetcher {
 public:
  // The loop must outlive the fetcher.
  Fetcher(platform::UiLoop& loop, FetchLimits limits);
  ~Fetcher();  // cancels every fetch and waits for its thread
  Fetcher(const Fetcher&) = delete;
  Fetcher& operator=(const Fetcher&) = delete;

  // Starts a fetch and returns at once. done runs later on the UI loop, never after CancelAll
  // or the destructor.
  void Start(std::string address, std::function<void(FetchedPage)> done);
  void CancelAll();
  const FetchLimits& Limits() const { return limits_; }

 private:
  struct Job {
    Cancellation cancel;
    std::atomic<bool> finished{false};
    std::thread thread;
  };
  void JoinFinished();

  platform::UiLoop& loop_;
  FetchLimits limits_;
  std::list<std::shared_ptr<Job>> jobs_;  // UI thread only
};

}  // namespace lectryn::engine
