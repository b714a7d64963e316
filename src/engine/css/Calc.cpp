#include "engine/css/Calc.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lectryn::engine::css {
namespace {

// Deeper nesting is invalid: pages do not need it and the parser recurses.
constexpr int kMaxDepth = 32;

struct Typed {
  CalcNode node;
  CalcType type = CalcType::Number;
};

CalcNode NumberNode(float value) {
  return {CalcNode::Op::Number, value, Unit::Px, {}};
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || c == '-';
}

// Recursive descent over one math function's text.
class Parser {
 public:
  Parser(std::string_view text, CalcPercent percent) : text_(text), percent_(percent) {}

  std::optional<Typed> Whole() {
    auto result = Function(0);
    SkipSpace();
    if (!result || i_ != text_.size()) return std::nullopt;
    return result;
  }

 private:
  bool SkipSpace() {
    size_t from = i_;
    while (i_ < text_.size() && IsSpace(text_[i_])) ++i_;
    return i_ > from;
  }
  bool Eat(char c) {
    if (i_ >= text_.size() || text_[i_] != c) return false;
    ++i_;
    return true;
  }

  // name( ... ) at i_, for the four functions.
  std::optional<Typed> Function(int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    size_t start = i_;
    while (i_ < text_.size() && IsNameChar(text_[i_])) ++i_;
    std::string_view name = text_.substr(start, i_ - start);
    if (!Eat('(')) return std::nullopt;
    if (name == "calc" || name == "-webkit-calc" || name == "-moz-calc") {
      auto sum = Sum(depth + 1);
      SkipSpace();
      if (!sum || !Eat(')')) return std::nullopt;
      return sum;
    }
    CalcNode::Op op;
    if (name == "min")
      op = CalcNode::Op::Min;
    else if (name == "max")
      op = CalcNode::Op::Max;
    else if (name == "clamp")
      op = CalcNode::Op::Clamp;
    else
      return std::nullopt;
    Typed result{{op, 0, Unit::Px, {}}, CalcType::Number};
    while (true) {
      auto arg = Sum(depth + 1);
      if (!arg) return std::nullopt;
      if (!result.node.args.empty() && arg->type != result.type) return std::nullopt;
      result.type = arg->type;
      result.node.args.push_back(std::move(arg->node));
      SkipSpace();
      if (Eat(')')) break;
      if (!Eat(',')) return std::nullopt;
    }
    if (op == CalcNode::Op::Clamp && result.node.args.size() != 3) return std::nullopt;
    if (result.type == CalcType::Number) {
      const auto& args = result.node.args;
      float folded = args[0].value;
      if (op == CalcNode::Op::Clamp) folded = std::max(args[0].value, std::min(args[1].value, args[2].value));
      for (size_t k = 1; k < args.size() && op != CalcNode::Op::Clamp; ++k)
        folded = op == CalcNode::Op::Min ? std::min(folded, args[k].value) : std::max(folded, args[k].value);
      result.node = NumberNode(folded);
    }
    return result;
  }

  // product (("+" | "-") product)*, the operators between white space.
  std::optional<Typed> Sum(int depth) {
    SkipSpace();
    auto first = Product(depth);
    if (!first) return std::nullopt;
    Typed sum{{CalcNode::Op::Sum, 0, Unit::Px, {}}, first->type};
    sum.node.args.push_back(std::move(first->node));
    while (true) {
      size_t before = i_;
      bool spaced = SkipSpace();
      if (!spaced || i_ >= text_.size() || (text_[i_] != '+' && text_[i_] != '-')) {
        i_ = before;
        break;
      }
      bool minus = text_[i_++] == '-';
      if (!SkipSpace()) return std::nullopt;
      auto term = Product(depth);
      if (!term || term->type != sum.type) return std::nullopt;
      sum.node.args.push_back(minus ? Scaled(std::move(term->node), -1) : std::move(term->node));
    }
    if (sum.node.args.size() == 1) return Typed{std::move(sum.node.args[0]), sum.type};
    if (sum.type == CalcType::Number) {
      float total = 0;
      for (const CalcNode& arg : sum.node.args) total += arg.value;
      return Typed{NumberNode(total), CalcType::Number};
    }
    return sum;
  }

