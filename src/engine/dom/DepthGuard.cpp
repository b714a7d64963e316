#include "engine/dom/DepthGuard.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <vector>

#include "engine/dom/Tree.h"

namespace lectryn::engine::dom {
namespace {

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == ':';
}

std::string LowerName(std::string_view markup, size_t begin, size_t end) {
  std::string name(markup.substr(begin, end - begin));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// Elements whose end is implied by their siblings or that never nest by themselves: counting
// them would overestimate the depth of ordinary pages.
bool IsCounted(const std::string& name) {
  if (name == "html" || name == "head" || name == "body" || name == "p" || name == "li" || name == "dt" ||
      name == "dd" || name == "option" || name == "optgroup" || name == "tr" || name == "td" ||
      name == "th" || name == "tbody" || name == "thead" || name == "tfoot" || name == "colgroup") {
    return false;
  }
  return (TagFlags(name) & kTagVoid) == 0;
}

// The tree builder re-opens these after every paragraph that closed them (the list of active
// formatting elements), so many of them open at once multiply the nodes of the page.
bool IsFormatting(const std::string& name) {
  return name == "a" || name == "b" || name == "big" || name == "code" || name == "em" || name == "font" ||
         name == "i" || name == "nobr" || name == "s" || name == "small" || name == "strike" ||
         name == "strong" || name == "tt" || name == "u";
}

// Content of these is text up to the matching end tag.
bool IsRawText(const std::string& name) {
  return name == "script" || name == "style" || name == "xmp" || name == "textarea" || name == "title";
}

size_t FindCaseInsensitive(std::string_view haystack, std::string_view needle, size_t from) {
  auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(std::min(from, haystack.size())),
                        haystack.end(), needle.begin(), needle.end(), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                        });
  return it == haystack.end() ? std::string_view::npos : static_cast<size_t>(it - haystack.begin());
}

}  // namespace

bool LimitNesting(std::string_view markup, std::string& out, size_t maxDepth) {
  struct Open {
    std::string name;
    bool foreign;  // svg or math content: "/>" closes
    bool formatting;
  };
  std::vector<Open> open;
  size_t formattingOpen = 0;
  std::unordered_map<std::string, size_t> dropped;  // start tags left out, by name
  std::vector<std::pair<size_t, size_t>> cuts;      // byte ranges to leave out
  const size_t size = markup.size();
  size_t i = 0;
  while (i < size) {
    size_t lt = markup.find('<', i);
    if (lt == std::string_view::npos || lt + 1 >= size) break;
    char c = markup[lt + 1];
    if (c == '!') {
      if (markup.substr(lt, 4) == "<!--") {
        size_t close = markup.find("-->", lt + 4);
        if (close == std::string_view::npos) break;
        i = close + 3;
      } else {
        size_t close = markup.find('>', lt + 2);
        if (close == std::string_view::npos) break;
        i = close + 1;
      }
      continue;
    }
    bool endTag = c == '/';
    size_t nameBegin = lt + (endTag ? 2 : 1);
    if (nameBegin >= size || std::isalpha(static_cast<unsigned char>(markup[nameBegin])) == 0) {
      i = lt + 1;
      continue;
    }
    size_t nameEnd = nameBegin;
    while (nameEnd < size && IsNameChar(markup[nameEnd])) ++nameEnd;
    // The tag ends at the next '>' outside quoted attribute values.
    size_t gt = nameEnd;
    char quote = 0;
    for (; gt < size; ++gt) {
      char ch = markup[gt];
      if (quote != 0) {
        if (ch == quote) quote = 0;
      } else if (ch == '"' || ch == '\'') {
        quote = ch;
      } else if (ch == '>') {
        break;
      }
    }
    if (gt >= size) break;
    std::string name = LowerName(markup, nameBegin, nameEnd);
    bool selfClosing = gt > nameEnd && markup[gt - 1] == '/';
    i = gt + 1;
    if (endTag) {
      auto drop = dropped.find(name);
      if (drop != dropped.end() && drop->second > 0) {
        --drop->second;
        cuts.emplace_back(lt, gt + 1);
        continue;
      }
      // Misnested end tags close only an element near the top, as the tree builder mostly does.
      size_t limit = std::min<size_t>(open.size(), 16);
      for (size_t k = 0; k < limit; ++k) {
        if (open[open.size() - 1 - k].name == name) {
          for (size_t drop = 0; drop <= k; ++drop) {
            if (open.back().formatting) --formattingOpen;
            open.pop_back();
          }
          break;
        }
      }
      continue;
    }
    if (name == "plaintext") break;
    if (IsRawText(name)) {
      size_t close = FindCaseInsensitive(markup, "</" + name, i);
      if (close == std::string_view::npos) break;
      i = close;
      continue;
    }
    bool foreign = (!open.empty() && open.back().foreign) || name == "svg" || name == "math";
    if (!IsCounted(name) || (selfClosing && foreign)) continue;
    bool formatting = IsFormatting(name);
    if (open.size() >= maxDepth || (formatting && formattingOpen >= kMaxOpenFormatting)) {
      ++dropped[name];
      cuts.emplace_back(lt, gt + 1);
      continue;
    }
    if (formatting) ++formattingOpen;
    open.push_back({std::move(name), foreign, formatting});
  }
  if (cuts.empty()) return false;
  out.clear();
  out.reserve(size);
  size_t from = 0;
  for (const auto& [begin, end] : cuts) {
    out.append(markup.substr(from, begin - from));
    from = end;
  }
  out.append(markup.substr(from));
  return true;
}

}  // namespace lectryn::engine::dom
