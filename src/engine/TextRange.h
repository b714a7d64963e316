#pragma once
// A text range of an engine document: two unit positions in the document's text model. A range
// remembers the model version it was made on; after the document changed, its positions are
// clamped into the new model.
#include <memory>

#include "engine/Document.h"
#include "platform/Page.h"

namespace lectryn::engine {

class TextRange : public platform::IHTMLTxtRange {
 public:
  // Positions are clamped into the document's current model; fails when the document is discarded.
  TextRange(std::shared_ptr<Document> document, int32_t start, int32_t end);

  // Unit positions in the document's current model.
  int32_t Start();
  int32_t End();
  const std::shared_ptr<Document>& OwnerDocument() const { return document_; }

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
  bool execCommand(const std::u16string& command, bool showUI) override;
  void select() override;
  void scrollIntoView(bool alignToTop) override;

 private:
  const text::TextModel& Sync();
  TextRange& SameDocument(platform::IHTMLTxtRange& other, const char* operation);
  dom::NodeId ParentNode(const text::TextModel& model) const;

  std::shared_ptr<Document> document_;
  int32_t start_;
  int32_t end_;
  uint64_t version_;
};

}  // namespace lectryn::engine
