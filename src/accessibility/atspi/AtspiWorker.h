#pragma once
// The one thread that owns libatspi and the accessibility bus connection. libatspi is a
// process-wide singleton: make one worker per process. Its GLib context is private and iterated
// only here (the UI thread iterates GLib's default context for Qt).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

#include "accessibility/atspi/BusClient.h"

typedef struct _GMainContext GMainContext;

namespace lectryn::accessibility::atspi {

class AtspiWorker {
 public:
  using PostFunction = std::function<void(std::function<void()>)>;
  enum class Bus { Connect, None };  // None: a worker without libatspi (tests)

  // post queues a task on the UI loop (events reach the UI through it).
  explicit AtspiWorker(PostFunction post, Bus bus = Bus::Connect);
  // A worker on the caller's own connection to one program (tests); the connection must outlive it.
  AtspiWorker(PostFunction post, DBusConnection* connection);
  ~AtspiWorker();
  AtspiWorker(const AtspiWorker&) = delete;
  AtspiWorker& operator=(const AtspiWorker&) = delete;

  // Runs task on the worker and waits at most timeoutMs for it; its exception is rethrown here.
  // After a time-out the task keeps running on the worker (it may outlive this call, so it must
  // capture by value; its result is dropped), and until it ends every call fails at once: a
  // stopped program costs one bounded wait, not one per call. Tasks that bound their own bus
  // calls end soon after, and calls work again.
  template <class Task>
  auto Call(Task task, int32_t timeoutMs) -> decltype(task()) {
    using Result = decltype(task());
    if constexpr (std::is_void_v<Result>) {
      Run(std::move(task), timeoutMs);
    } else {
      auto result = std::make_shared<std::optional<Result>>();
      Run([result, task = std::move(task)]() mutable { result->emplace(task()); }, timeoutMs);
      return std::move(**result);
    }
  }
  // Queues task on the worker without waiting.
  void Queue(std::function<void()> task);
  void PostToUi(std::function<void()> task) const { post_(std::move(task)); }
  // Runs task on the worker when it stops, before libatspi is closed (releases what it holds).
  void AtStop(std::function<void()> task);

  // Worker thread only.
  BusClient& Client() { return client_; }
  bool Connected() const { return connected_; }

 private:
  struct Job {
    std::function<void()> task;
    bool done = false;
    std::exception_ptr error;
  };
  void Run(std::function<void()> task, int32_t timeoutMs);
  void Enqueue(const std::shared_ptr<Job>& job);
  void Loop(Bus bus);
  void Wake();

  PostFunction post_;
  std::mutex mutex_;
  std::condition_variable doneChanged_;
  std::deque<std::shared_ptr<Job>> queue_;
  std::vector<std::function<void()>> atStop_;
  std::shared_ptr<Job> hung_;  // the last call that timed out, while it runs
  bool stopping_ = false;
  GMainContext* context_ = nullptr;
  DBusConnection* given_ = nullptr;
  BusClient client_{nullptr};
  bool connected_ = false;
  std::thread thread_;
};

}  // namespace lectryn::accessibility::atspi
