#pragma once
// The live calls on one web document, each a bounded call on the accessibility worker.
#include <memory>
#include <string>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/Session.h"

namespace lectryn::accessibility::atspi {

class PageBridge : public AxBridge {
 public:
  PageBridge(std::shared_ptr<Session> session, AxRef document)
      : session_(std::move(session)), document_(document) {}

  std::vector<AxRef> ObjectsAtPoint(int32_t screenX, int32_t screenY) override;
  AxExtents Extents(AxRef object) override;
  void Select(AxRef object, int32_t startOffset, int32_t endOffset) override;
  void ScrollTo(AxRef object, int32_t startOffset, int32_t endOffset) override;
  bool Busy() override;
  std::u16string Url() override;

  // The longest chain ObjectsAtPoint follows (a page nesting deeper is cut there).
  static constexpr int kMaxChain = 96;
  // How long past a call's bound the caller waits for its task to give up by itself.
  static constexpr int32_t kWorkerSlackMs = 250;

 private:
  template <class Task>
  auto Bounded(Task task);
  // A highlight that failed goes to the session's reports (the caller gets the failure too).
  void Report(BusProblem::Action action, const platform::Failure& failure);

  std::shared_ptr<Session> session_;
  AxRef document_;
  std::u16string url_;  // as last read, for reports
};

// The document's URL and busy state, on the worker thread.
std::u16string DocumentUrl(BusClient& client, const BusObject& document, const Deadline& deadline);
bool DocumentBusy(BusClient& client, const BusObject& document, const Deadline& deadline);

}  // namespace lectryn::accessibility::atspi
