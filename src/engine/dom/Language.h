#pragma once
// The language markup declares for an element.
#include <optional>
#include <string>
#include <string_view>

#include "engine/dom/Tree.h"

namespace lectryn::engine::dom {

// The first tag of a language list ("de-DE, en" gives "de-DE"), without the white space around it.
std::u16string FirstLanguageTag(std::u16string_view list);

// The language an element's own xml:lang or lang attribute gives (xml:lang wins); an empty tag
// says the language is unknown. Nothing when the element declares none and inherits its parent's.
std::optional<std::u16string> DeclaredLanguage(const Tree& tree, NodeId element);

}  // namespace lectryn::engine::dom
