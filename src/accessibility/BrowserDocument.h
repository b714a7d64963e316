#pragma once
// A web page shown by another program (a web browser), as a page document: the text, ranges,
// words and searches of its snapshot in our engine, and geometry, selection and scrolling asked
// of the browser through the bridge. Elements and ranges handed out are BrowserElement and
// BrowserRange over the engine's own. Every bridge call may throw platform::Failure; once the
// document is discarded, every call on it, its elements and its ranges does.
#include <functional>
#include <memory>
#include <string>

#include "accessibility/AxTree.h"
#include "accessibility/PageSnapshot.h"
#include "platform/Page.h"
#include "platform/WindowSystem.h"

namespace lectryn::accessibility {

class BrowserDocument : public platform::HTMLDocument, public std::enable_shared_from_this<BrowserDocument> {
 public:
  // The browser window's client area origin on screen, in pixels: page coordinates are client
  // coordinates of that window.
  using ClientOrigin = std::function<platform::POINTAPI()>;

  static std::shared_ptr<BrowserDocument> Create(const AxNode& document, std::shared_ptr<AxBridge> bridge,
                                                 std::u16string url, ClientOrigin clientOrigin);
  BrowserDocument(PageSnapshot snapshot, std::shared_ptr<AxBridge> bridge, std::u16string url,
                  ClientOrigin clientOrigin);

  // platform::HTMLDocument
  platform::ElementPtr body() override;
  platform::ElementPtr documentElement() override;
  std::u16string readyState() override;  // "loading" while the browser is busy, else "complete"
  std::u16string URL() override;
  platform::ElementPtr elementFromPoint(int32_t x, int32_t y) override;
  platform::ElementPtr getElementById(const std::u16string& id) override;

  // The range over the characters [startOffset, endOffset) of the object's text (a caret when
  // both are equal), as the browser counts them; Nothing when the object made no text here.
  platform::TxtRangePtr RangeAt(AxRef object, int32_t startOffset, int32_t endOffset);

  // The page changed or is gone.
  void Discard();
  bool Discarded() const override { return discarded_; }

  // For the elements and ranges.
  void CheckUsable() const;
  const PageSnapshot& Snapshot() const { return snapshot_; }
  AxBridge& Bridge();
  platform::POINTAPI Origin();  // the client origin on screen
  platform::ElementPtr Wrap(const platform::ElementPtr& engineElement);
  platform::TxtRangePtr Wrap(const platform::TxtRangePtr& engineRange);

 private:
  PageSnapshot snapshot_;
  std::shared_ptr<AxBridge> bridge_;
  std::u16string url_;
  ClientOrigin clientOrigin_;
  bool discarded_ = false;
};

}  // namespace lectryn::accessibility
