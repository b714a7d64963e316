#pragma once
// An element of a BrowserDocument: text and names from the snapshot's engine element, the box
// from the browser (its object's extents in the window's client coordinates).
#include <chrono>
#include <memory>
#include <optional>

#include "accessibility/BrowserDocument.h"
#include "engine/Element.h"

namespace lectryn::accessibility {

class BrowserElement : public platform::IHTMLElement {
 public:
  BrowserElement(std::shared_ptr<BrowserDocument> document, std::shared_ptr<engine::Element> element);

  // Fails once the document is discarded.
  engine::Element& Engine();
  const BrowserDocument* OwnerDocument() const { return document_.get(); }

  std::u16string nodeName() override;
  std::u16string id() override;
  std::u16string innerText() override;
  std::u16string language() override;

  int32_t offsetLeft() override;
  int32_t offsetTop() override;
  int32_t offsetWidth() override;
  int32_t offsetHeight() override;
  platform::ElementPtr offsetParent() override;  // Nothing: offsets are already page coordinates
  int32_t clientLeft() override;
  int32_t clientTop() override;
  int32_t scrollTop() override;  // 0: the extents move with the browser's scrolling
  int32_t scrollLeft() override;

  std::shared_ptr<platform::IHTMLWindow2> contentWindow() override;

  platform::TxtRangePtr createTextRange() override;
  // The browser's page is not ours to change: these fail.
  void insertAdjacentHTML(const std::u16string& where, const std::u16string& html) override;
  void put_topMargin(int32_t pixels) override;
  void put_leftMargin(int32_t pixels) override;

 private:
  AxExtents Extents();  // of the element's object, on screen

  std::shared_ptr<BrowserDocument> document_;
  std::shared_ptr<const PageSnapshot> snapshot_;  // the one element_ belongs to
  std::shared_ptr<engine::Element> element_;
  // The picker asks for the four offsets one after the other: the browser is asked once.
  static constexpr std::chrono::milliseconds kExtentsKept{20};
  std::optional<AxExtents> extents_;
  std::chrono::steady_clock::time_point extentsAt_;
};

}  // namespace lectryn::accessibility
