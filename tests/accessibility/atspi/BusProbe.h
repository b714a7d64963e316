#pragma once
// Looks at browsers on the accessibility bus from the outside, for the tests and lectryn-ax.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/Session.h"

namespace lectryn::accessibility::atspi::probe {

struct ShownDocument {
  int32_t pid = 0;
  BusObject document;
  std::string name;   // the page's title
  bool busy = false;  // still loading
};

// Every program's showing web documents.
std::vector<ShownDocument> ShowingDocuments(Session& session);

struct TextSelection {
  std::string path;
  int32_t startOffset = 0;  // characters of the object's text
  int32_t endOffset = 0;
  std::u16string text;
};

// The text selections of the document's objects, in tree order.
std::vector<TextSelection> Selections(Session& session, const BusObject& document);

// The first object, breadth first, of program pid (of any program when pid is 0) whose text starts
// with prefix (UTF-8); nullopt when none does.
std::optional<BusObject> TextObject(Session& session, int32_t pid, const std::string& prefix);

// The tree as indented lines: role, level, flags, text in brackets ('*' for U+FFFC), embedded.
std::string Dump(const AxNode& node);
// The words a reader would get: the texts of shown, unprotected objects, in tree order.
std::u16string ShownText(const AxNode& node);

}  // namespace lectryn::accessibility::atspi::probe
