#pragma once
// The caption a push button shows: the layout draws it and the text model reads it.
#include <string>

#include "engine/dom/Tree.h"

namespace lectryn::engine::dom {

// A button input's kind; Other for every other element.
enum class PushButton : uint8_t { Other, Submit, Reset, Button };
PushButton PushButtonOf(const Tree& tree, NodeId node);

// A <button>'s text as written, a button input's value or its type's default caption ("Submit",
// "Reset"), at most 1000 units; empty for every other element.
std::u16string ControlLabel(const Tree& tree, NodeId node);

}  // namespace lectryn::engine::dom
