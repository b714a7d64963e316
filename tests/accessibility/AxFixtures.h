#pragma once
// Trees as browsers show them on the bus, a bridge that records what it is asked, and dumps of
// snapshots: "<ref:offset>" marks where the text's origin jumps (another object, or a gap in the
// offsets); a break between blocks is "\n" and has none.
#include <map>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/PageSnapshot.h"

namespace lectryn::accessibility::testing {

// An object with a text (UTF-8 here; "*" stands for U+FFFC) and the children standing in it.
AxNode Texted(AxRole role, AxRef ref, const std::string& text, std::vector<int32_t> embedded = {},
              std::vector<AxNode> children = {});
// An object without a text interface.
AxNode Box(AxRole role, AxRef ref, std::vector<AxNode> children);
AxNode Hidden(AxNode node);

// Chromium's paragraph "<before><link><after>": the link embedded, static leaves repeating
// the paragraph's own text. Refs: paragraph `ref`, link ref + 1, its leaf ref + 2, the
// paragraph's leaves ref + 3 and ref + 4.
AxNode ChromiumParagraph(AxRef ref, const std::string& before, const std::string& link,
                         const std::string& after);

std::string Origins(const PageSnapshot& snapshot);
// The body's elements: "body#1(p#2(a#3) table#4(tbody(tr#5(td#6))))"; "#ref" only where one is known.
std::string Elements(const PageSnapshot& snapshot);

class FakeBridge : public AxBridge {
 public:
  struct Call {
    AxRef object;
    int32_t start;
    int32_t end;
    bool operator==(const Call&) const = default;
  };

  std::vector<AxRef> ObjectsAtPoint(int32_t screenX, int32_t screenY) override;
  AxExtents Extents(AxRef object) override;
  void Select(AxRef object, int32_t startOffset, int32_t endOffset) override;
  void ScrollTo(AxRef object, int32_t startOffset, int32_t endOffset) override;
  bool Busy() override;
  std::u16string Url() override;

  std::map<std::pair<int32_t, int32_t>, std::vector<AxRef>> chains;  // by screen point
  std::map<AxRef, AxExtents> extents;
  std::vector<Call> selects;
  std::vector<Call> scrolls;
  bool busy = false;
  std::u16string url = u"https://example.test/";
  bool failing = false;  // every call throws platform::Failure
};

}  // namespace lectryn::accessibility::testing
