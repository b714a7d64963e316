#pragma once
// A page document of our engine: the parsed tree, its text model per version, and the state a
// view observes (selection, scroll requests, margins). Elements and text ranges handed out hold
// the document; once it is discarded (the page was replaced) every call on them fails.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/css/StyleResolver.h"
#include "engine/dom/Tree.h"
#include "engine/text/TextModel.h"
#include "platform/Page.h"

namespace lectryn::engine {

class Document : public platform::HTMLDocument, public std::enable_shared_from_this<Document> {
 public:
  // Parses UTF-8 markup (invalid bytes are tolerated) into a document whose readyState is "complete".
  static std::shared_ptr<Document> Parse(std::string_view utf8Html, std::u16string url);

  // platform::HTMLDocument
  platform::ElementPtr body() override;
  platform::ElementPtr documentElement() override;
  std::u16string readyState() override;
  std::u16string URL() override;
  platform::ElementPtr elementFromPoint(int32_t x, int32_t y) override;
  platform::ElementPtr getElementById(const std::u16string& id) override;

  void SetReadyState(std::u16string state);  // "uninitialized" | "loading" | "interactive" | "complete"
  void Discard();  // the page was replaced: every later call on it, its elements and ranges throws Failure
  bool Discarded() const { return discarded_; }

  struct FrameSlot {
    platform::ElementPtr element;
    std::u16string src;
  };
  std::vector<FrameSlot> Frames() const;  // FRAME and IFRAME elements in document order with their src
  void AttachFrameDocument(const platform::ElementPtr& frameElement, std::shared_ptr<Document> frameDocument);

  std::u16string BodyText();  // the text of a range over the whole body ("\r\n" breaks)
  struct TextSpan {
    int32_t start;  // UTF-16 offsets into BodyText()
    int32_t end;
  };
  std::optional<TextSpan> SelectionInBodyText();  // the document's selection, if any
  std::u16string SelectedText();

  // Called after the selection changed or a scroll was requested.
  int Observe(std::function<void()> onSelectionOrScroll);
  void Unobserve(int token);

  // The last scrollIntoView: the range in BodyText() offsets and whether its top goes to the top
  // of the view (else its bottom to the bottom). `serial` grows with every request.
  struct ScrollRequest {
    TextSpan span;
    bool alignToTop;
    uint64_t serial;
    text::Span units;  // the same range in positions of Model()
  };
  std::optional<ScrollRequest> LastScrollRequest();
  std::optional<text::Span> SelectionUnits();  // the selection in positions of Model()
  int32_t TopMarginPixels() const { return topMargin_; }
  int32_t LeftMarginPixels() const { return leftMargin_; }

  // For the engine's elements, ranges and (later) layout.
  void CheckUsable() const;  // throws platform::Failure once discarded
  const dom::Tree& Tree() const { return tree_; }
  uint64_t Version() const { return version_; }
  const text::TextModel& Model();                     // of the body, current version
  const std::vector<css::ComputedStyle>& Styles();    // by node, current version
  platform::ElementPtr ElementFor(dom::NodeId node);  // Nothing for kNoNode
  std::shared_ptr<Document> FrameDocument(dom::NodeId frame) const;
  void InsertAdjacentHtml(dom::NodeId element, std::u16string_view where, std::u16string_view html);
  void SetMargins(std::optional<int32_t> topPixels, std::optional<int32_t> leftPixels);
  // Positions are units of Model() of the given version (clamped when it is older).
  void SetSelection(int32_t start, int32_t end);
  void RequestScroll(int32_t start, int32_t end, bool alignToTop);
  // The text of an element as its innerText: from the model, or for elements outside the body
  // or not rendered, from a model of the element's own subtree.
  std::u16string InnerText(dom::NodeId element);

 private:
  Document() = default;
  void Changed();
  bool IsRendered(dom::NodeId element);  // neither it nor an ancestor is hidden or an object
  void Notify();

  dom::Tree tree_;
  std::u16string url_;
  std::u16string readyState_ = u"complete";
  bool discarded_ = false;
  uint64_t version_ = 1;
  std::optional<std::vector<css::ComputedStyle>> styles_;
  std::optional<text::TextModel> model_;
  std::optional<std::u16string> bodyText_;
  std::optional<std::pair<int32_t, int32_t>> selection_;  // units of the current model
  struct Scroll {
    int32_t start;
    int32_t end;
    bool alignToTop;
    uint64_t serial;
  };
  std::optional<Scroll> scroll_;
  uint64_t scrollSerial_ = 0;
  int32_t topMargin_ = 15;  // pixels, until the page sets them
  int32_t leftMargin_ = 10;
  std::map<dom::NodeId, std::shared_ptr<Document>> frames_;
  std::map<int, std::function<void()>> observers_;
  int nextObserver_ = 1;
};

}  // namespace lectryn::engine
