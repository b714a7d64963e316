// lectryn-ax: looks at browsers on the accessibility bus, for end-to-end tests.
//   lectryn-ax wait-document TITLE-SUBSTRING [SECONDS]  prints the pid once such a page shows, loaded
//   lectryn-ax dump                                      prints the showing page's tree
//   lectryn-ax selection                                 prints "path start end [text]" lines
//   lectryn-ax watch-selection SECONDS                   prints the selected text each time it
//                                                        changes, for that long
//   lectryn-ax extents TEXT-PREFIX                       prints "x y width height" on the screen
//                                                        of the first object whose text starts so
// The page is the one of $LECTRYN_BROWSER_PID when set, else the first showing one.
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

int Extents(Session& session, const std::string& prefix) {
  auto shown = ShownDocument(session);
  if (!shown) return 1;
  std::optional<AxExtents> extents = session.Call(
      [document = shown->document, wanted = lectryn::platform::FromUtf8(prefix)](
          BusClient& client, Session::WorkerState& state) -> std::optional<AxExtents> {
        AxNode tree = TreeReader(client, state.table, kBusCallTimeoutMs).Read(state.table.Intern(document));
        const AxNode* node = FirstWithText(tree, wanted);
        if (!node) return std::nullopt;
        return client.Call(bus::Extents(state.table.Find(node->ref)), kBusCallTimeoutMs).Extents();
      },
      20000);
  if (!extents) {
    std::fprintf(stderr, "lectryn-ax: no object's text starts with \"%s\"\n", prefix.c_str());
    return 1;
  }
  std::printf("%d %d %d %d\n", extents->x, extents->y, extents->width, extents->height);
  return 0;
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

// The innermost selection: the last in tree order that is not only an embedded object's mark.
std::string SelectedText(Session& session, const BusObject& document) {
  std::string text;
  for (const probe::TextSelection& selection : probe::Selections(session, document)) {
    if (selection.text.empty() || selection.text == u"\uFFFC") continue;
    text = lectryn::platform::ToUtf8(selection.text);
  }
  return text;
}

int WatchSelection(Session& session, int seconds) {
  auto shown = ShownDocument(session);
  if (!shown) return 1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::string last;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string text;
    try {
      text = SelectedText(session, shown->document);
    } catch (const lectryn::platform::Failure&) {
      // A slow answer is one sample lost, not the end of watching.
    }
    if (!text.empty() && text != last) {
      std::printf("%s\n", text.c_str());
      std::fflush(stdout);
      last = text;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: lectryn-ax wait-document TITLE [SECONDS] | dump | selection | watch-selection "
                 "SECONDS | extents TEXT\n");
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
  } catch (const lectryn::platform::Failure& failure) {
    std::fprintf(stderr, "lectryn-ax: %s\n", failure.what());
    return 1;
  }
  std::fprintf(stderr, "lectryn-ax: unknown command %s\n", command.c_str());
  return 2;
}
