#include "engine/Element.h"

#include <string>

#include "engine/TextRange.h"
#include "engine/layout/ElementGeometry.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

// The window of a frame element: its document, when the loader attached one.
class FrameWindow : public platform::IHTMLWindow2 {
 public:
  FrameWindow(std::shared_ptr<Document> owner, dom::NodeId frame) : owner_(std::move(owner)), frame_(frame) {}
  platform::DocumentPtr document() override {
    owner_->CheckUsable();
    auto document = owner_->FrameDocument(frame_);
    if (!document) {
      throw platform::Failure(
          "cannot read the document of the frame: it is not loaded or comes from another site");
    }
    document->CheckUsable();
    return document;
  }

 private:
  std::shared_ptr<Document> owner_;
  dom::NodeId frame_;
};

std::u16string Upper(const std::string& lower) {
  std::u16string result;
  result.reserve(lower.size());
  for (char c : lower)
    result.push_back(
        static_cast<char16_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : static_cast<unsigned char>(c)));
  return result;
}

}  // namespace

const dom::Node& Element::Checked() const {
  document_->CheckUsable();
  return document_->Tree()[node_];
}

void Element::RequireBody(const char* operation) const {
  if (!Checked().Has(dom::kTagBody) && !Checked().Has(dom::kTagFrameset)) {
    throw platform::Failure(std::string(operation) + " works only on the body element, not on " +
                            platform::ToUtf8(Upper(Checked().name)) + "; call it on document.body");
  }
}

layout::ElementGeometry Element::Geometry() const {
  Checked();
  return layout::ElementGeometry(document_->Layout(), document_->Tree(), document_->Styles());
}

std::u16string Element::nodeName() {
  return Upper(Checked().name);
}

std::u16string Element::id() {
  Checked();
  const auto* value = document_->Tree().AttributeValue(node_, "id");
  return value == nullptr ? std::u16string() : *value;
}

std::u16string Element::language() {
  Checked();
  return document_->LanguageOf(node_);
}

std::u16string Element::innerText() {
  Checked();
  return document_->InnerText(node_);
}

int32_t Element::offsetLeft() {
  return Geometry().Offsets(node_).left;
}
int32_t Element::offsetTop() {
  return Geometry().Offsets(node_).top;
}
int32_t Element::offsetWidth() {
  return Geometry().Offsets(node_).width;
}
int32_t Element::offsetHeight() {
  return Geometry().Offsets(node_).height;
}
platform::ElementPtr Element::offsetParent() {
  return document_->ElementFor(Geometry().OffsetParent(node_));
}
int32_t Element::clientLeft() {
  return Geometry().ClientLeft(node_);
}
int32_t Element::clientTop() {
  return Geometry().ClientTop(node_);
}

// BODY and HTML both answer the view's offsets: older pages read them from one, newer from the other.
layout::Point Element::ScrollOffsets() {
  const auto& node = Checked();
  if (node.Has(dom::kTagBody) || node_ == document_->Tree().HtmlElement()) return document_->ViewScroll();
  return Geometry().IsScrollContainer(node_) ? document_->ElementScroll(node_) : layout::Point{};
}
int32_t Element::scrollTop() {
  return layout::RoundPixels(ScrollOffsets().y);
}
int32_t Element::scrollLeft() {
  return layout::RoundPixels(ScrollOffsets().x);
}

std::shared_ptr<platform::IHTMLWindow2> Element::contentWindow() {
  if (!Checked().Has(dom::kTagFrame)) {
    throw platform::Failure("contentWindow exists only on FRAME and IFRAME elements, not on " +
                            platform::ToUtf8(Upper(Checked().name)));
  }
  return std::make_shared<FrameWindow>(document_, node_);
}

platform::TxtRangePtr Element::createTextRange() {
  RequireBody("createTextRange");
  const auto& model = document_->Model();
  return std::make_shared<TextRange>(document_, 0, model.Length());
}

void Element::insertAdjacentHTML(const std::u16string& where, const std::u16string& html) {
  RequireBody("insertAdjacentHTML");
  document_->InsertAdjacentHtml(node_, where, html);
}

void Element::put_topMargin(int32_t pixels) {
  RequireBody("topMargin");
  document_->SetMargins(pixels, std::nullopt);
}

void Element::put_leftMargin(int32_t pixels) {
  RequireBody("leftMargin");
  document_->SetMargins(std::nullopt, pixels);
}

}  // namespace lectryn::engine
