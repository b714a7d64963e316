#pragma once
// What the browser pages need of the accessibility bus: the web document a browser window shows,
// that document's objects and live calls, and word that a page changed. Every call may throw
// platform::Failure when the program or the bus does not answer in time.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "accessibility/AxTree.h"

namespace lectryn::accessibility {

class PageBus {
 public:
  virtual ~PageBus() = default;
  // The web document that program pid shows in the window at windowScreenRect; nullopt when it
  // shows none.
  virtual std::optional<AxRef> WebDocumentOf(int32_t pid, AxExtents windowScreenRect) = 0;
  // The document's objects as they are now.
  virtual AxNode ReadTree(AxRef document) = 0;
  // The same without waiting for it: done runs on the UI thread with the tree, or with nothing
  // when it could not be read.
  virtual void ReadTreeLater(AxRef document, std::function<void(std::optional<AxNode> tree)> done) = 0;
  // The part of the page to read first where the pointer is: a document node whose one child is
  // the innermost paragraph-like object of chain (objects under a point, deepest first, as
  // AxBridge::ObjectsAtPoint gives them at the screen point), read with all it holds; below a
  // chain that ends above such an object, the one at the point is looked for, unless the point is
  // kNoPoint (a chain from an object up, not from a point). nullopt when chain holds no object of
  // the page but the document.
  static constexpr int32_t kNoPoint = INT32_MIN;
  virtual std::optional<AxNode> ReadPartOf(AxRef document, const std::vector<AxRef>& chain, int32_t screenX,
                                           int32_t screenY) = 0;
  virtual std::shared_ptr<AxBridge> Bridge(AxRef document) = 0;
  // changed runs on the UI thread when a page of a document found may have changed. Returns an id
  // for StopPageChanged.
  virtual int OnPageChanged(std::function<void(AxRef document)> changed) = 0;
  virtual void StopPageChanged(int id) = 0;
};

}  // namespace lectryn::accessibility
