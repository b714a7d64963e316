#include "accessibility/atspi/AtspiPages.h"

#include <atspi/atspi-constants.h>
#include <unistd.h>

#include <algorithm>

#include "accessibility/atspi/Interfaces.h"
#include "accessibility/atspi/PageBridge.h"
#include "accessibility/atspi/Session.h"
#include "accessibility/atspi/TreeReader.h"
#include "platform/Failure.h"

namespace lectryn::accessibility::atspi {

AtspiPages::AtspiPages(AtspiWorker::PostFunction post, PageReports reports)
    : session_(std::make_shared<Session>(std::move(post), AtspiWorker::Bus::Connect)) {
  session_->reports = std::move(reports);
  std::weak_ptr<Session> weak = session_;
  Session& session = *session_;
  session.worker.Queue([&session, weak] {
    if (!session.worker.Connected()) return;
    session.state.finder.emplace(session.worker.Client(), session.state.table, kBusCallTimeoutMs);
    session.state.events.emplace(session.state.table, [&session, weak](AxRef document) {
      {
        std::lock_guard lock(session.pendingMutex);
        if (!session.pending.insert(document).second) return;  // one queued report is enough
      }
      session.worker.PostToUi([weak, document] {
        auto alive = weak.lock();
        if (!alive) return;
        {
          std::lock_guard lock(alive->pendingMutex);
          alive->pending.erase(document);
        }
        auto handlers = alive->handlers;  // a handler may stop itself
        for (auto& [id, handler] : handlers) handler(document);
      });
    }, &session.state.focus);
    std::string failed = session.state.events->Start();
    if (failed.empty()) return;
    // Pages that change are then read as they were when first read.
    session.worker.PostToUi([weak, failed] {
      auto alive = weak.lock();
      if (alive && alive->reports.problem)
        alive->reports.problem(BusProblem{BusProblem::Action::Listen, {}, "cannot listen for " + failed, true});
    });
  });
  session.worker.AtStop([&session] { session.state.events.reset(); });
  reader_ = std::make_unique<BackgroundReader>(
      session.state.table, BackgroundReader::SessionAccessibilityBus, kBusCallTimeoutMs,
      [weak](AxRef document, BackgroundReader::Done done) {
        auto alive = weak.lock();
        if (!alive) return;
        platform::Tolerate([&] {
          alive->worker.Queue([&session = *alive, document, done] {
            std::optional<AxNode> tree;
            if (session.worker.Connected())
              platform::Tolerate([&] {
                tree = TreeReader(session.worker.Client(), session.state.table, kBusCallTimeoutMs).Read(document);
              });
            done(std::move(tree));
          });
        });
      });
}

AtspiPages::~AtspiPages() = default;

std::optional<AxRef> AtspiPages::WebDocumentOf(int32_t pid, AxExtents windowScreenRect) {
  return session_->Call(
      [pid, windowScreenRect](BusClient&, Session::WorkerState& state) {
        return state.finder->WebDocumentOf(pid, windowScreenRect);
      },
      kFindTimeoutMs);
}

AxNode AtspiPages::ReadTree(AxRef document) {
  return session_->Call(
      [document](BusClient& client, Session::WorkerState& state) {
        return TreeReader(client, state.table, kBusCallTimeoutMs).Read(document);
      },
      kReadTreeTimeoutMs);
}

void AtspiPages::ReadTreeLater(AxRef document, std::function<void(std::optional<AxNode> tree)> done) {
  std::weak_ptr<Session> weak = session_;
  reader_->Read(document, [weak, done = std::move(done)](std::optional<AxNode> tree) {
    auto alive = weak.lock();
    if (!alive) return;
    alive->worker.PostToUi([weak, done, tree = std::move(tree)]() mutable {
      if (weak.lock()) done(std::move(tree));
    });
  });
}

namespace {

// The objects a reading starts with: a paragraph, heading, list item or table cell holds a piece.
bool HoldsPiece(AxRole role) {
  return role == AxRole::Paragraph || role == AxRole::Heading || role == AxRole::ListItem || role == AxRole::Cell;
}

bool Inline(AxRole role) {
  return role == AxRole::Text || role == AxRole::Other || role == AxRole::Link;
}

}  // namespace

namespace {

bool Contains(const AxExtents& extents, int32_t x, int32_t y) {
  return x >= extents.x && y >= extents.y && x < extents.x + extents.width && y < extents.y + extents.height;
}

// Below a block that holds no piece itself (a program's point lookup may stop at a section of a
// whole chapter), the piece at the point: the smallest child there, level by level. A point in the
// margin between blocks, or over a block with no piece at the point, starts at the next piece.
std::optional<AxRef> PieceBelow(BusClient& client, ObjectTable& table, const BusObject& block, int32_t x, int32_t y,
                                int depth = 0) {
  constexpr int kMaxLevels = 16;
  constexpr size_t kMaxChildren = 4000;
  if (depth >= kMaxLevels) return std::nullopt;
  std::vector<BusObject> children =
      client.Call(bus::Method(block, bus::kAccessible, "GetChildren"), kBusCallTimeoutMs).Objects();
  if (children.empty() || children.size() > kMaxChildren) return std::nullopt;
  std::vector<Request> requests;
  for (const BusObject& child : children) {
    requests.push_back(bus::Method(child, bus::kAccessible, "GetRole"));
    requests.push_back(bus::Extents(child));
  }
  std::vector<Reply> replies = client.CallAll(requests, kBusCallTimeoutMs);
  std::optional<size_t> under;
  std::optional<size_t> after;
  int64_t underArea = 0;
  for (size_t c = 0; c < children.size(); ++c) {
    if (Inline(RoleOf(replies[2 * c].Uint32(ATSPI_ROLE_INVALID)))) continue;
    AxExtents extents = replies[2 * c + 1].Extents();
    int64_t area = int64_t{extents.width} * extents.height;
    if (Contains(extents, x, y) && (!under || area < underArea)) {
      under = c;
      underArea = area;
    }
    if (!after && extents.height > 0 && extents.y > y) after = c;
  }
  auto pieceOf = [&](size_t c) -> std::optional<AxRef> {
    if (HoldsPiece(RoleOf(replies[2 * c].Uint32(ATSPI_ROLE_INVALID)))) return table.Intern(children[c]);
    return PieceBelow(client, table, children[c], x, y, depth + 1);
  };
  if (under)
    if (auto piece = pieceOf(*under)) return piece;
  if (after) return pieceOf(*after);
  return std::nullopt;
}

}  // namespace

std::optional<AxNode> AtspiPages::ReadPartOf(AxRef document, const std::vector<AxRef>& chain, int32_t screenX,
                                             int32_t screenY) {
  return session_->Call(
      [document, chain, screenX, screenY](BusClient& client, Session::WorkerState& state) -> std::optional<AxNode> {
        std::vector<AxRef> below;  // deepest first, without the document
        for (AxRef object : chain) {
          if (object == document) break;
          below.push_back(object);
        }
        if (below.empty()) return std::nullopt;
        std::vector<Request> requests;
        for (AxRef object : below)
          requests.push_back(bus::Method(state.table.Find(object), bus::kAccessible, "GetRole"));
        std::vector<Reply> roles = client.CallAll(requests, kBusCallTimeoutMs);
        // The innermost piece holder; else one found below the innermost block.
        std::optional<AxRef> part;
        std::optional<AxRef> block;
        for (size_t i = 0; i < below.size() && !part; ++i) {
          AxRole role = RoleOf(roles[i].Uint32(ATSPI_ROLE_INVALID));
          if (HoldsPiece(role)) part = below[i];
          if (!block && !Inline(role)) block = below[i];
        }
        if (!part && block && screenX != kNoPoint) part = PieceBelow(client, state.table, state.table.Find(*block), screenX, screenY);
        // Never a whole chapter at once: without a piece the whole page's read is waited for.
        if (!part) return std::nullopt;
        AxNode page;
        page.ref = document;
        page.role = AxRole::Document;
        page.children.push_back(TreeReader(client, state.table, kBusCallTimeoutMs)
                                    .Read(*part));
        return page;
      },
      kPartTimeoutMs);
}

std::shared_ptr<AxBridge> AtspiPages::Bridge(AxRef document) {
  return std::make_shared<PageBridge>(session_, document);
}

int AtspiPages::OnPageChanged(std::function<void(AxRef document)> changed) {
  int id = session_->nextHandler++;
  session_->handlers[id] = std::move(changed);
  return id;
}

void AtspiPages::StopPageChanged(int id) {
  session_->handlers.erase(id);
}

std::optional<FocusedText> AtspiPages::Focused() {
  return session_->Call(
      [](BusClient& client, Session::WorkerState& state) {
        Deadline deadline(kFindTimeoutMs - kBusCallTimeoutMs);
        return FocusFinder(client, state.table, deadline, getpid()).Find(state.focus);
      },
      kFindTimeoutMs);
}

std::vector<ObjectSelection> AtspiPages::SelectionsIn(std::vector<AxRef> objects) {
  return session_->Call(
      [objects = std::move(objects)](BusClient& client, Session::WorkerState& state) {
        std::vector<ObjectSelection> selections = SelectionsOf(client, state.table, objects, kBusCallTimeoutMs);
        // A page has one selection, told by each object it touches: when it is what our own
        // highlight left, none of it is what the user chose.
        bool own = std::any_of(selections.begin(), selections.end(), [&state](const ObjectSelection& selection) {
          return state.focus.IsOwn(state.table.Find(selection.object), selection.startOffset, selection.endOffset);
        });
        if (own) selections.clear();
        return selections;
      },
      kFindTimeoutMs);
}

std::optional<ObjectSelection> AtspiPages::CaretIn(std::vector<AxRef> objects) {
  return session_->Call(
      [objects = std::move(objects)](BusClient& client, Session::WorkerState& state) -> std::optional<ObjectSelection> {
        std::optional<ObjectSelection> caret = CaretOf(client, state.table, objects, kBusCallTimeoutMs);
        if (caret && state.focus.IsOwnCaret(state.table.Find(caret->object), caret->startOffset)) return std::nullopt;
        return caret;
      },
      kFindTimeoutMs);
}

}  // namespace lectryn::accessibility::atspi