  // value (("*" | "/") value)*: one side of "*" and the right of "/" are numbers.
  std::optional<Typed> Product(int depth) {
    auto product = Term(depth);
    if (!product) return std::nullopt;
    while (true) {
      size_t before = i_;
      SkipSpace();
      if (i_ >= text_.size() || (text_[i_] != '*' && text_[i_] != '/')) {
        i_ = before;
        return product;
      }
      bool divide = text_[i_++] == '/';
      SkipSpace();
      auto factor = Term(depth);
      if (!factor) return std::nullopt;
      if (divide) {
        if (factor->type != CalcType::Number || factor->node.value == 0) return std::nullopt;
        product->node = Scaled(std::move(product->node), 1 / factor->node.value);
      } else if (factor->type == CalcType::Number) {
        product->node = Scaled(std::move(product->node), factor->node.value);
      } else if (product->type == CalcType::Number) {
        float by = product->node.value;
        *product = Typed{Scaled(std::move(factor->node), by), CalcType::Length};
      } else {
        return std::nullopt;  // length * length
      }
      if (!Finite(product->node)) return std::nullopt;
    }
  }

  // A number, a dimension, a bracketed sum or a nested function.
  std::optional<Typed> Term(int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    if (Eat('(')) {
      auto sum = Sum(depth + 1);
      SkipSpace();
      if (!sum || !Eat(')')) return std::nullopt;
      return sum;
    }
    std::string_view rest = text_.substr(i_);
    if (!rest.empty() && rest[0] >= 'a' && rest[0] <= 'z') return Function(depth + 1);
    if (rest.starts_with("-webkit-") || rest.starts_with("-moz-")) return Function(depth + 1);
    size_t start = i_;
    if (i_ < text_.size() && (text_[i_] == '+' || text_[i_] == '-')) ++i_;
    while (i_ < text_.size() && ((text_[i_] >= '0' && text_[i_] <= '9') || text_[i_] == '.')) ++i_;
    // An exponent, then the unit's letters or %.
    if (i_ + 1 < text_.size() && text_[i_] == 'e' &&
        ((text_[i_ + 1] >= '0' && text_[i_ + 1] <= '9') || text_[i_ + 1] == '-' || text_[i_ + 1] == '+'))
      i_ += 2;
    while (i_ < text_.size() && ((text_[i_] >= '0' && text_[i_] <= '9') || text_[i_] == '%' ||
                                 (text_[i_] >= 'a' && text_[i_] <= 'z')))
      ++i_;
    std::string_view token = text_.substr(start, i_ - start);
    if (token.empty()) return std::nullopt;
    if (auto number = ParseNumber(token)) return Typed{NumberNode(*number), CalcType::Number};
    auto dimension = ParseDimension(token);
    if (!dimension) return std::nullopt;
    if (dimension->unit == Unit::Percent && percent_ == CalcPercent::Invalid) return std::nullopt;
    return Typed{{CalcNode::Op::Dimension, dimension->value, dimension->unit, {}}, CalcType::Length};
  }

  static CalcNode Scaled(CalcNode node, float factor) {
    if (node.op == CalcNode::Op::Number || node.op == CalcNode::Op::Dimension) {
      node.value *= factor;
      return node;
    }
    if (node.op == CalcNode::Op::Scale) {
      node.value *= factor;
      return node;
    }
    CalcNode scale{CalcNode::Op::Scale, factor, Unit::Px, {}};
    scale.args.push_back(std::move(node));
    return scale;
  }

  static bool Finite(const CalcNode& node) {
    return std::isfinite(node.value) && std::abs(node.value) < 1e30F;
  }

