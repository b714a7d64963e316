// lectryn-ax: looks at browsers on the accessibility bus, for end-to-end tests.
//   lectryn-ax wait-document TITLE-SUBSTRING [SECONDS]  prints the pid once such a page shows, loaded
//   lectryn-ax dump                                      prints the showing page's tree
//   lectryn-ax selection                                 prints "path start end [text]" lines
//   lectryn-ax watch-selection SECONDS                   prints the selected text each time the
//                                                        page tells it changed, for that long
//   lectryn-ax extents TEXT-PREFIX                       prints "x y width height" on the screen
//                                                        of the first object whose text starts so
//   lectryn-ax wait-text TEXT-PREFIX [SECONDS]           waits until an object's text starts so
//   lectryn-ax select TEXT-PREFIX START END              selects characters [START, END) of it
//   lectryn-ax caret TEXT-PREFIX OFFSET                  puts the caret before character OFFSET
//   lectryn-ax focus TEXT-PREFIX                         gives it the focus
// Objects by their text are looked for in any program, or in $LECTRYN_BROWSER_PID's when set.
// The page is the one of $LECTRYN_BROWSER_PID when set, else the first showing one.
#include <atspi/atspi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "BusProbe.h"
#include "accessibility/atspi/Interfaces.h"
#include "accessibility/atspi/TreeReader.h"
#include "platform/Text.h"

using namespace lectryn::accessibility;
using namespace lectryn::accessibility::atspi;

