#include "engine/Document.h"

#include <algorithm>
#include <utility>

#include "engine/Element.h"
#include "engine/dom/HtmlParser.h"
#include "engine/dom/Language.h"
#include "engine/layout/DisplayListBuilder.h"
#include "engine/layout/DisplayListDump.h"
#include "engine/layout/GeometryIndex.h"
#include "engine/layout/HitTest.h"
#include "engine/layout/Layout.h"
#include "engine/layout/RangeGeometry.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::engine {

using dom::kNoNode;
using dom::NodeId;

std::shared_ptr<Document> Document::Parse(std::string_view utf8Html, std::u16string url) {
  std::shared_ptr<Document> document(new Document());
  dom::ParseDocument(utf8Html, document->tree_);
  document->url_ = std::move(url);
  return document;
}

void Document::CheckUsable() const {
  if (discarded_) {
    throw platform::Failure("the page " + platform::ToUtf8(url_) +
                            " has been replaced; take its document, elements and ranges again");
  }
}

platform::ElementPtr Document::body() {
  CheckUsable();
  return ElementFor(tree_.Body());
}

platform::ElementPtr Document::documentElement() {
  CheckUsable();
  return ElementFor(tree_.HtmlElement());
}

std::u16string Document::readyState() {
  CheckUsable();
  return readyState_;
}

std::u16string Document::URL() {
  CheckUsable();
  return url_;
}

platform::ElementPtr Document::elementFromPoint(int32_t x, int32_t y) {
  CheckUsable();
  if (x < 0 || y < 0 || static_cast<float>(x) >= viewWidth_ || static_cast<float>(y) >= viewHeight_) {
    return nullptr;
  }
  const auto& layout = Layout();
  layout::HitTestInput input{layout, Index(), tree_, Styles(), elementScrolls_};
  NodeId node =
      layout::HitTest(input, {static_cast<float>(x) + viewScroll_.x, static_cast<float>(y) + viewScroll_.y});
  // The canvas outside every box belongs to the root element.
  return ElementFor(node == kNoNode ? tree_.HtmlElement() : node);
}

platform::ElementPtr Document::getElementById(const std::u16string& id) {
  CheckUsable();
  if (id.empty()) return nullptr;
  for (NodeId node = tree_.Root(); node != kNoNode; node = tree_.Next(node, tree_.Root())) {
    if (!tree_[node].IsElement()) continue;
    const auto* value = tree_.AttributeValue(node, "id");
    if (value != nullptr && *value == id) return ElementFor(node);
  }
  return nullptr;
}

void Document::SetReadyState(std::u16string state) {
  CheckUsable();
  readyState_ = std::move(state);
}

void Document::Discard() {
  if (discarded_) return;
  discarded_ = true;
  auto frames = std::move(frames_);
  frames_.clear();
  observers_.clear();
  model_.reset();
  styles_.reset();
  bodyText_.reset();
  InvalidateLayout();
  tree_ = dom::Tree();
  for (auto& [node, frame] : frames) {
    if (frame) frame->Discard();
  }
}

std::vector<Document::FrameSlot> Document::Frames() const {
  CheckUsable();
  std::vector<FrameSlot> slots;
  auto self = std::const_pointer_cast<Document>(shared_from_this());
  for (NodeId node = tree_.Root(); node != kNoNode; node = tree_.Next(node, tree_.Root())) {
    if (!tree_[node].IsElement() || !tree_[node].Has(dom::kTagFrame)) continue;
    const auto* src = tree_.AttributeValue(node, "src");
    slots.push_back({std::make_shared<Element>(self, node), src == nullptr ? std::u16string() : *src});
  }
  return slots;
}

void Document::AttachFrameDocument(const platform::ElementPtr& frameElement,
                                   std::shared_ptr<Document> frameDocument) {
  CheckUsable();
  auto* element = dynamic_cast<Element*>(frameElement.get());
  if (element == nullptr || element->OwnerDocument().get() != this) {
    throw platform::Failure("cannot attach a frame document: the frame element belongs to another document");
  }
  if (!tree_[element->Node()].Has(dom::kTagFrame)) {
    throw platform::Failure("cannot attach a frame document to a " + tree_[element->Node()].name +
                            " element; only FRAME and IFRAME elements hold documents");
  }
  frames_[element->Node()] = std::move(frameDocument);
}

