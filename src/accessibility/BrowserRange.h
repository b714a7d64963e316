#pragma once
// A text range of a BrowserDocument: moves, text and searches are the snapshot's engine range;
// select() and scrollIntoView() also go to the browser, on the objects the range's text came from.
#include <memory>

#include "accessibility/BrowserDocument.h"
#include "engine/TextRange.h"

namespace lectryn::accessibility {

class BrowserRange : public platform::IHTMLTxtRange {
 public:
  BrowserRange(std::shared_ptr<BrowserDocument> document, std::shared_ptr<engine::TextRange> range);

  // Fails once the document is discarded.
  engine::TextRange& Engine() { return Checked(); }

  platform::TxtRangePtr duplicate() override;
  void collapse(bool toStart) override;
  int32_t move(const std::u16string& unit, int32_t count) override;
  int32_t moveStart(const std::u16string& unit, int32_t count) override;
  int32_t moveEnd(const std::u16string& unit, int32_t count) override;
  int32_t compareEndPoints(const std::u16string& how, platform::IHTMLTxtRange& other) override;
  void setEndPoint(const std::u16string& how, platform::IHTMLTxtRange& other) override;
  platform::ElementPtr parentElement() override;
  void moveToElementText(platform::IHTMLElement& element) override;
  std::u16string text() override;
  std::u16string htmlText() override;
  bool findText(const std::u16string& text, int32_t count, int32_t flags) override;
  // SELECTALL selects the range, in the browser too.
  bool execCommand(const std::u16string& command, bool showUI) override;
  // The browser has one selection per text object: a range over several objects selects from
  // its start to the end of its part in the first object. A range without text selects nothing
  // there.
  void select() override;
  // The browser scrolls the range's start to the top left of its view whatever alignToTop says.
  void scrollIntoView(bool alignToTop) override;

 private:
  BrowserRange& Mine(platform::IHTMLTxtRange& other, const char* operation);
  engine::TextRange& Checked();

  std::shared_ptr<BrowserDocument> document_;
  std::shared_ptr<const PageSnapshot> snapshot_;  // the one range_ belongs to
  std::shared_ptr<engine::TextRange> range_;
};

}  // namespace lectryn::accessibility
