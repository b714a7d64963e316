#pragma once
// calc(), min(), max() and clamp() over lengths, percentages and numbers. Parsing checks the
// types (no px + number, no length * length, no division by zero) and folds what it can; relative
// units stay until the element's fonts and view are known, percentages until layout knows the
// base.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/css/Declaration.h"
#include "engine/css/Values.h"

namespace lectryn::engine::css {

struct CalcNode {
  enum class Op : uint8_t { Number, Dimension, Sum, Scale, Min, Max, Clamp };  // Clamp: min, value, max
  Op op = Op::Number;
  float value = 0;       // Number; Dimension's amount; Scale's factor
  Unit unit = Unit::Px;  // Dimension
  std::vector<CalcNode> args;
};

enum class CalcType : uint8_t { Number, Length };
enum class CalcPercent : uint8_t { Invalid, Allowed };

// Whether a component is one of the math functions (lower case).
bool IsMathFunction(std::string_view part);

// A math function whose result is of `type`; nothing when it is invalid. Numbers come back
// folded into one Number node.
std::optional<CalcNode> ParseCalc(std::string_view text, CalcType type, CalcPercent percent);

// The computed length: relative units in pixels, percentages kept (as Percent, a Calc of
// px + percent, or an expression tree).
Length ComputeCalc(const CalcNode& node, const UnitSizes& sizes);
bool UsesViewportUnits(const CalcNode& node);

}  // namespace lectryn::engine::css
