#include "accessibility/atspi/PageBridge.h"

#include <algorithm>
#include <optional>

#include "accessibility/atspi/FocusedText.h"
#include "accessibility/atspi/Interfaces.h"
#include "platform/Text.h"

namespace lectryn::accessibility::atspi {
namespace {

// A program that has not laid its page out for lookups yet answers with the document itself for a
// while (up to about half a second after it starts): the first lookups of a document wait for it
// that long in all, also when a lookup runs out of time in between.
constexpr int64_t kLayoutWaitMs = 500;
constexpr int kHitTestWaitMs = 50;
// After that, one program still answers a point over another object than the last with the
// document until its page has looked (a few milliseconds); a real miss costs these waits.
constexpr int kQuickRetries = 10;
constexpr int kQuickWaitMs = 1;

bool Contains(const AxExtents& extents, int32_t x, int32_t y) {
  return x >= extents.x && y >= extents.y && x < extents.x + extents.width && y < extents.y + extents.height;
}

void Expect(const Reply& reply, const BusObject& object, const char* what) {
  if (!reply.Ok()) {
    throw platform::Failure("cannot " + std::string(what) + " " + object.path + ": " + reply.ErrorName());
  }
}

// The deepest object under the point, by asking each object for its child there.
std::vector<BusObject> Descend(BusClient& client, const BusObject& document, int32_t x, int32_t y,
                               const Deadline& deadline) {
  std::vector<BusObject> chain{document};
  while (chain.size() < static_cast<size_t>(PageBridge::kMaxChain)) {
    Reply reply = client.Call(bus::Method(chain.back(), bus::kComponent, "GetAccessibleAtPoint",
                                          [x, y](DBusMessageIter& iter) {
                                            AppendInt32(iter, x);
                                            AppendInt32(iter, y);
                                            AppendUint32(iter, bus::kScreenCoordinates);
                                          }),
                              deadline.LeftMs());
    BusObject child = reply.Object();
    if (child.IsNull() || std::find(chain.begin(), chain.end(), child) != chain.end()) break;
    chain.push_back(std::move(child));
  }
  return chain;
}

// Fills the chain in between with parents: a program may answer with a deep object at once.
std::vector<BusObject> AncestorsToDocument(BusClient& client, const BusObject& deepest,
                                           const BusObject& document, const Deadline& deadline) {
  std::vector<BusObject> chain{deepest};
  while (!(chain.back() == document)) {
    if (chain.size() >= static_cast<size_t>(PageBridge::kMaxChain)) return {};
    BusObject parent =
        client.Call(bus::Property(chain.back(), bus::kAccessible, "Parent"), deadline.LeftMs()).VariantObject();
    if (parent.IsNull()) return {};  // not under this document
    chain.push_back(std::move(parent));
  }
  return chain;
}

// The text the browser holds selected in object now, empty for none.
std::u16string HeldSelection(BusClient& client, const BusObject& object, const Deadline& deadline) {
  std::vector<int32_t> span =
      client.Call(bus::Method(object, bus::kText, "GetSelection", Ints({0})), deadline.LeftMs()).Int32s();
  if (span.size() != 2 || span[0] >= span[1]) return {};
  Reply text = client.Call(bus::Method(object, bus::kText, "GetText", Ints({span[0], span[1]})), deadline.LeftMs());
  return platform::FromUtf8(text.String());
}

}  // namespace

const char* ActionName(BusProblem::Action action) {
  constexpr const char* kNames[] = {"select", "scroll", "listen"};  // in the order of Action
  return kNames[static_cast<size_t>(action)];
}

// Every call is one task on the worker under one deadline that its bus calls and waits share;
// the worker waits a little past it, so the task normally ends before the wait does and the next
// call finds the worker free.
template <class Task>
auto PageBridge::Bounded(Task task) {
  Deadline deadline(kBusCallTimeoutMs);
  return session_->Call(
      [task = std::move(task), deadline](BusClient& client, Session::WorkerState& state) mutable {
        return task(client, state, deadline);
      },
      kBusCallTimeoutMs + kWorkerSlackMs);
}

void PageBridge::Report(BusProblem::Action action, const platform::Failure& failure) {
  Session& session = *session_;
  bool first = session.troubledPages.insert(document_).second;
  if (session.reports.problem) session.reports.problem(BusProblem{action, url_, failure.what(), first});
}

std::u16string DocumentUrl(BusClient& client, const BusObject& document, const Deadline& deadline) {
  for (const char* name : {"DocURL", "URI", "URL"}) {
    Reply reply =
        client.Call(bus::Method(document, bus::kDocument, "GetAttributeValue", Strings({name})), deadline.LeftMs());
    if (!reply.String().empty()) return platform::FromUtf8(reply.String());
  }
  Reply attributes = client.Call(bus::Method(document, bus::kAccessible, "GetAttributes"), deadline.LeftMs());
  auto all = attributes.Attributes();
  for (const char* name : {"DocURL", "URI", "URL"}) {
    if (auto it = all.find(name); it != all.end()) return platform::FromUtf8(it->second);
  }
  return {};
}

bool DocumentBusy(BusClient& client, const BusObject& document, const Deadline& deadline) {
  Reply reply = client.Call(bus::Method(document, bus::kAccessible, "GetState"), deadline.LeftMs());
  Expect(reply, document, "read the state of");
  return (reply.States() >> ATSPI_STATE_BUSY) & 1U;
}

std::vector<AxRef> PageBridge::ObjectsAtPoint(int32_t screenX, int32_t screenY) {
  return Bounded(
      [document = document_, screenX, screenY](BusClient& client, Session::WorkerState& state,
                                               const Deadline& deadline) {
        const BusObject& documentObject = state.table.Find(document);
        Reply extents = client.Call(bus::Extents(documentObject), deadline.LeftMs());
        Expect(extents, documentObject, "measure");
        if (!Contains(extents.Extents(), screenX, screenY)) return std::vector<AxRef>{};
        int64_t firstLookupMs = state.firstLookupMs.try_emplace(document, MonotonicMs()).first->second;
        std::vector<BusObject> down = Descend(client, documentObject, screenX, screenY, deadline);
        // One program answers "nothing there" until it has fetched the page's layout.
        while (down.size() == 1 && MonotonicMs() - firstLookupMs < kLayoutWaitMs) {
          deadline.Sleep(kHitTestWaitMs);
          down = Descend(client, documentObject, screenX, screenY, deadline);
        }
        for (int round = 0; round < kQuickRetries && down.size() == 1; ++round) {
          deadline.Sleep(kQuickWaitMs);
          down = Descend(client, documentObject, screenX, screenY, deadline);
        }
        std::vector<BusObject> up = AncestorsToDocument(client, down.back(), documentObject, deadline);
        std::vector<AxRef> refs;
        for (const BusObject& object : up) refs.push_back(state.table.Intern(object));
        return refs;
      });
}

AxExtents PageBridge::Extents(AxRef object) {
  return Bounded([object](BusClient& client, Session::WorkerState& state, const Deadline& deadline) {
    const BusObject& target = state.table.Find(object);
    Reply reply = client.Call(bus::Extents(target), deadline.LeftMs());
    Expect(reply, target, "measure");
    return reply.Extents();
  });
}

void PageBridge::Select(AxRef object, int32_t startOffset, int32_t endOffset) {
  std::optional<std::u16string> held;
  try {
    held = Bounded([object, startOffset, endOffset, document = document_,
                    readBack = static_cast<bool>(session_->reports.held)](
                       BusClient& client, Session::WorkerState& state,
                       const Deadline& deadline) -> std::optional<std::u16string> {
      const BusObject& target = state.table.Find(object);
      if (state.events) state.events->OwnChange(target.name, MonotonicMs());
      std::optional<std::u16string> held;
      auto previous = state.selectedIn.find(document);
      // Some programs take a selection some time after they said yes: by the next one they have.
      if (readBack && previous != state.selectedIn.end())
        held = HeldSelection(client, state.table.Find(previous->second), deadline);
      // A program that keeps several ranges would otherwise show the old one beside the new.
      if (previous != state.selectedIn.end() && previous->second != object) {
        const BusObject& old = state.table.Find(previous->second);
        Reply oldCount = client.Call(bus::Method(old, bus::kText, "GetNSelections"), deadline.LeftMs());
        for (int32_t index = oldCount.Int32(0) - 1; index >= 0; --index)
          client.Call(bus::Method(old, bus::kText, "RemoveSelection", Ints({index})), deadline.LeftMs());
      }
      state.selectedIn[document] = object;
      state.focus.Own(target, startOffset, endOffset, MonotonicMs());
      Reply count = client.Call(bus::Method(target, bus::kText, "GetNSelections"), deadline.LeftMs());
      Expect(count, target, "select in");
      // One selection at a time: the first is moved, any others go.
      for (int32_t extra = count.Int32(0) - 1; extra >= 1; --extra) {
        client.Call(bus::Method(target, bus::kText, "RemoveSelection", Ints({extra})), deadline.LeftMs());
      }
      if (!SetFirstSelection(client, target, count.Int32(0) > 0, startOffset, endOffset, deadline.LeftMs()))
        throw platform::Failure("the page refused the selection");
      return held;
    });
  } catch (const platform::Failure& failure) {
    Report(BusProblem::Action::Select, failure);
    throw;
  }
  if (held && session_->reports.held) session_->reports.held(*held);
}

void PageBridge::ScrollTo(AxRef object, int32_t startOffset, int32_t endOffset) {
  try {
    Bounded([object, startOffset, endOffset](BusClient& client, Session::WorkerState& state,
                                             const Deadline& deadline) {
      const BusObject& target = state.table.Find(object);
      Reply reply = client.Call(bus::Method(target, bus::kText, "ScrollSubstringTo",
                                            [startOffset, endOffset](DBusMessageIter& iter) {
                                              AppendInt32(iter, startOffset);
                                              AppendInt32(iter, endOffset);
                                              AppendUint32(iter, bus::kScrollTopLeft);
                                            }),
                                deadline.LeftMs());
      if (reply.Bool(false)) return;
      reply = client.Call(bus::Method(target, bus::kComponent, "ScrollTo",
                                      [](DBusMessageIter& iter) { AppendUint32(iter, bus::kScrollTopLeft); }),
                          deadline.LeftMs());
      Expect(reply, target, "scroll to");
    });
  } catch (const platform::Failure& failure) {
    Report(BusProblem::Action::Scroll, failure);
    throw;
  }
}

bool PageBridge::Busy() {
  return Bounded([document = document_](BusClient& client, Session::WorkerState& state, const Deadline& deadline) {
    return DocumentBusy(client, state.table.Find(document), deadline);
  });
}

std::u16string PageBridge::Url() {
  url_ = Bounded([document = document_](BusClient& client, Session::WorkerState& state, const Deadline& deadline) {
    return DocumentUrl(client, state.table.Find(document), deadline);
  });
  return url_;
}

}  // namespace lectryn::accessibility::atspi
