#include "accessibility/atspi/PageBridge.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "accessibility/atspi/Interfaces.h"
#include "platform/Text.h"

namespace lectryn::accessibility::atspi {
namespace {

// A program that has not laid its page out for lookups yet answers with the document itself for a
// while (up to about half a second after it starts).
constexpr int kHitTestRetries = 10;
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
std::vector<BusObject> Descend(BusClient& client, const BusObject& document, int32_t x, int32_t y) {
  std::vector<BusObject> chain{document};
  while (chain.size() < static_cast<size_t>(PageBridge::kMaxChain)) {
    Reply reply = client.Call(bus::Method(chain.back(), bus::kComponent, "GetAccessibleAtPoint",
                                          [x, y](DBusMessageIter& iter) {
                                            AppendInt32(iter, x);
                                            AppendInt32(iter, y);
                                            AppendUint32(iter, bus::kScreenCoordinates);
                                          }),
                              kBusCallTimeoutMs);
    BusObject child = reply.Object();
    if (child.IsNull() || std::find(chain.begin(), chain.end(), child) != chain.end()) break;
    chain.push_back(std::move(child));
  }
  return chain;
}

// Fills the chain in between with parents: a program may answer with a deep object at once.
std::vector<BusObject> AncestorsToDocument(BusClient& client, const BusObject& deepest,
                                           const BusObject& document) {
  std::vector<BusObject> chain{deepest};
  while (!(chain.back() == document)) {
    if (chain.size() >= static_cast<size_t>(PageBridge::kMaxChain)) return {};
    BusObject parent = client.Call(bus::Property(chain.back(), bus::kAccessible, "Parent"), kBusCallTimeoutMs)
                           .VariantObject();
    if (parent.IsNull()) return {};  // not under this document
    chain.push_back(std::move(parent));
  }
  return chain;
}

}  // namespace

std::u16string DocumentUrl(BusClient& client, const BusObject& document) {
  for (const char* name : {"DocURL", "URI", "URL"}) {
    Reply reply = client.Call(bus::Method(document, bus::kDocument, "GetAttributeValue", Strings({name})),
                              kBusCallTimeoutMs);
    if (!reply.String().empty()) return platform::FromUtf8(reply.String());
  }
  Reply attributes = client.Call(bus::Method(document, bus::kAccessible, "GetAttributes"), kBusCallTimeoutMs);
  auto all = attributes.Attributes();
  for (const char* name : {"DocURL", "URI", "URL"}) {
    if (auto it = all.find(name); it != all.end()) return platform::FromUtf8(it->second);
  }
  return {};
}

bool DocumentBusy(BusClient& client, const BusObject& document) {
  Reply reply = client.Call(bus::Method(document, bus::kAccessible, "GetState"), kBusCallTimeoutMs);
  Expect(reply, document, "read the state of");
  return (reply.States() >> ATSPI_STATE_BUSY) & 1U;
}

std::vector<AxRef> PageBridge::ObjectsAtPoint(int32_t screenX, int32_t screenY) {
  return session_->Call(
      [document = document_, screenX, screenY](BusClient& client, Session::WorkerState& state) {
        const BusObject& documentObject = state.table.Find(document);
        Reply extents = client.Call(bus::Extents(documentObject), kBusCallTimeoutMs);
        Expect(extents, documentObject, "measure");
        if (!Contains(extents.Extents(), screenX, screenY)) return std::vector<AxRef>{};
        std::vector<BusObject> down = Descend(client, documentObject, screenX, screenY);
        // One program answers "nothing there" until it has fetched the page's layout.
        for (int round = 0; round < kHitTestRetries && down.size() == 1 && !state.laidOut.contains(document);
             ++round) {
          std::this_thread::sleep_for(std::chrono::milliseconds(kHitTestWaitMs));
          down = Descend(client, documentObject, screenX, screenY);
        }
        state.laidOut.insert(document);
        for (int round = 0; round < kQuickRetries && down.size() == 1; ++round) {
          std::this_thread::sleep_for(std::chrono::milliseconds(kQuickWaitMs));
          down = Descend(client, documentObject, screenX, screenY);
        }
        std::vector<BusObject> up = AncestorsToDocument(client, down.back(), documentObject);
        std::vector<AxRef> refs;
        for (const BusObject& object : up) refs.push_back(state.table.Intern(object));
        return refs;
      },
      kBusCallTimeoutMs);
}

AxExtents PageBridge::Extents(AxRef object) {
  return session_->Call(
      [object](BusClient& client, Session::WorkerState& state) {
        const BusObject& target = state.table.Find(object);
        Reply reply = client.Call(bus::Extents(target), kBusCallTimeoutMs);
        Expect(reply, target, "measure");
        return reply.Extents();
      },
      kBusCallTimeoutMs);
}

void PageBridge::Select(AxRef object, int32_t startOffset, int32_t endOffset) {
  session_->Call(
      [object, startOffset, endOffset, document = document_](BusClient& client, Session::WorkerState& state) {
        const BusObject& target = state.table.Find(object);
        if (state.events) state.events->OwnChange(target.name, MonotonicMs());
        // A program that keeps several ranges would otherwise show the old one beside the new.
        auto previous = state.selectedIn.find(document);
        if (previous != state.selectedIn.end() && previous->second != object) {
          const BusObject& old = state.table.Find(previous->second);
          Reply oldCount = client.Call(bus::Method(old, bus::kText, "GetNSelections"), kBusCallTimeoutMs);
          for (int32_t index = oldCount.Int32(0) - 1; index >= 0; --index)
            client.Call(bus::Method(old, bus::kText, "RemoveSelection", Ints({index})), kBusCallTimeoutMs);
        }
        state.selectedIn[document] = object;
        Reply count = client.Call(bus::Method(target, bus::kText, "GetNSelections"), kBusCallTimeoutMs);
        Expect(count, target, "select in");
        // One selection at a time: the first is moved, any others go.
        for (int32_t extra = count.Int32(0) - 1; extra >= 1; --extra) {
          client.Call(bus::Method(target, bus::kText, "RemoveSelection", Ints({extra})), kBusCallTimeoutMs);
        }
        Reply reply =
            count.Int32(0) > 0
                ? client.Call(
                      bus::Method(target, bus::kText, "SetSelection", Ints({0, startOffset, endOffset})),
                      kBusCallTimeoutMs)
                : client.Call(bus::Method(target, bus::kText, "AddSelection", Ints({startOffset, endOffset})),
                              kBusCallTimeoutMs);
        Expect(reply, target, "select in");
        if (!reply.Bool(false)) throw platform::Failure("the page refused the selection");
      },
      kBusCallTimeoutMs);
}

void PageBridge::ScrollTo(AxRef object, int32_t startOffset, int32_t endOffset) {
  session_->Call(
      [object, startOffset, endOffset](BusClient& client, Session::WorkerState& state) {
        const BusObject& target = state.table.Find(object);
        Reply reply = client.Call(bus::Method(target, bus::kText, "ScrollSubstringTo",
                                              [startOffset, endOffset](DBusMessageIter& iter) {
                                                AppendInt32(iter, startOffset);
                                                AppendInt32(iter, endOffset);
                                                AppendUint32(iter, bus::kScrollTopLeft);
                                              }),
                                  kBusCallTimeoutMs);
        if (reply.Bool(false)) return;
        reply =
            client.Call(bus::Method(target, bus::kComponent, "ScrollTo",
                                    [](DBusMessageIter& iter) { AppendUint32(iter, bus::kScrollTopLeft); }),
                        kBusCallTimeoutMs);
        Expect(reply, target, "scroll to");
      },
      kBusCallTimeoutMs);
}

bool PageBridge::Busy() {
  return session_->Call(
      [document = document_](BusClient& client, Session::WorkerState& state) {
        return DocumentBusy(client, state.table.Find(document));
      },
      kBusCallTimeoutMs);
}

std::u16string PageBridge::Url() {
  return session_->Call(
      [document = document_](BusClient& client, Session::WorkerState& state) {
        return DocumentUrl(client, state.table.Find(document));
      },
      kBusCallTimeoutMs);
}

}  // namespace lectryn::accessibility::atspi
