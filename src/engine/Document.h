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
#include "engine/layout/DisplayList.h"
#include "engine/layout/FontMetrics.h"
#include "engine/layout/Geometry.h"
#include "engine/layout/LayoutTree.h"
#include "engine/layout/ScrollOffsets.h"
#include "engine/text/TextModel.h"
#include "platform/Page.h"

namespace lectryn::engine {
namespace layout {
class GeometryIndex;
}

class Document : public platform::HTMLDocument, public std::enable_shared_from_this<Document> {
 public:
  // Parses UTF-8 markup (invalid bytes are tolerated) into a document whose readyState is "complete".
  static std::shared_ptr<Document> Parse(std::string_view utf8Html, std::u16string url);

  // platform::HTMLDocument
  platform::ElementPtr body() override;
  platform::ElementPtr documentElement() override;
  std::u16string readyState() override;
  std::u16string URL() override;
  std::u16string title() override { return Title(); }
  platform::ElementPtr elementFromPoint(int32_t x, int32_t y) override;
  platform::ElementPtr getElementById(const std::u16string& id) override;

  void SetReadyState(std::u16string state);  // "uninitialized" | "loading" | "interactive" | "complete"
  void Discard();  // the page was replaced: every later call on it, its elements and ranges throws Failure
  bool Discarded() const override { return discarded_; }

  struct FrameSlot {
    platform::ElementPtr element;
    std::u16string src;
  };
  std::vector<FrameSlot> Frames() const;  // FRAME and IFRAME elements in document order with their src
  void AttachFrameDocument(const platform::ElementPtr& frameElement, std::shared_ptr<Document> frameDocument);

  std::u16string BodyText();  // the text of a range over the whole body ("\r\n" breaks)
  // The text of the first <title>, its white space collapsed and trimmed; empty when none.
  std::u16string Title();
  // What the server said of the page's language (its Content-Language header); set by the loader.
  void SetContentLanguage(std::u16string header);
  // The language of a node's text: the nearest xml:lang or lang on it or its ancestors (an empty
  // one means unknown), else the page's <meta http-equiv="content-language">, else the server's
  // header; the first tag of a list; empty when nothing says.
  std::u16string LanguageOf(dom::NodeId node);
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
  // The body margins the page wrote (put_topMargin/put_leftMargin); unset, the style sheets decide.
  std::optional<int32_t> TopMarginPixels() const { return topMargin_; }
  std::optional<int32_t> LeftMarginPixels() const { return leftMargin_; }

  // The view: its size and scroll offsets, in CSS pixels. Layout runs lazily on the first geometry
  // call or paint and is cached per document version, metrics and view size; selecting and
  // scrolling never lay out again.
  void SetFontMetrics(std::shared_ptr<layout::FontMetrics> metrics);  // default: FixedFontMetrics
  void SetViewSize(float widthPx, float heightPx);                    // default 1000 x 800
  layout::Point ViewSize() const { return {viewWidth_, viewHeight_}; }
  layout::Point ViewScroll();            // the view's scroll offsets
  void SetViewScroll(float x, float y);  // clamped to the canvas; tells the observers
  const layout::LayoutTree& Layout();
  layout::Rect ScrollExtent();  // the canvas the view can scroll over, from 0,0
  // The display list of an area of the page (page coordinates) with the selection highlighted.
  layout::DisplayList Paint(const layout::Rect& area, const layout::SelectionColors& colors = {});
  // One rectangle per line fragment of units [startUnit, endUnit) of Model(), page coordinates.
  std::vector<layout::Rect> RangeRects(int32_t startUnit, int32_t endUnit);
  std::string DumpDisplayList(const layout::DisplayList& list);
  // The scroll offsets of a scroll container inside the page (0,0 for other elements).
  layout::Point ElementScroll(dom::NodeId element);
  void SetElementScroll(dom::NodeId element, float x, float y);  // clamped to its content
  uint64_t LayoutCount() const { return layoutCount_; }          // layouts made so far, for tests

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
  void InvalidateLayout();
  void RestyleForView();
  const layout::GeometryIndex& Index();
  void SizeFrames(const layout::LayoutTree& layout);
  void PaintFrame(dom::NodeId frame, const layout::Rect& contentBox, const layout::Rect& area,
                  const layout::SelectionColors& colors, layout::DisplayList& out);
  void ScrollToRange(int32_t start, int32_t end, bool alignToTop);
  bool IsRendered(dom::NodeId element);  // neither it nor an ancestor is hidden or an object
  const std::u16string& CachedBodyText();
  void Notify();

  dom::Tree tree_;
  std::u16string url_;
  std::u16string readyState_ = u"complete";
  std::u16string MetaLanguage() const;
  // The language of text no element declares one for: the page's meta, else the server's.
  std::u16string PageLanguage();
  std::u16string contentLanguage_;
  std::optional<std::u16string> metaLanguage_;
  bool discarded_ = false;
  uint64_t version_ = 1;
  std::optional<std::vector<css::ComputedStyle>> styles_;
  css::ViewDependence viewDependence_;  // of styles_
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
  std::optional<int32_t> topMargin_;  // pixels, once the page sets them
  std::optional<int32_t> leftMargin_;
  std::map<dom::NodeId, std::shared_ptr<Document>> frames_;
  std::map<int, std::function<void()>> observers_;
  int nextObserver_ = 1;

  std::shared_ptr<layout::FontMetrics> metrics_;
  float viewWidth_ = 1000;  // CSS pixels
  float viewHeight_ = 800;
  layout::Point viewScroll_;
  layout::ScrollOffsets elementScrolls_;
  std::shared_ptr<const layout::LayoutTree> layout_;  // null until laid out again
  std::shared_ptr<const layout::GeometryIndex> index_;
  uint64_t layoutCount_ = 0;
  bool painting_ = false;  // a frame that holds its own page again is not painted twice
};

}  // namespace lectryn::engine
