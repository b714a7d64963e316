#pragma once
// A web page shown by another program (a web browser), as a page document: the text, ranges,
// words and searches of its snapshot in our engine, and geometry, selection and scrolling asked
// of the browser through the bridge. Elements and ranges handed out are BrowserElement and
// BrowserRange over the engine's own. Every bridge call may throw platform::Failure; once the
// document is discarded, every call on it, its elements and its ranges does.
//
// A big page takes seconds to read whole, so a page may also be read in parts: the part under the
// pointer when it comes there, the whole page meanwhile in the background. When the whole page is
// in, it takes the parts' place, and the elements and ranges handed out move over to it by where
// their text came from.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
  // Reads the part of the page that holds the deepest of the objects under a point (deepest first,
  // as the bridge's ObjectsAtPoint gives them), as a document tree; nullopt when there is none.
  using PartReader =
      std::function<std::optional<AxNode>(const std::vector<AxRef>& chain, int32_t screenX, int32_t screenY)>;

  static std::shared_ptr<BrowserDocument> Create(const AxNode& document, std::shared_ptr<AxBridge> bridge,
                                                 std::u16string url, ClientOrigin clientOrigin);
  // A page read in parts: nothing of it until the first elementFromPoint reads the part there;
  // Complete or Incomplete says how the read of the whole page ended.
  static std::shared_ptr<BrowserDocument> CreateInParts(AxRef document, std::shared_ptr<AxBridge> bridge,
                                                        std::u16string url, ClientOrigin clientOrigin,
                                                        PartReader readPart);
  BrowserDocument(PageSnapshot snapshot, std::shared_ptr<AxBridge> bridge, std::u16string url,
                  ClientOrigin clientOrigin);

  // A part read without a point (where the user put the caret), until the whole page is in.
  void AddPart(const AxNode& part);
  // The whole page, read meanwhile, takes the place of the parts read so far.
  void Complete(const AxNode& document);
  // The whole page will not come: what is read is all there is.
  void Incomplete();
  // Whether the whole page is in (or all there will be).
  bool Whole() const { return !readPart_; }
  // Whether the read of the whole page failed: what is in is only what the parts gave.
  bool ReadFailed() const { return readFailed_; }

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
  bool WhenMore(std::function<void()> more) override;

  // For the elements and ranges.
  void CheckUsable() const;
  const PageSnapshot& Snapshot() const { return *snapshot_; }
  // The snapshot elements and ranges made now belong to; another one once the page grew.
  const std::shared_ptr<const PageSnapshot>& Current() const { return snapshot_; }
  AxBridge& Bridge();
  platform::POINTAPI Origin();  // the client origin on screen
  platform::ElementPtr Wrap(const platform::ElementPtr& engineElement);
  platform::TxtRangePtr Wrap(const platform::TxtRangePtr& engineRange);

 private:
  void Grow(const AxNode& tree);
  void RunWaiting();

  std::shared_ptr<const PageSnapshot> snapshot_;
  std::shared_ptr<AxBridge> bridge_;
  std::u16string url_;
  ClientOrigin clientOrigin_;
  bool discarded_ = false;
  PartReader readPart_;  // while the whole page is not in
  bool readFailed_ = false;
  std::vector<std::function<void()>> waiting_;
};

}  // namespace lectryn::accessibility
