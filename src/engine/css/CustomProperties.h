#pragma once
// Custom properties ("--name: anything") and var(): every element's computed custom properties
// (inherited; their own var()s substituted; those in a cycle invalid) and the substitution of
// var() into the values of other properties.
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/css/Declaration.h"

namespace lectryn::engine::css {

// An element's custom properties by name, fully substituted; an invalid one is absent. Shared with
// the descendants that declare none, and value by value with those that declare some.
using CustomPropertyMap = std::map<std::string, std::shared_ptr<const std::string>, std::less<>>;
using CustomProperties = std::shared_ptr<const CustomPropertyMap>;

// Bounds on what substitution builds, so that vars that double each other cannot exhaust memory
// or time: one value's length, the var()s one element substitutes, and all it builds together.
inline constexpr size_t kMaxSubstitutedLength = 64 * 1024;
inline constexpr int kMaxSubstitutions = 4096;
inline constexpr size_t kMaxSubstitutedTotal = 1024 * 1024;

class VarSubstitution {
 public:
  // `parent`: the parent's custom properties (null at the root).
  explicit VarSubstitution(CustomProperties parent);

  // Takes the winning declarations of custom properties, the element's own (Custom, Inherit,
  // Initial or Unset values), by name.
  void Compute(const std::map<std::string_view, const Value*>& declared);
  const CustomProperties& Properties() const { return properties_; }

  // The text with every var() replaced; nothing when one names an absent property and has no
  // fallback, or a bound is passed.
  std::optional<std::string> Substitute(std::string_view text);

 private:
  using Lookup = std::function<std::shared_ptr<const std::string>(std::string_view name)>;
  std::optional<std::string> Substitute(std::string_view text, const Lookup& lookup, int depth);

  CustomProperties parent_;
  CustomProperties properties_;
  int substitutions_ = 0;
  size_t built_ = 0;
};

}  // namespace lectryn::engine::css