  std::string_view text_;
  CalcPercent percent_;
  size_t i_ = 0;
};

LengthExpr Leaf(float px, float percent) {
  return {LengthExpr::Op::Leaf, px, percent, {}};
}

// The tree with relative units in pixels, folded wherever percentages do not decide.
LengthExpr Compute(const CalcNode& node, const UnitSizes& sizes) {
  switch (node.op) {
    case CalcNode::Op::Number:
      return Leaf(node.value, 0);
    case CalcNode::Op::Dimension:
      if (node.unit == Unit::Percent) return Leaf(0, node.value);
      return Leaf(ToPixels({node.value, node.unit}, sizes), 0);
    case CalcNode::Op::Scale: {
      LengthExpr arg = Compute(node.args[0], sizes);
      if (arg.op == LengthExpr::Op::Leaf) return Leaf(arg.px * node.value, arg.percent * node.value);
      LengthExpr scale{LengthExpr::Op::Scale, node.value, 0, {}};
      scale.args.push_back(std::move(arg));
      return scale;
    }
    case CalcNode::Op::Sum: {
      LengthExpr sum{LengthExpr::Op::Sum, 0, 0, {}};
      LengthExpr linear = Leaf(0, 0);
      for (const CalcNode& child : node.args) {
        LengthExpr arg = Compute(child, sizes);
        if (arg.op == LengthExpr::Op::Leaf) {
          linear.px += arg.px;
          linear.percent += arg.percent;
        } else {
          sum.args.push_back(std::move(arg));
        }
      }
      if (sum.args.empty()) return linear;
      sum.args.push_back(linear);
      return sum;
    }
    case CalcNode::Op::Min:
    case CalcNode::Op::Max:
    case CalcNode::Op::Clamp: {
      auto op = node.op == CalcNode::Op::Min   ? LengthExpr::Op::Min
                : node.op == CalcNode::Op::Max ? LengthExpr::Op::Max
                                               : LengthExpr::Op::Clamp;
      LengthExpr pick{op, 0, 0, {}};
      bool pixelsOnly = true;
      for (const CalcNode& child : node.args) {
        pick.args.push_back(Compute(child, sizes));
        const LengthExpr& arg = pick.args.back();
        pixelsOnly = pixelsOnly && arg.op == LengthExpr::Op::Leaf && arg.percent == 0;
      }
      // Without percentages the base does not matter.
      if (pixelsOnly) return Leaf(pick.Resolve(0), 0);
      return pick;
    }
  }
  return Leaf(0, 0);
}

}  // namespace

bool IsMathFunction(std::string_view part) {
  for (std::string_view name : {"calc(", "min(", "max(", "clamp(", "-webkit-calc(", "-moz-calc("}) {
    if (part.starts_with(name)) return true;
  }
  return false;
}

std::optional<CalcNode> ParseCalc(std::string_view text, CalcType type, CalcPercent percent) {
  if (!IsMathFunction(text)) return std::nullopt;
  auto result = Parser(text, percent).Whole();
  if (!result || result->type != type) return std::nullopt;
  return std::move(result->node);
}

Length ComputeCalc(const CalcNode& node, const UnitSizes& sizes) {
  LengthExpr expr = Compute(node, sizes);
  if (expr.op != LengthExpr::Op::Leaf) {
    Length length{LengthUnit::Calc, 0, 0, {}};
    length.expr = std::make_shared<const LengthExpr>(std::move(expr));
    return length;
  }
  float px = std::clamp(expr.px, -kMaxLength, kMaxLength);
  float percent = std::clamp(expr.percent, -kMaxLength, kMaxLength);
  if (percent == 0) return Length::Px(px);
  if (px == 0) return Length::Percent(percent);
  return {LengthUnit::Calc, px, percent, {}};
}

bool UsesViewportUnits(const CalcNode& node) {
  if (node.op == CalcNode::Op::Dimension) return IsViewportUnit(node.unit);
  return std::any_of(node.args.begin(), node.args.end(),
                     [](const CalcNode& arg) { return UsesViewportUnits(arg); });
}

}  // namespace lectryn::engine::css
