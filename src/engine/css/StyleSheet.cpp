#include "engine/css/StyleSheet.h"

#include <cctype>

namespace lectryn::engine::css {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::string StripComments(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "/*") == 0) {
      size_t end = text.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 2;
      result.push_back(' ');
    } else {
      result.push_back(text[i++]);
    }
  }
  return result;
}

// Index just past the block that opens at text[open] == '{', or text.size() when unclosed.
size_t SkipBlock(std::string_view text, size_t open) {
  int depth = 0;
  char quote = 0;
  for (size_t i = open; i < text.size(); ++i) {
    char c = text[i];
    if (quote != 0) {
      if (c == '\\')
        ++i;
      else if (c == quote)
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth == 0) return i + 1;
    }
  }
  return text.size();
}

bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool ParseCompound(std::string_view text, Compound& compound, uint32_t& specificity) {
  size_t i = 0;
  auto ident = [&](std::string& out) {
    size_t begin = i;
    while (i < text.size() && IsIdentChar(text[i])) ++i;
    out = Lower(text.substr(begin, i - begin));
    return !out.empty();
  };
  if (i < text.size() && text[i] == '*') {
    ++i;
  } else if (i < text.size() && IsIdentChar(text[i])) {
    ident(compound.type);
    specificity += 1;
  }
  while (i < text.size()) {
    char c = text[i++];
    std::string name;
    if (c == '.' && ident(name)) {
      compound.classes.push_back(std::move(name));
      specificity += 1 << 8;
    } else if (c == '#' && ident(name)) {
      compound.id = std::move(name);
      specificity += 1 << 16;
    } else {
      return false;  // attribute, pseudo-class or combinator we do not read
    }
  }
  return true;
}

bool ParseSelector(std::string_view text, Selector& selector) {
  text = Trim(text);
  if (text.empty()) return false;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    size_t begin = i;
    while (i < text.size() && !IsSpace(text[i])) ++i;
    if (begin == i) break;
    Compound compound;
    if (!ParseCompound(text.substr(begin, i - begin), compound, selector.specificity)) return false;
    selector.compounds.push_back(std::move(compound));
  }
  return !selector.compounds.empty();
}

template <class Enum>
bool Assign(Enum& target, bool& targetImportant, Enum value, bool important) {
  if (value == Enum::Unset) return false;
  if (targetImportant && !important) return true;
  target = value;
  targetImportant = important;
  return true;
}

Display DisplayValue(const std::string& value) {
  if (value == "none") return Display::None;
  if (value == "inline") return Display::Inline;
  if (value == "block" || value == "flex" || value == "grid" || value == "flow-root") return Display::Block;
  if (value == "list-item") return Display::ListItem;
  if (value == "inline-block" || value == "inline-flex" || value == "inline-grid" || value == "inline-table")
    return Display::InlineBlock;
  if (value == "table") return Display::Table;
  if (value == "table-row") return Display::TableRow;
  if (value == "table-cell") return Display::TableCell;
  if (value.empty() || value == "inherit" || value == "initial" || value == "unset") return Display::Unset;
  return Display::Other;
}

}  // namespace

Declarations ParseDeclarations(std::string_view text) {
  Declarations result;
  std::string stripped = StripComments(text);
  std::string_view rest = stripped;
  while (!rest.empty()) {
    size_t end = 0;
    char quote = 0;
    int parens = 0;
    for (; end < rest.size(); ++end) {
      char c = rest[end];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '(') {
        ++parens;
      } else if (c == ')') {
        parens = parens > 0 ? parens - 1 : 0;
      } else if (c == ';' && parens == 0) {
        break;
      }
    }
    std::string_view declaration = rest.substr(0, end);
    rest.remove_prefix(end < rest.size() ? end + 1 : end);
    size_t colon = declaration.find(':');
    if (colon == std::string_view::npos) continue;
    std::string property = Lower(Trim(declaration.substr(0, colon)));
    std::string value = Lower(Trim(declaration.substr(colon + 1)));
    bool important = false;
    if (size_t bang = value.find('!'); bang != std::string::npos) {
      important = Trim(std::string_view(value).substr(bang + 1)) == "important";
      value = std::string(Trim(std::string_view(value).substr(0, bang)));
    }
    if (property == "display") {
      Assign(result.display, result.displayImportant, DisplayValue(value), important);
    } else if (property == "visibility") {
      Visibility v = value == "visible"                         ? Visibility::Visible
                     : value == "hidden" || value == "collapse" ? Visibility::Hidden
                                                                : Visibility::Unset;
      Assign(result.visibility, result.visibilityImportant, v, important);
    } else if (property == "white-space") {
      WhiteSpace w = value == "normal"     ? WhiteSpace::Normal
                     : value == "nowrap"   ? WhiteSpace::Nowrap
                     : value == "pre"      ? WhiteSpace::Pre
                     : value == "pre-wrap" ? WhiteSpace::PreWrap
                     : value == "pre-line" ? WhiteSpace::PreLine
                                           : WhiteSpace::Unset;
      Assign(result.whiteSpace, result.whiteSpaceImportant, w, important);
    }
  }
  return result;
}

void ParseStyleSheet(std::string_view text, std::vector<Rule>& rules, uint32_t& order) {
  std::string stripped = StripComments(text);
  std::string_view sheet = stripped;
  size_t i = 0;
  while (i < sheet.size()) {
    while (i < sheet.size() && (IsSpace(sheet[i]) || sheet[i] == ';' || sheet[i] == '}')) ++i;
    if (i >= sheet.size()) break;
    size_t open = sheet.find_first_of("{;", i);
    if (sheet[i] == '@') {
      // At-rules (media, imports, font faces) are not read; their blocks are skipped whole.
      if (open == std::string_view::npos) break;
      i = sheet[open] == ';' ? open + 1 : SkipBlock(sheet, open);
      continue;
    }
    if (open == std::string_view::npos) break;
    if (sheet[open] == ';') {
      i = open + 1;
      continue;
    }
    std::string_view prelude = sheet.substr(i, open - i);
    size_t end = SkipBlock(sheet, open);
    std::string_view body = sheet.substr(open + 1, end > open + 1 ? end - open - 2 : 0);
    if (end == sheet.size() && (sheet.empty() || sheet.back() != '}')) body = sheet.substr(open + 1);
    i = end;
    Declarations declarations = ParseDeclarations(body);
    if (declarations.Empty()) continue;
    size_t start = 0;
    while (start <= prelude.size()) {
      size_t comma = prelude.find(',', start);
      if (comma == std::string_view::npos) comma = prelude.size();
      Selector selector;
      if (ParseSelector(prelude.substr(start, comma - start), selector)) {
        rules.push_back({std::move(selector), declarations, order++});
      }
      start = comma + 1;
    }
  }
}

}  // namespace lectryn::engine::css
