#include "accessibility/atspi/FocusedText.h"

#include <atspi/atspi-constants.h>

#include "accessibility/atspi/Interfaces.h"
#include "platform/Text.h"

namespace lectryn::accessibility::atspi {
namespace {

// What a page's text holds in place of each object it holds.
constexpr const char* kObjectCharacter = "\xEF\xBF\xBC";

std::pair<int32_t, int32_t> Span(const Reply& reply) {
  std::vector<int32_t> span = reply.Int32s();
  if (span.size() != 2 || span[0] < 0 || span[0] >= span[1]) return {0, 0};
  return {span[0], span[1]};
}

}  // namespace

int32_t FocusFinder::PidOf(const std::string& busName) {
  auto known = pids_.find(busName);
  if (known != pids_.end()) return known->second;
  Reply reply = client_.Call(
      bus::Method(bus::kBusDaemon, "org.freedesktop.DBus", "GetConnectionUnixProcessID", Strings({busName})),
      deadline_.LeftMs());
  int32_t pid = reply.Ok() ? static_cast<int32_t>(reply.Uint32()) : 0;
  pids_[busName] = pid;
  return pid;
}

std::optional<FocusedText> FocusFinder::Find(FocusTracker& tracker) {
  std::vector<TrackedText> recent(tracker.Recent().begin(), tracker.Recent().end());
  for (const TrackedText& tracked : recent) {
    if (ownPid_ != 0 && PidOf(tracked.object.name) == ownPid_) continue;
    std::optional<FocusedText> focused = Describe(tracked.object, tracked.caretOffset);
    if (!focused) continue;
    // A selection our highlight left is not the user's: their caret counts.
    if (tracker.IsOwn(tracked.object, focused->selectionStart, focused->selectionEnd))
      focused->selectionStart = focused->selectionEnd = 0;
    return focused;
  }
  return FindOnDesktop();
}

std::optional<FocusedText> FocusFinder::FindOnDesktop() {
  std::vector<BusObject> programs =
      client_.Call(bus::Method(bus::kRegistryRoot, bus::kAccessible, "GetChildren"), deadline_.LeftMs()).Objects();
  std::vector<Request> requests;
  for (const BusObject& program : programs) {
    if (program.IsNull() || (ownPid_ != 0 && PidOf(program.name) == ownPid_)) continue;
    requests.push_back(bus::Method(program, bus::kAccessible, "GetChildren"));
  }
  std::vector<BusObject> windows;
  for (const Reply& reply : client_.CallAll(requests, deadline_.LeftMs())) {
    for (const BusObject& window : reply.Objects())
      if (!window.IsNull()) windows.push_back(window);
  }
  requests.clear();
  for (const BusObject& window : windows) requests.push_back(bus::Method(window, bus::kAccessible, "GetState"));
  std::vector<Reply> states = client_.CallAll(requests, deadline_.LeftMs());
  for (size_t i = 0; i < windows.size(); ++i) {
    if (!((states[i].States() >> ATSPI_STATE_ACTIVE) & 1U)) continue;
    Reply found = client_.Call(
        bus::Method(windows[i], bus::kCollection, "GetMatches", MatchRule({ATSPI_STATE_FOCUSED}, {}, 1)),
        deadline_.LeftMs());
    std::vector<BusObject> focusedObjects = found.Objects();
    if (focusedObjects.empty() || focusedObjects[0].IsNull()) continue;
    if (std::optional<FocusedText> focused = Describe(CaretHolder(focusedObjects[0]), -1)) return focused;
  }
  return std::nullopt;
}

BusObject FocusFinder::CaretHolder(BusObject object) {
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    int32_t caret = client_.Call(bus::Property(object, bus::kText, "CaretOffset"), deadline_.LeftMs()).VariantInt32(-1);
    if (caret < 0) break;
    std::vector<Reply> asked =
        client_.CallAll({bus::Method(object, bus::kText, "GetText", Ints({caret, caret + 1})),
                         bus::Method(object, bus::kHypertext, "GetLinkIndex", Ints({caret}))},
                        deadline_.LeftMs());
    if (asked[0].String() != kObjectCharacter || asked[1].Int32(-1) < 0) break;
    BusObject link =
        client_.Call(bus::Method(object, bus::kHypertext, "GetLink", Ints({asked[1].Int32(-1)})), deadline_.LeftMs())
            .Object();
    if (link.IsNull()) break;
    BusObject child =
        client_.Call(bus::Method(link, bus::kHyperlink, "GetObject", Ints({0})), deadline_.LeftMs()).Object();
    if (child.IsNull() || child == object) break;
    object = child;
  }
  return object;
}

