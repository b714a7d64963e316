#include "engine/Document.h"

#include <algorithm>
#include <utility>

#include "engine/Element.h"
#include "engine/dom/HtmlParser.h"
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

platform::ElementPtr Document::elementFromPoint(int32_t, int32_t) {
  CheckUsable();
  throw platform::Failure("cannot find the element at a point: this page engine has no layout yet");
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
  if (!styles_) styles_ = css::ResolveStyles(tree_);
  return *styles_;
}

const text::TextModel& Document::Model() {
  CheckUsable();
  if (!model_) {
    NodeId root = tree_.Body();
    if (root == kNoNode) root = tree_.HtmlElement();
    if (root == kNoNode) root = tree_.Root();
    model_ = text::TextModel::Build(tree_, Styles(), root);
  }
  return *model_;
}

std::u16string Document::BodyText() {
  const auto& model = Model();
  if (!bodyText_) bodyText_ = model.Text(0, model.Length());
  return *bodyText_;
}

std::u16string Document::InnerText(NodeId element) {
  const auto& model = Model();
  text::Span span = model.SpanOf(element);
  if (span.start >= 0 && tree_.IsInclusiveAncestor(model.Root(), element) && IsRendered(element)) {
    return model.Text(span.start, span.end);
  }
  if (tree_.IsInclusiveAncestor(element, model.Root()) && element != tree_.Root()) {
    // The root element and other ancestors of the body: the body's text.
    if (!tree_[element].Has(dom::kTagFrameset)) return BodyText();
  }
  // Not rendered (or an object): its own subtree by the same rules.
  auto own = text::TextModel::Build(tree_, Styles(), element);
  return own.Text(0, own.Length());
}

bool Document::IsRendered(NodeId element) {
  const auto& styles = Styles();
  for (NodeId node = element; node != kNoNode; node = tree_[node].parent) {
    if (!tree_[node].IsElement()) continue;
    if (styles[static_cast<size_t>(node)].display == css::Display::None) return false;
    if (tree_[node].Has(dom::kTagNotRendered)) return false;
    if (tree_[node].Has(dom::kTagObject)) return false;  // its content is not the page's text
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
}

void Document::SetMargins(std::optional<int32_t> topPixels, std::optional<int32_t> leftPixels) {
  CheckUsable();
  if (topPixels) topMargin_ = *topPixels;
  if (leftPixels) leftMargin_ = *leftPixels;
}

void Document::SetSelection(int32_t start, int32_t end) {
  CheckUsable();
  selection_ = std::make_pair(start, end);
  Notify();
}

void Document::RequestScroll(int32_t start, int32_t end, bool alignToTop) {
  CheckUsable();
  scroll_ = Scroll{start, end, alignToTop, ++scrollSerial_};
  Notify();
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

}  // namespace lectryn::engine
