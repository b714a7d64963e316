#pragma once
// Whole pages read on a thread and bus connection of their own. A big page is thousands of calls
// over seconds, and the live calls of a drag or a reading (made on the worker) must not wait
// behind them; few of this reader's calls are in flight at once, so the program answers the live
// calls in between.
#include <dbus/dbus.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/ObjectTable.h"

namespace lectryn::accessibility::atspi {

class BackgroundReader {
 public:
  using Done = std::function<void(std::optional<AxNode> tree)>;
  // address gives the accessibility bus's address, asked on the reader's thread when it first
  // reads; empty when there is none. Without a connection of its own, reads go to elsewhere (the
  // worker), from any thread.
  BackgroundReader(ObjectTable& table, std::function<std::string()> address, int32_t callTimeoutMs,
                   std::function<void(AxRef, Done)> elsewhere);
  ~BackgroundReader();
  BackgroundReader(const BackgroundReader&) = delete;
  BackgroundReader& operator=(const BackgroundReader&) = delete;

  // Reads document's tree; done runs on the reader's thread (or elsewhere's), with nothing when the
  // tree could not be read.
  void Read(AxRef document, Done done);

  static constexpr size_t kInFlight = 32;

  // The address of the session's accessibility bus; empty when there is none.
  static std::string SessionAccessibilityBus();

 private:
  struct Job {
    AxRef document;
    Done done;
  };
  void Loop();
  bool Connect();

  ObjectTable& table_;
  std::function<std::string()> address_;
  int32_t timeoutMs_;
  std::function<void(AxRef, Done)> elsewhere_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::atomic<DBusConnection*> connection_{nullptr};
  std::atomic<bool> unreachable_{false};  // the first connection failed: none is tried again
  std::thread thread_;
};

}  // namespace lectryn::accessibility::atspi