namespace {

std::optional<probe::ShownDocument> FindDocument(Session& session, const std::string& title) {
  const char* pidText = std::getenv("LECTRYN_BROWSER_PID");
  int32_t pid = pidText != nullptr ? std::atoi(pidText) : 0;
  for (probe::ShownDocument& shown : probe::ShowingDocuments(session)) {
    if (pid != 0 && shown.pid != pid) continue;
    if (shown.name.find(title) != std::string::npos) return shown;
  }
  return std::nullopt;
}

// The page shown now; says so when there is none.
std::optional<probe::ShownDocument> ShownDocument(Session& session) {
  auto shown = FindDocument(session, "");
  if (!shown) std::fprintf(stderr, "lectryn-ax: no page shows\n");
  return shown;
}

int WaitDocument(Session& session, const std::string& title, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    try {
      if (auto shown = FindDocument(session, title); shown && !shown->busy) {
        std::printf("%d\n", shown->pid);  // the program that shows it, for the caller
        return 0;
      }
    } catch (const lectryn::platform::Failure&) {
      // The browser is still starting: its objects come and go.
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  std::fprintf(stderr, "lectryn-ax: no page \"%s\" showed within %d s\n", title.c_str(), seconds);
  return 1;
}

int Dump(Session& session) {
  auto shown = ShownDocument(session);
  if (!shown) return 1;
  AxNode tree = session.Call(
      [document = shown->document](BusClient& client, Session::WorkerState& state) {
        return TreeReader(client, state.table, kBusCallTimeoutMs).Read(state.table.Intern(document));
      },
      20000);
  std::fputs(probe::Dump(tree).c_str(), stdout);
  return 0;
}

const AxNode* FirstWithText(const AxNode& node, const std::u16string& prefix) {
  if (node.hasText && node.text.starts_with(prefix)) return &node;
  for (const AxNode& child : node.children)
    if (const AxNode* found = FirstWithText(child, prefix)) return found;
  return nullptr;
}

// A busy browser may not answer one of the many calls a page's read takes: a few reads are tried.
template <class Task>
auto Retried(Task task) {
  constexpr int kTries = 4;
  for (int tries = 1;; ++tries) {
    try {
      return task();
    } catch (const lectryn::platform::Failure&) {
      if (tries == kTries) throw;
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  }
}

int Extents(Session& session, const std::string& prefix) {
  auto shown = ShownDocument(session);
  if (!shown) return 1;
  std::optional<AxExtents> extents = Retried([&] {
    return session.Call(
      [document = shown->document, wanted = lectryn::platform::FromUtf8(prefix)](
          BusClient& client, Session::WorkerState& state) -> std::optional<AxExtents> {
        AxNode tree = TreeReader(client, state.table, kBusCallTimeoutMs).Read(state.table.Intern(document));
        const AxNode* node = FirstWithText(tree, wanted);
        if (!node) return std::nullopt;
        return client.Call(bus::Extents(state.table.Find(node->ref)), kBusCallTimeoutMs).Extents();
      },
      20000);
  });
  if (!extents) {
    std::fprintf(stderr, "lectryn-ax: no object's text starts with \"%s\"\n", prefix.c_str());
    return 1;
  }
  std::printf("%d %d %d %d\n", extents->x, extents->y, extents->width, extents->height);
  return 0;
}

int32_t ProgramPid() {
  const char* pidText = std::getenv("LECTRYN_BROWSER_PID");
  return pidText != nullptr ? std::atoi(pidText) : 0;
}

std::optional<BusObject> TextObjectOrSay(Session& session, const std::string& prefix) {
  std::optional<BusObject> object = Retried([&] { return probe::TextObject(session, ProgramPid(), prefix); });
  if (!object) std::fprintf(stderr, "lectryn-ax: no object's text starts with \"%s\"\n", prefix.c_str());
  return object;
}

int WaitText(Session& session, const std::string& prefix, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    try {
      if (probe::TextObject(session, ProgramPid(), prefix)) return 0;
    } catch (const lectryn::platform::Failure&) {
      // Still starting.
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  std::fprintf(stderr, "lectryn-ax: no text \"%s\" showed within %d s\n", prefix.c_str(), seconds);
  return 1;
}

// Calls method on the object whose text starts with prefix; fails unless it answers true.
int Act(Session& session, const std::string& prefix, const char* interface, const char* method,
        std::vector<int32_t> args) {
  std::optional<BusObject> object = TextObjectOrSay(session, prefix);
  if (!object) return 1;
  bool done = session.Call(
      [object = *object, interface, method, args](BusClient& client, Session::WorkerState&) {
        if (std::string(method) == "SetSelection") {
          // A program without a selection takes a new one instead.
          Reply count = client.Call(bus::Method(object, bus::kText, "GetNSelections"), kBusCallTimeoutMs);
          if (count.Int32(0) == 0)
            return client.Call(bus::Method(object, bus::kText, "AddSelection", Ints({args[1], args[2]})),
                               kBusCallTimeoutMs)
                .Bool(false);
        }
        return client.Call(bus::Method(object, interface, method, Ints(args)), kBusCallTimeoutMs).Bool(false);
      },
      kBusCallTimeoutMs * 3);
  if (!done) std::fprintf(stderr, "lectryn-ax: %s refused\n", method);
  return done ? 0 : 1;
}

int Selection(Session& session) {
  auto shown = ShownDocument(session);
  if (!shown) return 1;
  for (const probe::TextSelection& selection : probe::Selections(session, shown->document)) {
    std::printf("%s %d %d [%s]\n", selection.path.c_str(), selection.startOffset, selection.endOffset,
                lectryn::platform::ToUtf8(selection.text).c_str());
  }
  return 0;
}

// Prints the selected text of each object whose selection changed in the watched program, as the
// change is told: a sampler that reads the whole page misses words selected for less than a read.
class SelectionWatch {
 public:
  SelectionWatch(Session& session, std::string busName) : session_(session), busName_(std::move(busName)) {}

  void Start() {
    session_.worker.Call(
        [this] {
          listener_ = atspi_event_listener_new(&SelectionWatch::OnEvent, this, nullptr);
          GError* error = nullptr;
          if (!atspi_event_listener_register(listener_, "object:text-selection-changed", &error) ||
              error != nullptr) {
            std::string message = error != nullptr ? error->message : "refused";
            if (error != nullptr) g_error_free(error);
            throw lectryn::platform::Failure("cannot listen for selection changes: " + message);
          }
        },
        kBusCallTimeoutMs * 5);
  }

  void Stop() {
    session_.worker.Call(
        [this] {
          atspi_event_listener_deregister(listener_, "object:text-selection-changed", nullptr);
          g_object_unref(listener_);
        },
        kBusCallTimeoutMs * 5);
  }

 private:
  static void OnEvent(AtspiEvent* event, void* self) {
    if (event == nullptr) return;
    if (event->source != nullptr) static_cast<SelectionWatch*>(self)->Changed(ATSPI_OBJECT(event->source));
    g_boxed_free(ATSPI_TYPE_EVENT, event);
  }

  // On the worker, as the event is dispatched there.
  void Changed(AtspiObject* source) {
    if (source->app == nullptr || source->app->bus_name == nullptr || busName_ != source->app->bus_name) return;
    BusObject object{busName_, source->path != nullptr ? source->path : ""};
    try {
      BusClient& client = session_.worker.Client();
      std::vector<int32_t> range =
          client.Call(bus::Method(object, bus::kText, "GetSelection", Ints({0})), kBusCallTimeoutMs).Int32s();
      if (range.size() != 2 || range[0] >= range[1]) return;
      std::string text =
          client.Call(bus::Method(object, bus::kText, "GetText", Ints({range[0], range[1]})), kBusCallTimeoutMs)
              .String();
      // An embedded object's mark stands for the selection inside it, which is told of itself.
      if (text.empty() || text == "\xEF\xBF\xBC") return;
      std::string where = object.path + " " + std::to_string(range[0]) + " " + std::to_string(range[1]);
      if (where == last_) return;
      last_ = where;
      std::printf("%s\n", text.c_str());
      std::fflush(stdout);
    } catch (const lectryn::platform::Failure&) {
      // The program did not answer: this change is lost, the next is told again.
    }
  }

  Session& session_;
  std::string busName_;
  AtspiEventListener* listener_ = nullptr;
  std::string last_;  // the object and offsets printed last
};

int WatchSelection(Session& session, int seconds) {
  auto shown = ShownDocument(session);
  if (!shown) return 1;
  SelectionWatch watch(session, shown->document.name);
  watch.Start();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  watch.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: lectryn-ax wait-document TITLE [SECONDS] | dump | selection | watch-selection "
                 "SECONDS | extents TEXT | wait-text TEXT [SECONDS] | select TEXT START END | caret TEXT "
                 "OFFSET | focus TEXT\n");
    return 2;
  }
  Session session([](std::function<void()>) {}, AtspiWorker::Bus::Connect);
  std::string command = argv[1];
  try {
    if (command == "wait-document" && argc >= 3) {
      return WaitDocument(session, argv[2], argc >= 4 ? std::atoi(argv[3]) : 60);
    }
    if (command == "dump") return Dump(session);
    if (command == "selection") return Selection(session);
    if (command == "watch-selection" && argc >= 3) return WatchSelection(session, std::atoi(argv[2]));
    if (command == "extents" && argc >= 3) return Extents(session, argv[2]);
    if (command == "wait-text" && argc >= 3) return WaitText(session, argv[2], argc >= 4 ? std::atoi(argv[3]) : 60);
    if (command == "select" && argc >= 5)
      return Act(session, argv[2], bus::kText, "SetSelection", {0, std::atoi(argv[3]), std::atoi(argv[4])});
    if (command == "caret" && argc >= 4) return Act(session, argv[2], bus::kText, "SetCaretOffset", {std::atoi(argv[3])});
    if (command == "focus" && argc >= 3) return Act(session, argv[2], bus::kComponent, "GrabFocus", {});
  } catch (const lectryn::platform::Failure& failure) {
    std::fprintf(stderr, "lectryn-ax: %s\n", failure.what());
    return 1;
  }
  std::fprintf(stderr, "lectryn-ax: unknown command %s\n", command.c_str());
  return 2;
}
