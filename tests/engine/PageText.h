#pragma once
// Helpers for engine tests: pages from markup, and ranges written and read as the page's story
// with markers. In a story, a BREAK is "\n" and an OBJECT is "*"; "[" and "]" mark a range's
// start and end, "|" an empty range.
#include <memory>
#include <string>
#include <string_view>

#include "engine/Document.h"
#include "engine/TextRange.h"

namespace lectryn::engine::testing {

std::shared_ptr<Document> Page(std::string_view html);
// The body text with "\r\n" shown as "\n".
std::string BodyText(Document& document);
// Every unit of the body once: characters, "\n" for BREAK, "*" for OBJECT.
std::string Story(Document& document);
// A range placed by the markers of a marked story of the document.
std::shared_ptr<TextRange> RangeAt(const std::shared_ptr<Document>& document, std::string_view markedStory);
// The document's story with the range's markers.
std::string Marked(TextRange& range);
std::string Marked(platform::IHTMLTxtRange& range);

}  // namespace lectryn::engine::testing
