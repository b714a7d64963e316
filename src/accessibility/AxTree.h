#pragma once
// Another program's web page as its accessible objects show it: a plain tree read once (the
// snapshot) and the live calls that geometry, selection and scrolling need. The tree is read and
// the live calls are made by whoever talks to that program (the accessibility bus, or a fake in
// tests); page documents are built from the tree alone.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Failure.h"

namespace lectryn::accessibility {

// A live accessible object of the other program, as the bridge knows it; 0 is none. Keys stay
// valid for the bridge's lifetime (the object itself may be gone: calls on it then fail).
using AxRef = int64_t;

enum class AxRole {
  Other,  // anything else: its text and children count, it makes no element of its own
  Document,
  Section,  // section, panel, article, form, landmark, block quote and the like
  Paragraph,
  Heading,
  List,
  ListItem,
  Table,
  Row,
  Cell,  // table cell, column or row header
  Link,
  Text,      // a plain text leaf (static text)
  Password,  // a password field: never read
  Frame,     // an embedded document (internal frame)
};

struct AxNode {
  AxRef ref = 0;
  AxRole role = AxRole::Other;
  int32_t level = 0;  // headings: 1 to 6
  // The text interface's whole text, UTF-16, with U+FFFC where an embedded child sits; empty
  // (and hasText false) for objects without a text interface.
  bool hasText = false;
  std::u16string text;
  // For each U+FFFC in text, in order: the index in children of the object it stands for (the
  // hypertext link's object), or -1 when the program did not say.
  std::vector<int32_t> embedded;
  // The language the program gives the object's text, a BCP 47 tag; empty when it does not say.
  std::u16string language;
  bool hidden = false;       // not visible, or only off screen: left out with its subtree
  bool isProtected = false;  // protected content (passwords): left out, never read
  std::vector<AxNode> children;
};

// Screen pixels.
struct AxExtents {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The live side. Every call may throw platform::Failure: the object is gone, the program did not
// answer within the bounded wait, or the bus is gone.
class AxBridge {
 public:
  virtual ~AxBridge() = default;
  // The chain of objects under a screen point inside the document, deepest first, ending at the
  // document's own object; empty when the point is outside it.
  virtual std::vector<AxRef> ObjectsAtPoint(int32_t screenX, int32_t screenY) = 0;
  virtual AxExtents Extents(AxRef object) = 0;
  // Character offsets count characters of the object's text as the program reports them (code
  // points, including any U+FEFF the program inserts).
  virtual void Select(AxRef object, int32_t startOffset, int32_t endOffset) = 0;
  // Scrolls the page so that the substring's top-left is at the view's top-left.
  virtual void ScrollTo(AxRef object, int32_t startOffset, int32_t endOffset) = 0;
  // True while the page is busy loading.
  virtual bool Busy() = 0;
  virtual std::u16string Url() = 0;
};

}  // namespace lectryn::accessibility
