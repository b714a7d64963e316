#pragma once
// A program that shows one page on a private connection of its own (no bus daemon between): it
// answers the calls a page bridge makes, slowly when asked, and can stop answering as a stopped
// process does, then answer all it got late once it runs again.
#include <dbus/dbus.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

namespace lectryn::accessibility::atspi::testing {

class FakeProgram {
 public:
  // Objects /page/0 (the document) to /page/<depth - 1>, each the child of the one before under
  // any point; the deepest has text.
  explicit FakeProgram(int depth);
  ~FakeProgram();
  FakeProgram(const FakeProgram&) = delete;
  FakeProgram& operator=(const FakeProgram&) = delete;

  // The caller's end of the connection; it lives as long as this.
  DBusConnection* Connection() const { return client_; }
  static std::string Path(int index) { return "/page/" + std::to_string(index); }

  // Its selection now: the text of the deepest object between the offsets last set.
  std::string Selected() const;
  void Stop();    // answers nothing from now on ...
  void Resume();  // ... until now, then all it got
  std::atomic<int> delayMs{0};  // before each answer
  std::atomic<bool> refuseSelection{false};
  std::atomic<bool> refuseScroll{false};
  static constexpr const char* kText = "The quick brown fox";

 private:
  static DBusHandlerResult OnMessage(DBusConnection* connection, DBusMessage* message, void* self);
  DBusMessage* Answer(DBusMessage* call);
  void WaitWhileStopped();

  int depth_;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  DBusServer* server_ = nullptr;
  DBusConnection* served_ = nullptr;  // the program's end
  DBusConnection* client_ = nullptr;
  std::mutex mutex_;
  std::condition_variable resumed_;
  bool stopped_ = false;
  std::atomic<int> selectionStart_{0};
  std::atomic<int> selectionEnd_{0};
  std::thread thread_;
};

}  // namespace lectryn::accessibility::atspi::testing
