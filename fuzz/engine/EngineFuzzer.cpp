// Arbitrary bytes through the parser, the text model and the range operations. The first bytes
// steer the operations; the rest is the page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/Document.h"
#include "engine/TextRange.h"
#include "platform/Failure.h"
#include "platform/Text.h"

using lectryn::engine::Document;
using lectryn::engine::TextRange;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const uint8_t* steer = data;
  std::string_view page(reinterpret_cast<const char*>(data + 8), size - 8);
  auto document = Document::Parse(page, u"fuzz:page");
  try {
    if ((steer[0] & 1) != 0) {
      document->body()->insertAdjacentHTML(u"afterbegin",
                                           lectryn::platform::FromUtf8(page.substr(0, page.size() / 2)));
    }
    auto body = document->body();
    auto range = body->createTextRange();
    auto other = range->duplicate();
    const char16_t* units[] = {u"character", u"word", u"sentence", u"textedit"};
    for (size_t i = 1; i < 8; ++i) {
      int32_t count = static_cast<int8_t>(steer[i]);
      const char16_t* unit = units[steer[i] & 3];
      switch (steer[i] % 11) {
        case 0:
          range->moveStart(unit, count);
          break;
        case 1:
          range->moveEnd(unit, count);
          break;
        case 2:
          range->move(unit, count);
          break;
        case 3:
          range->moveToElementText(*range->parentElement());
          break;
        case 4:
          range->findText(std::u16string(1, static_cast<char16_t>('a' + steer[i] % 26)), count % 2,
                          steer[i] & 6);
          break;
        case 5:
          range->setEndPoint(u"EndToStart", *other);
          break;
        case 6:
          range->compareEndPoints(u"StartToEnd", *other);
          break;
        case 7:
          range->htmlText();
          break;
        case 8:
          range->text();
          range->parentElement()->innerText();
          break;
        case 9:
          range->execCommand(u"SELECTALL", false);
          document->SelectionInBodyText();
          break;
        default:
          other = range->duplicate();
          range->collapse((count & 1) != 0);
          break;
      }
    }
  } catch (const lectryn::platform::Failure&) {
    // Failures are answers, not faults.
  }
  return 0;
}
