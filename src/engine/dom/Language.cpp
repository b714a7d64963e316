#include "engine/dom/Language.h"

#include <algorithm>

namespace lectryn::engine::dom {

std::u16string FirstLanguageTag(std::u16string_view list) {
  list = list.substr(0, std::min(list.find(u','), list.size()));
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; };
  while (!list.empty() && blank(list.front())) list.remove_prefix(1);
  while (!list.empty() && blank(list.back())) list.remove_suffix(1);
  return std::u16string(list);
}

std::optional<std::u16string> DeclaredLanguage(const Tree& tree, NodeId element) {
  if (!tree[element].IsElement()) return std::nullopt;
  for (const char* name : {"xml:lang", "lang"})
    if (const std::u16string* value = tree.AttributeValue(element, name)) return FirstLanguageTag(*value);
  return std::nullopt;
}

}  // namespace lectryn::engine::dom
