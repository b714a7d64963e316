#include "engine/Element.h"

#include <string>

#include "engine/TextRange.h"
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

void Element::NeedsLayout(const char* operation) const {
  Checked();
  throw platform::Failure(std::string("cannot read ") + operation +
                          ": this page engine has no layout yet, so elements have no geometry");
}

std::u16string Element::nodeName() {
  return Upper(Checked().name);
}

std::u16string Element::id() {
  Checked();
  const auto* value = document_->Tree().AttributeValue(node_, "id");
  return value == nullptr ? std::u16string() : *value;
}

std::u16string Element::innerText() {
  Checked();
  return document_->InnerText(node_);
}

int32_t Element::offsetLeft() {
  NeedsLayout("offsetLeft");
}
int32_t Element::offsetTop() {
  NeedsLayout("offsetTop");
}
int32_t Element::offsetWidth() {
  NeedsLayout("offsetWidth");
}
int32_t Element::offsetHeight() {
  NeedsLayout("offsetHeight");
}
platform::ElementPtr Element::offsetParent() {
  NeedsLayout("offsetParent");
}
int32_t Element::clientLeft() {
  NeedsLayout("clientLeft");
}
int32_t Element::clientTop() {
  NeedsLayout("clientTop");
}
int32_t Element::scrollTop() {
  NeedsLayout("scrollTop");
}
int32_t Element::scrollLeft() {
  NeedsLayout("scrollLeft");
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
