#pragma once
// Getting the bytes of one page: local files, http and https (libcurl), about:blank and
// javascript: string literals. Blocking; the browser objects run it on worker threads.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace lectryn::engine {

struct FetchLimits {
  int64_t timeoutMs = 10'000;         // the whole transfer, redirects included
  size_t maxBytes = 8 * 1024 * 1024;  // of the page as received (after any content decoding)
  int maxRedirects = 5;
};

struct FetchResult {
  bool ok = false;
  std::string address;          // where the bytes came from: after redirects; files as file://
  std::string bytes;            // the page as received
  std::string contentType;      // the HTTP Content-Type, or what the address implies
  std::string contentLanguage;  // the HTTP Content-Language of the last response, if any
  std::string error;            // for people, when !ok: "cannot load http://x/: HTTP 404"
};

// Ends a fetch early from another thread. A fetch waiting on the network registers a wake-up
// so that cancelling does not have to wait for its next poll.
class Cancellation {
 public:
  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }
  // Set while a fetch is waiting; Cancel calls it.
  void SetWake(std::function<void()> wake);

 private:
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::function<void()> wake_;
};

// A cancelled fetch returns !ok with the error "cancelled".
FetchResult Fetch(const std::string& address, const FetchLimits& limits, Cancellation& cancel);

// "10 s", "0.2 s"; "8 MiB", "64 KiB", "100 bytes": the limits as messages show them.
std::string DescribeDuration(int64_t ms);
std::string DescribeSize(size_t bytes);

}  // namespace lectryn::engine