std::optional<FocusedText> FocusFinder::Describe(const BusObject& object, int32_t trackedCaret) {
  // Asked together: whether it has text at all, its selection and its caret.
  std::vector<Reply> replies =
      client_.CallAll({bus::Method(object, bus::kText, "GetNSelections"),
                       bus::Method(object, bus::kText, "GetSelection", Ints({0})),
                       bus::Property(object, bus::kText, "CaretOffset")},
                      deadline_.LeftMs());
  if (!replies[0].Ok()) return std::nullopt;
  FocusedText focused;
  focused.object = table_.Intern(object);
  if (replies[0].Int32(0) > 0) std::tie(focused.selectionStart, focused.selectionEnd) = Span(replies[1]);
  // Where the user's own move left it; the program's caret may have followed our highlight since.
  focused.caretNow = replies[2].VariantInt32(-1);
  focused.caretOffset = trackedCaret >= 0 ? trackedCaret : focused.caretNow;
  focused.pid = PidOf(object.name);

  // Up to the web document, if the object lies in one.
  BusObject current = object;
  for (int depth = 0; depth < kMaxDepth && !current.IsNull(); ++depth) {
    std::vector<Reply> asked = client_.CallAll(
        {bus::Method(current, bus::kAccessible, "GetRole"), bus::Property(current, bus::kAccessible, "Parent")},
        deadline_.LeftMs());
    if (asked[0].Ok() && asked[0].Uint32() == ATSPI_ROLE_DOCUMENT_WEB) {
      AxRef document = table_.Intern(current);
      table_.AddDocument(document);
      focused.webDocument = document;
      break;
    }
    if (depth > 0) focused.ancestors.push_back(table_.Intern(current));
    BusObject parent = asked[1].VariantObject();
    if (depth == 0 && !parent.IsNull()) focused.container = table_.Intern(parent);
    current = parent;
  }
  if (focused.webDocument) {
    // A page's objects tell the selection in what they hold as the characters that stand for
    // those: one character in the parent is a selection in the object alone.
    if (focused.Selected() && focused.container != 0) {
      const BusObject& parent = table_.Find(focused.container);
      std::vector<Reply> around = client_.CallAll({bus::Method(parent, bus::kText, "GetNSelections"),
                                                   bus::Method(parent, bus::kText, "GetSelection", Ints({0}))},
                                                  deadline_.LeftMs());
      auto [start, end] = Span(around[1]);
      focused.selectionWithin = around[0].Int32(0) == 1 && end - start == 1;
    }
    return focused;
  }

  Reply text = client_.Call(bus::Method(object, bus::kText, "GetText", Ints({0, -1})), deadline_.LeftMs());
  focused.text = platform::FromUtf8(text.String());
  if (focused.Selected()) {
    // Setting the selection it has is harmless, and says whether it takes one.
    focused.takesSelection =
        SetFirstSelection(client_, object, true, focused.selectionStart, focused.selectionEnd, deadline_.LeftMs());
  }
  return focused;
}

std::vector<ObjectSelection> SelectionsOf(BusClient& client, ObjectTable& table, const std::vector<AxRef>& objects,
                                          int32_t timeoutMs) {
  std::vector<Request> requests;
  for (AxRef object : objects) requests.push_back(bus::Method(table.Find(object), bus::kText, "GetSelection", Ints({0})));
  std::vector<Reply> replies = client.CallAll(requests, timeoutMs);
  std::vector<ObjectSelection> selections;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (!replies[i].Ok()) continue;
    auto [start, end] = Span(replies[i]);
    if (end > start) selections.push_back({objects[i], start, end});
  }
  return selections;
}

bool SetFirstSelection(BusClient& client, const BusObject& object, bool held, int32_t start, int32_t end,
                       int32_t timeoutMs) {
  Deadline deadline(timeoutMs);
  if (held) {
    if (client.Call(bus::Method(object, bus::kText, "SetSelection", Ints({0, start, end})), deadline.LeftMs()).Bool(false))
      return true;
    client.Call(bus::Method(object, bus::kText, "RemoveSelection", Ints({0})), deadline.LeftMs());
  }
  return client.Call(bus::Method(object, bus::kText, "AddSelection", Ints({start, end})), deadline.LeftMs()).Bool(false);
}

std::optional<ObjectSelection> CaretOf(BusClient& client, ObjectTable& table, const std::vector<AxRef>& objects,
                                       int32_t timeoutMs) {
  std::vector<Request> requests;
  for (AxRef object : objects) requests.push_back(bus::Property(table.Find(object), bus::kText, "CaretOffset"));
  std::vector<Reply> replies = client.CallAll(requests, timeoutMs);
  std::optional<ObjectSelection> caret;
  for (size_t i = 0; i < objects.size(); ++i) {
    int32_t offset = replies[i].Ok() ? replies[i].VariantInt32(-1) : -1;
    if (offset >= 0) caret = ObjectSelection{objects[i], offset, offset};
  }
  return caret;
}

}  // namespace lectryn::accessibility::atspi
