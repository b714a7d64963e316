#include "accessibility/atspi/AtspiPages.h"

#include <unistd.h>

#include <algorithm>

#include "accessibility/atspi/PageBridge.h"
#include "accessibility/atspi/Session.h"
#include "accessibility/atspi/TreeReader.h"

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

}  // namespace lectryn::accessibility::atspi
