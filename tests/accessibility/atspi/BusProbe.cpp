#include "BusProbe.h"

#include "accessibility/atspi/Interfaces.h"
#include "accessibility/atspi/PageBridge.h"
#include "accessibility/atspi/TreeReader.h"
#include "platform/Text.h"

namespace lectryn::accessibility::atspi::probe {
namespace {

constexpr int32_t kTimeoutMs = 10000;

const char* RoleName(AxRole role) {
  constexpr const char* kNames[] = {"other", "document", "section",  "paragraph", "heading",
                                    "list",  "item",     "table",    "row",       "cell",
                                    "link",  "text",     "password", "frame"};
  return kNames[static_cast<int>(role)];
}

void DumpInto(const AxNode& node, int depth, std::string& out) {
  out += std::string(static_cast<size_t>(depth) * 2, ' ') + RoleName(node.role);
  if (node.level != 0) out += " " + std::to_string(node.level);
  if (!node.language.empty()) out += " lang=" + platform::ToUtf8(node.language);
  if (node.hidden) out += " hidden";
  if (node.isProtected) out += " protected";
  if (node.hasText) {
    std::u16string shown = node.text;
    for (char16_t& c : shown) {
      if (c == u'\uFFFC') c = u'*';
    }
    out += " [" + platform::ToUtf8(shown) + "]";
  }
  for (int32_t index : node.embedded) out += " ->" + std::to_string(index);
  out += "\n";
  for (const AxNode& child : node.children) DumpInto(child, depth + 1, out);
}

void CollectRefs(const AxNode& node, std::vector<const AxNode*>& out) {
  if (node.hasText) out.push_back(&node);
  for (const AxNode& child : node.children) CollectRefs(child, out);
}

}  // namespace

std::optional<BusObject> TextObject(Session& session, int32_t pid, const std::string& prefix) {
  constexpr size_t kMaxObjects = 20000;
  return session.Call(
      [pid, prefix](BusClient& client, Session::WorkerState& state) -> std::optional<BusObject> {
        std::vector<BusObject> level;
        for (const auto& [appPid, app] : DocumentFinder(client, state.table, kBusCallTimeoutMs).Applications())
          if (pid == 0 || appPid == pid) level.push_back(app);
        size_t seen = 0;
        while (!level.empty() && seen < kMaxObjects) {
          seen += level.size();
          std::vector<Request> texts;
          std::vector<Request> children;
          for (const BusObject& object : level) {
            texts.push_back(bus::Method(object, bus::kText, "GetText", Ints({0, -1})));
            children.push_back(bus::Method(object, bus::kAccessible, "GetChildren"));
          }
          std::vector<Reply> textReplies = client.CallAll(texts, kTimeoutMs);
          for (size_t i = 0; i < level.size(); ++i)
            if (textReplies[i].Ok() && textReplies[i].String().starts_with(prefix)) return level[i];
          std::vector<BusObject> next;
          for (const Reply& reply : client.CallAll(children, kTimeoutMs))
            for (BusObject& child : reply.Objects())
              if (!child.IsNull()) next.push_back(std::move(child));
          level = std::move(next);
        }
        return std::nullopt;
      },
      kTimeoutMs * 4);
}

std::vector<ShownDocument> ShowingDocuments(Session& session) {
  return session.Call(
      [](BusClient& client, Session::WorkerState& state) {
        DocumentFinder finder(client, state.table, kBusCallTimeoutMs);
        std::vector<ShownDocument> shown;
        for (const auto& [pid, app] : finder.Applications()) {
          Reply frames = client.Call(bus::Method(app, bus::kAccessible, "GetChildren"), kBusCallTimeoutMs);
          for (const BusObject& frame : frames.Objects()) {
            std::optional<BusObject> document = finder.ShowingDocument(frame);
            if (!document) continue;
            std::string name =
                client.Call(bus::Property(*document, bus::kAccessible, "Name"), kBusCallTimeoutMs)
                    .VariantString();
            bool busy = DocumentBusy(client, *document, Deadline(kBusCallTimeoutMs));
            shown.push_back(ShownDocument{pid, *document, name, busy});
          }
        }
        return shown;
      },
      kTimeoutMs);
}

std::vector<TextSelection> Selections(Session& session, const BusObject& document) {
  return session.Call(
      [document](BusClient& client, Session::WorkerState& state) {
        AxNode tree = TreeReader(client, state.table, kBusCallTimeoutMs).Read(state.table.Intern(document));
        std::vector<const AxNode*> nodes;
        CollectRefs(tree, nodes);
        std::vector<Request> requests;
        for (const AxNode* node : nodes) {
          requests.push_back(bus::Method(state.table.Find(node->ref), bus::kText, "GetSelection", Ints({0})));
        }
        std::vector<Reply> replies = client.CallAll(requests, kBusCallTimeoutMs);
        std::vector<TextSelection> selections;
        for (size_t i = 0; i < nodes.size(); ++i) {
          std::vector<int32_t> range = replies[i].Int32s();
          if (range.size() != 2 || range[0] >= range[1]) continue;
          // Offsets count code points; the text is UTF-16.
          const std::u16string& text = nodes[i]->text;
          std::u16string selected;
          int32_t offset = 0;
          for (size_t u = 0; u < text.size(); ++offset) {
            bool pair = text[u] >= 0xD800 && text[u] <= 0xDBFF && u + 1 < text.size();
            size_t length = pair ? 2 : 1;
            if (offset >= range[0] && offset < range[1]) selected.append(text, u, length);
            u += length;
          }
          selections.push_back(
              TextSelection{state.table.Find(nodes[i]->ref).path, range[0], range[1], selected});
        }
        return selections;
      },
      kTimeoutMs);
}

std::string Dump(const AxNode& node) {
  std::string out;
  DumpInto(node, 0, out);
  return out;
}

std::u16string ShownText(const AxNode& node) {
  if (node.hidden || node.isProtected) return {};
  std::u16string text = node.text;
  for (const AxNode& child : node.children) text += ShownText(child);
  return text;
}

}  // namespace lectryn::accessibility::atspi::probe
