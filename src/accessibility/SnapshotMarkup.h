#pragma once
// Another program's page tree written as markup for our engine's parser, with the origin of every
// character. The markup is built so that the HTML tree builder keeps it as written (no element
// closed early, nothing moved out of a table), and its text nodes, in document order, hold exactly
// `text`: that is what lets the snapshot find each unit's origin after parsing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "accessibility/AxTree.h"

namespace lectryn::accessibility {

// Where a character of the page's text came from: the object whose text it is, and the offset in
// that object's text, in characters (code points, counting U+FEFF) as the program reports them.
struct TextOrigin {
  AxRef object = 0;  // 0: no object (a line break between blocks)
  int32_t offset = -1;
};

// The attribute that carries an element's index into SnapshotMarkup::elementRefs.
inline constexpr std::string_view kIndexAttribute = "data-lectryn-ax";

struct SnapshotMarkup {
  std::string html;                     // UTF-8, a whole document
  std::vector<AxRef> elementRefs;       // by index attribute; index 0 is the body
  std::u16string text;                  // the text nodes' content, concatenated in document order
  std::vector<TextOrigin> textOrigins;  // one per UTF-16 unit of `text`
};

SnapshotMarkup WriteSnapshotMarkup(const AxNode& document);

}  // namespace lectryn::accessibility
