#pragma once
// A program that shows one page on a private connection of its own (no bus daemon between): it
// answers the calls a page bridge makes, slowly when asked, and can stop answering as a stopped
// process does, then answer all it got late once it runs again. It also stands for other programs
// (by bus name) with text objects of their own, and for the bus daemon's pid lookup.
#include <atspi/atspi-constants.h>
#include <dbus/dbus.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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
  static constexpr const char* kRegistry = "org.a11y.atspi.Registry";
  static constexpr const char* kRoot = "/org/a11y/atspi/accessible/root";

  // An object of another program, answered from its own state. Offsets count characters; keep
  // the texts ASCII so they count alike in UTF-8. A '*' in a text stands for the object character
  // of a page: it is told as that, and links to the object's n-th child (by path) for the n-th '*'.
  // Children are the objects whose parent is the object, by path; the desktop's (kRegistry's
  // kRoot) are the kRoot objects of the other programs.
  struct TextObject {
    std::string text{};
    bool hasText = true;  // false: no text interface (a button, a frame)
    AtspiRole role = ATSPI_ROLE_PARAGRAPH;
    std::string parent{};  // path in the same program; empty for none
    int32_t selectionStart = 0;
    int32_t selectionEnd = 0;
    int32_t caretOffset = -1;
    bool takesSelection = true;  // false: it answers SetSelection with false and keeps its own
    bool addsSelection = false;  // true: it answers RemoveSelection and AddSelection all the same
    bool active = false;         // a window the user is in
    bool focused = false;
  };
  void Add(const std::string& busName, const std::string& path, TextObject object);
  void Remove(const std::string& busName, const std::string& path);  // it is gone
  TextObject Object(const std::string& busName, const std::string& path) const;
  // The process the bus daemon names for busName; unknown names get an error, as one that left.
  void SetPid(const std::string& busName, uint32_t pid);
  // The methods called on busName's added objects so far, "path method" each, in order.
  std::vector<std::string> CallsTo(const std::string& busName) const;

 private:
  static DBusHandlerResult OnMessage(DBusConnection* connection, DBusMessage* message, void* self);
  DBusMessage* Answer(DBusMessage* call);
  // nullptr when the call is not for an added object nor for the bus daemon.
  DBusMessage* AnswerOther(DBusMessage* call);
  void WaitWhileStopped();
  // Under othersMutex_.
  std::vector<std::string> ChildrenOf(const std::string& busName, const std::string& path) const;
  DBusMessage* AnswerLink(DBusMessage* call, const std::string& busName, const std::string& path);

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
  mutable std::mutex othersMutex_;
  std::map<std::pair<std::string, std::string>, TextObject> others_;  // by bus name and path
  std::map<std::string, uint32_t> pids_;
  std::vector<std::pair<std::string, std::string>> calls_;  // bus name, "path method"
  std::thread thread_;
};

}  // namespace lectryn::accessibility::atspi::testing
