#pragma once
// The live calls on one web document, each a bounded call on the accessibility worker.
#include <memory>

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

 private:
  std::shared_ptr<Session> session_;
  AxRef document_;
};

// The document's URL and busy state, on the worker thread.
std::u16string DocumentUrl(BusClient& client, const BusObject& document);
bool DocumentBusy(BusClient& client, const BusObject& document);

}  // namespace lectryn::accessibility::atspi
