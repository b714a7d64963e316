#pragma once
// Another program's page, read once through the accessibility bus, as a document of our engine:
// its text model, words, ranges and searches work as on our own pages, and every element and
// every text unit knows the object of the other program it came from, for the live calls
// (geometry, selection, scrolling) that go back to that program.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/SnapshotMarkup.h"
#include "engine/Document.h"

namespace lectryn::accessibility {

// A stretch of one object's text, in characters of that text (code points, counting U+FEFF).
struct ObjectSpan {
  AxRef object = 0;
  int32_t start = 0;
  int32_t end = 0;
};

class PageSnapshot {
 public:
  // The document object's tree: the document becomes the body; hidden and protected objects
  // and password fields are left out with everything in them.
  static PageSnapshot Build(const AxNode& document, std::u16string url);

  const std::shared_ptr<engine::Document>& Document() const { return document_; }
  AxRef DocumentRef() const { return documentRef_; }

  // The object an element came from; elements the parser added (html, head, tbody) take their
  // nearest ancestor's, the html element the document's.
  AxRef RefOf(engine::dom::NodeId element) const;
  // The element made from an object, or kNoNode when the object made none.
  engine::dom::NodeId ElementOf(AxRef object) const;

  // The origin of a unit of the document's text model; none for breaks between blocks.
  std::optional<TextOrigin> OriginOfUnit(int32_t position) const;
  // The part of units [start, end) that lies in the object of its first character: from that
  // character to the last one of the same object in the range. None when the range holds no text.
  std::optional<ObjectSpan> FirstObjectSpan(int32_t start, int32_t end) const;
  // The position in the document's text model of the object's character at offset. Where that
  // character made no text (an embedded object's U+FFFC, or past the end), the position after the
  // object's last character before it, which is where the embedded object's text begins. None
  // when the object made no text here.
  std::optional<int32_t> PositionOf(AxRef object, int32_t offset) const;
  // Units [start, end) of another snapshot of the same page (an earlier, partial one) as units of
  // this one, by where their characters came from: the range from its first character that came
  // from an object to its last; a range without such characters stands where its place is.
  std::pair<int32_t, int32_t> CarriedFrom(const PageSnapshot& other, int32_t start, int32_t end) const;
  int32_t Length() const { return static_cast<int32_t>(unitOrigins_.size()); }
  // Where scrolling to a range goes: its first object's span, or for a range without text the
  // character that follows it (else the one before it).
  std::optional<ObjectSpan> ScrollTarget(int32_t start, int32_t end) const;

 private:
  void MapElements(const SnapshotMarkup& markup);
  void MapUnits(const SnapshotMarkup& markup);

  std::shared_ptr<engine::Document> document_;
  AxRef documentRef_ = 0;
  std::vector<AxRef> refByNode_;  // by NodeId; 0 where the parser made the element
  std::unordered_map<AxRef, engine::dom::NodeId> nodeByRef_;
  std::vector<TextOrigin> unitOrigins_;  // by position in the text model
  // Each object's (offset, position) pairs in offset order; made at the first PositionOf.
  mutable std::unordered_map<AxRef, std::vector<std::pair<int32_t, int32_t>>> unitsByObject_;
};

}  // namespace lectryn::accessibility
