// Every longhand, one at a time: its name is read, and an element without a declaration of it
// gets what "inherit" or "initial" would give it, as the property inherits or not.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/css/StyleBuilder.h"

namespace lectryn::engine::css {
namespace {

// For each longhand, declarations that give a parent a value other than the initial one, and
// what the child needs besides for the difference to show (a border needs a style to have a
// width, a decoration colour a decoration).
struct Sample {
  const char* parent;
  const char* child = "";
};

const std::map<std::string_view, Sample>& Samples() {
  static const std::map<std::string_view, Sample> samples{
      {"display", {"display: block"}},
      {"visibility", {"visibility: hidden"}},
      {"white-space", {"white-space: pre"}},
      {"margin-top", {"margin-top: 5px"}},
      {"margin-right", {"margin-right: 5%"}},
      {"margin-bottom", {"margin-bottom: auto"}},
      {"margin-left", {"margin-left: 2em"}},
      {"padding-top", {"padding-top: 5px"}},
      {"padding-right", {"padding-right: 5%"}},
      {"padding-bottom", {"padding-bottom: 1em"}},
      {"padding-left", {"padding-left: 7px"}},
      {"border-top-width", {"border-top-width: 7px; border-top-style: solid", "border-top-style: solid"}},
      {"border-right-width",
       {"border-right-width: 7px; border-right-style: solid", "border-right-style: solid"}},
      {"border-bottom-width",
       {"border-bottom-width: 7px; border-bottom-style: solid", "border-bottom-style: solid"}},
      {"border-left-width", {"border-left-width: 7px; border-left-style: solid", "border-left-style: solid"}},
      {"border-top-style", {"border-top-style: dashed"}},
      {"border-right-style", {"border-right-style: dotted"}},
      {"border-bottom-style", {"border-bottom-style: double"}},
      {"border-left-style", {"border-left-style: groove"}},
      {"border-top-color", {"border-top-color: red"}},
      {"border-right-color", {"border-right-color: red"}},
      {"border-bottom-color", {"border-bottom-color: red"}},
      {"border-left-color", {"border-left-color: red"}},
      {"top", {"top: 5px"}},
      {"right", {"right: 5px"}},
      {"bottom", {"bottom: 5px"}},
      {"left", {"left: 5px"}},
      {"width", {"width: 50px"}},
      {"height", {"height: 50%"}},
      {"min-width", {"min-width: 5px"}},
      {"min-height", {"min-height: 5px"}},
      {"max-width", {"max-width: 5px"}},
      {"max-height", {"max-height: 5px"}},
      {"box-sizing", {"box-sizing: border-box"}},
      {"float", {"float: left"}},
      {"clear", {"clear: both"}},
      {"position", {"position: relative"}},
      {"overflow-x", {"overflow-x: hidden"}},
      {"overflow-y", {"overflow-y: scroll"}},
      {"color", {"color: red"}},
      {"background-color", {"background-color: red"}},
      {"font-family", {"font-family: arial"}},
      {"font-size", {"font-size: 30px"}},
      {"font-weight", {"font-weight: 700"}},
      {"font-style", {"font-style: italic"}},
      {"line-height", {"line-height: 2"}},
      {"text-align", {"text-align: center"}},
      {"text-indent", {"text-indent: 5px"}},
      {"text-decoration-line", {"text-decoration-line: underline"}},
      {"text-decoration-color",
       {"text-decoration-line: underline; text-decoration-color: red", "text-decoration-line: underline"}},
      {"text-transform", {"text-transform: uppercase"}},
      {"vertical-align", {"vertical-align: top"}},
      {"list-style-type", {"list-style-type: square"}},
      {"list-style-position", {"list-style-position: inside"}},
      {"border-spacing", {"border-spacing: 4px 6px"}},
      {"border-collapse", {"border-collapse: collapse"}},
      {"overflow-wrap", {"overflow-wrap: anywhere"}},
      {"flex-direction", {"flex-direction: column"}},
      {"flex-wrap", {"flex-wrap: wrap"}},
      {"flex-grow", {"flex-grow: 2"}},
      {"flex-shrink", {"flex-shrink: 0"}},
      {"flex-basis", {"flex-basis: 10px"}},
      {"justify-content", {"justify-content: center"}},
      {"align-content", {"align-content: end"}},
      {"align-items", {"align-items: baseline"}},
      {"align-self", {"align-self: flex-end"}},
      {"row-gap", {"row-gap: 3px"}},
      {"column-gap", {"column-gap: 4%"}},
      {"order", {"order: -1"}},
      {"grid-template-columns", {"grid-template-columns: 1fr 20px"}},
      {"grid-template-rows", {"grid-template-rows: repeat(2, auto)"}},
      {"grid-template-areas", {"grid-template-areas: 'a b'"}},
      {"grid-auto-columns", {"grid-auto-columns: 30px"}},
      {"grid-auto-rows", {"grid-auto-rows: minmax(10px, auto)"}},
      {"grid-auto-flow", {"grid-auto-flow: column dense"}},
      {"grid-row-start", {"grid-row-start: 2"}},
      {"grid-column-start", {"grid-column-start: span 2"}},
      {"grid-row-end", {"grid-row-end: -1"}},
      {"grid-column-end", {"grid-column-end: main"}},
      {"justify-items", {"justify-items: center"}},
      {"justify-self", {"justify-self: end"}},
      {"border-top-left-radius", {"border-top-left-radius: 4px"}},
      {"border-top-right-radius", {"border-top-right-radius: 10%"}},
      {"border-bottom-right-radius", {"border-bottom-right-radius: 1em"}},
      {"border-bottom-left-radius", {"border-bottom-left-radius: 2px 4px"}},
      {"box-shadow", {"box-shadow: 1px 2px red"}},
  };
  return samples;
}

struct Built {
  ComputedStyle style;
  FontSizeOrigin font;
};

Built Build(const Built& parent, const DeclarationBlock& declarations, ElementRole role) {
  CascadedValues values{};
  for (const Declaration& declaration : declarations)
    values[static_cast<size_t>(declaration.property)] = &declaration.value;
  Built built;
  StyleBuilder(parent.style, parent.font, 16).Build(values, role, built.style, built.font);
  return built;
}

class CssLonghands : public ::testing::TestWithParam<size_t> {};

TEST_P(CssLonghands, InheritOrResetAsTheirTableSays) {
  auto property = static_cast<Property>(GetParam());
  std::string_view name = NameOf(property);
  auto sample = Samples().find(name);
  ASSERT_NE(Samples().end(), sample) << "no sample value for " << name;

  DeclarationBlock parentDeclarations = ParseDeclarations(sample->second.parent);
  bool declared = false;
  for (const Declaration& d : parentDeclarations) declared = declared || d.property == property;
  ASSERT_TRUE(declared) << name << " is not read by its own name";

  const Built root = Build({}, ParseDeclarations("display: block"), ElementRole::Root);
  const Built parent = Build(root, parentDeclarations, ElementRole::Other);
  auto child = [&](std::string_view keyword) {
    std::string text = sample->second.child;
    if (!keyword.empty()) text += "; " + std::string(name) + ": " + std::string(keyword);
    return Build(parent, ParseDeclarations(text), ElementRole::Other).style;
  };
  const ComputedStyle undeclared = child("");
  const ComputedStyle inherited = child("inherit");
  const ComputedStyle initial = child("initial");
  ASSERT_FALSE(inherited == initial) << "the sample of " << name << " cannot tell inheriting from not";
  if (IsInherited(property))
    EXPECT_TRUE(undeclared == inherited) << name << " should inherit";
  else
    EXPECT_TRUE(undeclared == initial) << name << " should not inherit";
  EXPECT_TRUE(child("unset") == undeclared) << name << ": unset is what no declaration gives";
}

INSTANTIATE_TEST_SUITE_P(All, CssLonghands, ::testing::Range<size_t>(0, kPropertyCount),
                         [](const auto& info) {
                           std::string name(NameOf(static_cast<Property>(info.param)));
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
}  // namespace lectryn::engine::css
