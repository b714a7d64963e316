#include "PageText.h"

#include <stdexcept>

#include "platform/Text.h"

namespace lectryn::engine::testing {

std::shared_ptr<Document> Page(std::string_view html) {
  return Document::Parse(html, u"test:page");
}

std::string BodyText(Document& document) {
  std::string text = platform::ToUtf8(document.BodyText());
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    shown.push_back(text[i]);
  }
  return shown;
}

std::string Story(Document& document) {
  auto whole = std::dynamic_pointer_cast<TextRange>(document.body()->createTextRange());
  std::u16string story;
  for (int32_t p = 0; p < whole->End(); ++p) {
    TextRange unit(whole->OwnerDocument(), p, p + 1);
    std::u16string text = unit.text();
    story += text.empty() ? u"*" : text == u"\r\n" ? u"\n" : text;
  }
  return platform::ToUtf8(story);
}

std::shared_ptr<TextRange> RangeAt(const std::shared_ptr<Document>& document, std::string_view markedStory) {
  std::u16string marked = platform::FromUtf8(markedStory);
  int32_t start = -1;
  int32_t end = -1;
  int32_t units = 0;
  std::u16string plain;
  for (char16_t c : marked) {
    if (c == u'[')
      start = units;
    else if (c == u']')
      end = units;
    else if (c == u'|')
      start = end = units;
    else {
      ++units;
      plain.push_back(c);
    }
  }
  if (start < 0 || end < 0) throw std::invalid_argument("a marked story needs [ and ], or |");
  if (platform::ToUtf8(plain) != Story(*document)) {
    throw std::invalid_argument("the marked story does not match the page: " + Story(*document));
  }
  return std::make_shared<TextRange>(document, start, end);
}

std::string Marked(TextRange& range) {
  std::u16string story = platform::FromUtf8(Story(*range.OwnerDocument()));
  int32_t start = range.Start();
  int32_t end = range.End();
  if (start == end) return platform::ToUtf8(story.insert(static_cast<size_t>(start), u"|"));
  story.insert(static_cast<size_t>(end), u"]");
  story.insert(static_cast<size_t>(start), u"[");
  return platform::ToUtf8(story);
}

std::string Marked(platform::IHTMLTxtRange& range) {
  return Marked(dynamic_cast<TextRange&>(range));
}

}  // namespace lectryn::engine::testing