std::shared_ptr<Document> Document::FrameDocument(NodeId frame) const {
  auto it = frames_.find(frame);
  return it == frames_.end() ? nullptr : it->second;
}

const std::vector<css::ComputedStyle>& Document::Styles() {
  CheckUsable();
  if (!styles_) styles_ = css::ResolveStyles(tree_, {viewWidth_, viewHeight_}, &viewDependence_);
  return *styles_;
}

const text::TextModel& Document::Model() {
  CheckUsable();
  if (!model_) {
    NodeId root = tree_.Body();
    if (root == kNoNode) root = tree_.HtmlElement();
    if (root == kNoNode) root = tree_.Root();
    model_ = text::TextModel::Build(tree_, Styles(), root, PageLanguage());
  }
  return *model_;
}

const std::u16string& Document::CachedBodyText() {
  const auto& model = Model();
  if (!bodyText_) bodyText_ = model.Text(0, model.Length());
  return *bodyText_;
}

namespace {

bool EqualsIgnoringAsciiCase(std::u16string_view text, std::u16string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? static_cast<char16_t>(text[i] + 32) : text[i];
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

void Document::SetContentLanguage(std::u16string header) {
  contentLanguage_ = dom::FirstLanguageTag(header);
}

std::u16string Document::LanguageOf(NodeId node) {
  CheckUsable();
  for (NodeId at = node; at != dom::kNoNode; at = tree_[at].parent) {
    if (auto declared = dom::DeclaredLanguage(tree_, at)) return *declared;
  }
  return PageLanguage();
}

std::u16string Document::PageLanguage() {
  if (!metaLanguage_) metaLanguage_ = MetaLanguage();
  return metaLanguage_->empty() ? contentLanguage_ : *metaLanguage_;
}

// Looked up once: the narration asks for every piece, and the head does not change under it.
std::u16string Document::MetaLanguage() const {
  for (NodeId at = tree_.Root(); at != dom::kNoNode; at = tree_.Next(at, tree_.Root())) {
    if (!tree_[at].IsElement() || tree_[at].name != "meta") continue;
    const std::u16string* equiv = tree_.AttributeValue(at, "http-equiv");
    const std::u16string* content = tree_.AttributeValue(at, "content");
    if (equiv && content && EqualsIgnoringAsciiCase(*equiv, u"content-language")) {
      std::u16string tag = dom::FirstLanguageTag(*content);
      if (!tag.empty()) return tag;
    }
  }
  return {};
}

std::u16string Document::Title() {
  CheckUsable();
  NodeId title = tree_.Root();
  while (title != dom::kNoNode && !(tree_[title].IsElement() && tree_[title].name == "title"))
    title = tree_.Next(title, tree_.Root());
  if (title == dom::kNoNode) return {};
  std::u16string text;
  bool pendingSpace = false;
  for (NodeId node = tree_.Next(title, title); node != dom::kNoNode; node = tree_.Next(node, title)) {
    if (tree_[node].kind != dom::NodeKind::Text) continue;
    for (char16_t c : tree_[node].text) {
      bool space = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
      if (space) {
        pendingSpace = !text.empty();
        continue;
      }
      if (pendingSpace) text += u' ';
      pendingSpace = false;
      text += c;
    }
  }
  return text;
}

std::u16string Document::BodyText() {
  return CachedBodyText();
}

std::u16string Document::InnerText(NodeId element) {
  const auto& model = Model();
  text::Span span = model.SpanOf(element);
  if (span.start >= 0 && tree_.IsInclusiveAncestor(model.Root(), element) && IsRendered(element)) {
    // A slice of the body's text, which is built once per version: the picker asks for the text
    // of the element under the pointer at every move, and that may be most of a large page.
    // The line breaks blocks inside ask for at its ends are not its text (a <br>'s or a <pre>'s
    // are): a list box's text starts with its first option, not the break before it.
    auto blockBreak = [&](int32_t p) {
      return model.Unit(p) == text::kBreakUnit && model.OffsetInNode(p) < 0 &&
             !tree_[model.NodeOfUnit(p)].Has(dom::kTagBreak);
    };
    while (span.start < span.end && blockBreak(span.start)) ++span.start;
    while (span.end > span.start && blockBreak(span.end - 1)) --span.end;
    const std::u16string& all = CachedBodyText();
    int32_t from = model.TextOffset(span.start);
    return all.substr(static_cast<size_t>(from), static_cast<size_t>(model.TextOffset(span.end) - from));
  }
  if (tree_.IsInclusiveAncestor(element, model.Root()) && element != tree_.Root()) {
    // The root element and other ancestors of the body: the body's text.
    if (!tree_[element].Has(dom::kTagFrameset)) return BodyText();
  }
  // Not rendered (or an object): its own subtree by the same rules.
  auto own = text::TextModel::Build(tree_, Styles(), element, PageLanguage());
  return own.Text(0, own.Length());
}

bool Document::IsRendered(NodeId element) {
  const auto& styles = Styles();
  for (NodeId node = element; node != kNoNode; node = tree_[node].parent) {
    if (!tree_[node].IsElement()) continue;
    if (styles[static_cast<size_t>(node)].display == css::Display::None) return false;
    if (tree_[node].Has(dom::kTagNotRendered)) return false;
    // An image's or a frame's content is not the page's text; a button's or a list's is.
    if (text::ReadingOf(tree_, node) != text::ObjectReading::Content) return false;
  }
  return true;
}

platform::ElementPtr Document::ElementFor(NodeId node) {
  if (node == kNoNode) return nullptr;
  return std::make_shared<Element>(shared_from_this(), node);
}

void Document::InsertAdjacentHtml(NodeId element, std::u16string_view where, std::u16string_view html) {
  CheckUsable();
  bool atStart = platform::EqualsIgnoringAsciiCase(where, u"afterbegin");
  if (!atStart && !platform::EqualsIgnoringAsciiCase(where, u"beforeend")) {
    throw platform::Failure("insertAdjacentHTML cannot insert at \"" + platform::ToUtf8(where) +
                            "\" of the body; use \"afterbegin\" or \"beforeend\"");
  }
  std::vector<NodeId> nodes = dom::ParseBodyFragment(platform::ToUtf8(html), tree_);
  NodeId before = atStart ? tree_[element].firstChild : kNoNode;
  for (NodeId node : nodes) tree_.InsertBefore(element, node, before);
  Changed();
}

void Document::Changed() {
  ++version_;
  styles_.reset();
  model_.reset();
  bodyText_.reset();
  InvalidateLayout();
}

void Document::SetMargins(std::optional<int32_t> topPixels, std::optional<int32_t> leftPixels) {
  CheckUsable();
  if (topPixels) topMargin_ = *topPixels;
  if (leftPixels) leftMargin_ = *leftPixels;
  InvalidateLayout();
}

void Document::SetSelection(int32_t start, int32_t end) {
  CheckUsable();
  selection_ = std::make_pair(start, end);
  Notify();
}

void Document::RequestScroll(int32_t start, int32_t end, bool alignToTop) {
  CheckUsable();
  scroll_ = Scroll{start, end, alignToTop, ++scrollSerial_};
  ScrollToRange(start, end, alignToTop);
  Notify();
}

void Document::ScrollToRange(int32_t start, int32_t end, bool alignToTop) {
  const auto& layout = Layout();
  int32_t length = Model().Length();
  start = std::clamp(start, 0, length);
  end = std::clamp(end, start, length);
  layout::RangeGeometry geometry(layout, Index(), *metrics_);
  auto [first, last] = geometry.Lines(start, end);
  int32_t target = alignToTop ? first : last;
  if (target < 0) return;
  viewScroll_ = layout::ScrollIntoView(layout, elementScrolls_, target, alignToTop, viewScroll_,
                                       {viewWidth_, viewHeight_});
}

// The selection and the scroll request keep the positions they were made with; after the
// document changed they are clamped into the current model.
std::optional<text::Span> Document::SelectionUnits() {
  const auto& model = Model();
  if (!selection_) return std::nullopt;
  return text::Span{std::min(selection_->first, model.Length()),
                    std::min(selection_->second, model.Length())};
}

std::optional<Document::TextSpan> Document::SelectionInBodyText() {
  auto units = SelectionUnits();
  if (!units) return std::nullopt;
  return TextSpan{Model().TextOffset(units->start), Model().TextOffset(units->end)};
}

std::u16string Document::SelectedText() {
  auto units = SelectionUnits();
  return units ? Model().Text(units->start, units->end) : std::u16string();
}

std::optional<Document::ScrollRequest> Document::LastScrollRequest() {
  const auto& model = Model();
  if (!scroll_) return std::nullopt;
  int32_t start = std::min(scroll_->start, model.Length());
  int32_t end = std::min(scroll_->end, model.Length());
  return ScrollRequest{
      {model.TextOffset(start), model.TextOffset(end)}, scroll_->alignToTop, scroll_->serial, {start, end}};
}

int Document::Observe(std::function<void()> onSelectionOrScroll) {
  CheckUsable();
  int token = nextObserver_++;
  observers_[token] = std::move(onSelectionOrScroll);
  return token;
}

void Document::Unobserve(int token) {
  observers_.erase(token);
}

void Document::Notify() {
  // A listener may unsubscribe (or subscribe) while being told.
  std::vector<std::function<void()>> listeners;
  listeners.reserve(observers_.size());
  for (auto& [token, listener] : observers_) listeners.push_back(listener);
  for (auto& listener : listeners) listener();
}

void Document::InvalidateLayout() {
  layout_.reset();
  index_.reset();
}

void Document::SetFontMetrics(std::shared_ptr<layout::FontMetrics> metrics) {
  CheckUsable();
  metrics_ = std::move(metrics);
  InvalidateLayout();
}

void Document::SetViewSize(float widthPx, float heightPx) {
  CheckUsable();
  widthPx = std::max(widthPx, 0.0F);
  heightPx = std::max(heightPx, 0.0F);
  if (widthPx == viewWidth_ && heightPx == viewHeight_) return;
  css::MediaView before{viewWidth_, viewHeight_};
  viewWidth_ = widthPx;
  viewHeight_ = heightPx;
  if (styles_ && viewDependence_.Differs(before, {viewWidth_, viewHeight_})) RestyleForView();
  InvalidateLayout();
}

// A media query's answer or a viewport unit changed with the view. The text model is built again
// only when what it reads changed, so that the positions a reading holds outlive a resize.
void Document::RestyleForView() {
  auto styles = css::ResolveStyles(tree_, {viewWidth_, viewHeight_}, &viewDependence_);
  bool textChanged = false;
  for (size_t i = 0; i < styles.size() && !textChanged; ++i) {
    const css::ComputedStyle& was = (*styles_)[i];
    textChanged = styles[i].display != was.display || styles[i].visibility != was.visibility ||
                  styles[i].whiteSpace != was.whiteSpace;
  }
  styles_ = std::move(styles);
  if (!textChanged) return;
  ++version_;
  model_.reset();
  bodyText_.reset();
}

const layout::LayoutTree& Document::Layout() {
  CheckUsable();
  if (layout_) return *layout_;
  if (!metrics_) metrics_ = std::make_shared<layout::FixedFontMetrics>();
  const auto& styles = Styles();
  layout::LayoutInput input{
      tree_,
      styles,
      Model(),
      *metrics_,
      viewWidth_,
      viewHeight_,
      topMargin_ ? std::optional<float>(static_cast<float>(*topMargin_)) : std::nullopt,
      leftMargin_ ? std::optional<float>(static_cast<float>(*leftMargin_)) : std::nullopt};
  layout_ = layout::LayOut(input);
  ++layoutCount_;
  elementScrolls_.ClampAll(*layout_);
  layout::Rect extent = ScrollExtent();
  viewScroll_.x = std::clamp(viewScroll_.x, 0.0F, std::max(0.0F, extent.w - viewWidth_));
  viewScroll_.y = std::clamp(viewScroll_.y, 0.0F, std::max(0.0F, extent.h - viewHeight_));
  SizeFrames(*layout_);
  return *layout_;
}

const layout::GeometryIndex& Document::Index() {
  const auto& layout = Layout();
  if (!index_) index_ = std::make_shared<layout::GeometryIndex>(layout);
  return *index_;
}

// Every frame's page is laid out in a view of the frame's content box.
void Document::SizeFrames(const layout::LayoutTree& layout) {
  for (auto& [node, frame] : frames_) {
    int32_t box = layout.FirstBoxOf(node);
    if (box < 0 || !frame || frame.get() == this || frame->Discarded()) continue;
    layout::Rect content = layout.boxes[static_cast<size_t>(box)].ContentBox();
    frame->SetViewSize(content.w, content.h);
  }
}

layout::Rect Document::ScrollExtent() {
  layout::Rect canvas = layout_ ? layout_->Canvas() : Layout().Canvas();
  return {0, 0, std::max(canvas.Right(), viewWidth_), std::max(canvas.Bottom(), viewHeight_)};
}

layout::Point Document::ViewScroll() {
  CheckUsable();
  return viewScroll_;
}

void Document::SetViewScroll(float x, float y) {
  layout::Rect extent = ScrollExtent();
  viewScroll_ = {std::clamp(x, 0.0F, std::max(0.0F, extent.w - viewWidth_)),
                 std::clamp(y, 0.0F, std::max(0.0F, extent.h - viewHeight_))};
  Notify();
}

layout::Point Document::ElementScroll(NodeId element) {
  Layout();
  return elementScrolls_.Of(element);
}

void Document::SetElementScroll(NodeId element, float x, float y) {
  const auto& layout = Layout();
  int32_t box = layout.FirstBoxOf(element);
  if (box < 0 || !layout.boxes[static_cast<size_t>(box)].scrollContainer) return;
  elementScrolls_.Set(element,
                      layout::ScrollOffsets::Clamped(layout.boxes[static_cast<size_t>(box)], {x, y}));
}

std::vector<layout::Rect> Document::RangeRects(int32_t startUnit, int32_t endUnit) {
  const auto& layout = Layout();
  layout::RangeGeometry geometry(layout, Index(), *metrics_);
  return geometry.Rects(startUnit, endUnit, elementScrolls_);
}

layout::DisplayList Document::Paint(const layout::Rect& area, const layout::SelectionColors& colors) {
  const auto& layout = Layout();
  auto paintFrame = [&](NodeId frame, const layout::Rect& contentBox, const layout::Rect& frameArea,
                        layout::DisplayList& out) { PaintFrame(frame, contentBox, frameArea, colors, out); };
  layout::PaintInput input{layout,          Index(),          tree_,  Styles(),  *metrics_,
                           elementScrolls_, SelectionUnits(), colors, paintFrame};
  struct Painting {
    bool& flag;
    explicit Painting(bool& f) : flag(f) { flag = true; }
    ~Painting() { flag = false; }
  } painting(painting_);
  return layout::DisplayListBuilder(input).Build(area);
}

// A frame's page painted into the frame's content box: its items moved from its own page
// coordinates (less its own scroll offsets) to ours, clipped to the box.
void Document::PaintFrame(NodeId frame, const layout::Rect& contentBox, const layout::Rect& area,
                          const layout::SelectionColors& colors, layout::DisplayList& out) {
  auto inner = FrameDocument(frame);
  if (!inner || inner->Discarded() || inner->painting_ || inner.get() == this) return;
  layout::Point scroll = inner->ViewScroll();
  float dx = contentBox.x - scroll.x;
  float dy = contentBox.y - scroll.y;
  layout::Rect innerArea = area.Translated(-dx, -dy);
  layout::DisplayList list = inner->Paint(innerArea, colors);
  out.items.emplace_back(layout::PushClipItem{contentBox});
  out.items.emplace_back(layout::FillRectItem{contentBox, list.canvas});
  for (auto& item : list.items) out.items.push_back(layout::Translated(std::move(item), dx, dy));
  out.items.emplace_back(layout::PopClipItem{});
}

std::string Document::DumpDisplayList(const layout::DisplayList& list) {
  return layout::DumpDisplayList(list);
}

}  // namespace lectryn::engine
