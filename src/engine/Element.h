#pragma once
// An element of an engine document, as the page contracts see it. Handles are cheap: two handles
// of the same node are the same element.
#include <memory>

#include "engine/Document.h"
#include "engine/layout/ElementGeometry.h"
#include "platform/Page.h"

namespace lectryn::engine {

class Element : public platform::IHTMLElement {
 public:
  Element(std::shared_ptr<Document> document, dom::NodeId node)
      : document_(std::move(document)), node_(node) {}

  dom::NodeId Node() const { return node_; }
  const std::shared_ptr<Document>& OwnerDocument() const { return document_; }

  std::u16string nodeName() override;
  std::u16string id() override;
  std::u16string innerText() override;
  std::u16string language() override;

  int32_t offsetLeft() override;
  int32_t offsetTop() override;
  int32_t offsetWidth() override;
  int32_t offsetHeight() override;
  platform::ElementPtr offsetParent() override;
  int32_t clientLeft() override;
  int32_t clientTop() override;
  int32_t scrollTop() override;
  int32_t scrollLeft() override;

  std::shared_ptr<platform::IHTMLWindow2> contentWindow() override;

  platform::TxtRangePtr createTextRange() override;
  void insertAdjacentHTML(const std::u16string& where, const std::u16string& html) override;
  void put_topMargin(int32_t pixels) override;
  void put_leftMargin(int32_t pixels) override;

 private:
  const dom::Node& Checked() const;
  void RequireBody(const char* operation) const;
  layout::ElementGeometry Geometry() const;  // over the document's current layout
  layout::Point ScrollOffsets();

  std::shared_ptr<Document> document_;
  dom::NodeId node_;
};

}  // namespace lectryn::engine
