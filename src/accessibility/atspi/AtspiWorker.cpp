#include "accessibility/atspi/AtspiWorker.h"

#include <atspi/atspi.h>

#include <chrono>

#include "platform/Failure.h"

namespace lectryn::accessibility::atspi {
namespace {

// One call to a program that stopped answering gives up after this.
constexpr int kAtspiTimeoutMs = 1000;
// A program's first answer may take longer while it builds its accessible objects.
constexpr int kAtspiStartupTimeoutMs = 5000;

}  // namespace

AtspiWorker::AtspiWorker(PostFunction post, Bus bus)
    : post_(std::move(post)), context_(g_main_context_new()) {
  // The thread starts after every member is built.
  thread_ = std::thread([this, bus] { Loop(bus); });
}

AtspiWorker::AtspiWorker(PostFunction post, DBusConnection* connection)
    : post_(std::move(post)), context_(g_main_context_new()), given_(connection) {
  thread_ = std::thread([this] { Loop(Bus::None); });
}

AtspiWorker::~AtspiWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Wake();
  // A task stuck in a bus call is freed by the bus time-out, so this join is bounded.
  thread_.join();
  g_main_context_unref(context_);
}

void AtspiWorker::Wake() {
  g_main_context_wakeup(context_);
}

void AtspiWorker::Enqueue(const std::shared_ptr<Job>& job) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) throw platform::Failure("the accessibility worker has stopped");
    queue_.push_back(job);
  }
  Wake();
}

void AtspiWorker::Queue(std::function<void()> task) {
  auto job = std::make_shared<Job>();
  job->task = std::move(task);
  Enqueue(job);
}

void AtspiWorker::AtStop(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  atStop_.push_back(std::move(task));
}

void AtspiWorker::Run(std::function<void()> task, int32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (hung_ != nullptr) {
    if (!hung_->done) {
      throw platform::Failure("the accessible program did not answer (an earlier call still waits)");
    }
    hung_.reset();
  }
  lock.unlock();
  auto job = std::make_shared<Job>();
  job->task = std::move(task);
  Enqueue(job);
  lock.lock();
  if (!doneChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&job] { return job->done; })) {
    hung_ = job;
    throw platform::Failure("the accessible program did not answer within " + std::to_string(timeoutMs) +
                            " ms");
  }
  // Taken from the job, the failure is this thread's alone: the worker may free the job meanwhile.
  std::exception_ptr error = std::move(job->error);
  lock.unlock();
  if (error) std::rethrow_exception(error);
}

void AtspiWorker::Loop(Bus bus) {
  g_main_context_push_thread_default(context_);
  if (bus == Bus::Connect) {
    // atspi_init attaches the bus to GLib's default context; moving it to the private one
    // afterwards leaves only this thread to dispatch it. Without a bus there is nothing to move.
    if (atspi_init() <= 1) {
      atspi_set_main_context(context_);
      atspi_set_timeout(kAtspiTimeoutMs, kAtspiStartupTimeoutMs);
      DBusConnection* connection = atspi_get_a11y_bus();
      connected_ = connection != nullptr;
      client_ = BusClient(connection);
    }
  } else if (given_ != nullptr) {
    atspi_dbus_connection_setup_with_g_main(given_, context_);
    connected_ = true;
    client_ = BusClient(given_);
  }
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
      if (!queue_.empty()) {
        job = std::move(queue_.front());
        queue_.pop_front();
      }
    }
    if (job == nullptr) {
      g_main_context_iteration(context_, TRUE);
      continue;
    }
    try {
      job->task();
    } catch (...) {
      job->error = std::current_exception();
    }
    job->task = nullptr;  // what it captured dies here, on the worker
    {
      std::lock_guard lock(mutex_);
      job->done = true;
    }
    doneChanged_.notify_all();
  }
  std::deque<std::shared_ptr<Job>> dropped;
  std::vector<std::function<void()>> atStop;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(queue_);
    atStop.swap(atStop_);
  }
  dropped.clear();
  for (auto& task : atStop) task();
  if (bus == Bus::Connect) atspi_exit();
  g_main_context_pop_thread_default(context_);
}

}  // namespace lectryn::accessibility::atspi
