#include "engine/css/MediaQuery.h"

#include <optional>
#include <string>
#include <vector>

#include "engine/css/Values.h"

namespace lectryn::engine::css {
namespace {

constexpr int kMaxNesting = 16;

enum class Compare { Less, LessOrEqual, Equal, GreaterOrEqual, Greater };

bool Holds(float actual, Compare compare, float value) {
  switch (compare) {
    case Compare::Less:
      return actual < value;
    case Compare::LessOrEqual:
      return actual <= value;
    case Compare::Equal:
      return actual == value;
    case Compare::GreaterOrEqual:
      return actual >= value;
    case Compare::Greater:
      return actual > value;
  }
  return false;
}

Compare Mirror(Compare compare) {
  switch (compare) {
    case Compare::Less:
      return Compare::Greater;
    case Compare::LessOrEqual:
      return Compare::GreaterOrEqual;
    case Compare::GreaterOrEqual:
      return Compare::LessOrEqual;
    case Compare::Greater:
      return Compare::Less;
    case Compare::Equal:
      break;
  }
  return Compare::Equal;
}

// A feature's value in the unit the view's figure uses: pixels, a ratio or dots per pixel.
std::optional<float> FeatureValue(std::string_view name, std::string_view text) {
  text = Trim(text);
  if (name.find("aspect-ratio") != std::string_view::npos) {
    size_t slash = text.find('/');
    auto width = ParseNumber(Trim(text.substr(0, slash)));
    auto height =
        slash == std::string_view::npos ? std::optional<float>(1) : ParseNumber(Trim(text.substr(slash + 1)));
    if (!width || !height || *height <= 0) return std::nullopt;
    return *width / *height;
  }
  if (name.find("resolution") != std::string_view::npos) {
    if (text.ends_with("dppx") || text.ends_with("x"))
      return ParseNumber(text.substr(0, text.find_first_of("dx")));
    if (text.ends_with("dpi")) {
      auto dpi = ParseNumber(text.substr(0, text.size() - 3));
      return dpi ? std::optional<float>(*dpi / 96) : std::nullopt;
    }
    if (text.ends_with("dpcm")) {
      auto dpcm = ParseNumber(text.substr(0, text.size() - 4));
      return dpcm ? std::optional<float>(*dpcm * 2.54F / 96) : std::nullopt;
    }
    return std::nullopt;
  }
  if (name.find("pixel-ratio") != std::string_view::npos || name.find("color") != std::string_view::npos ||
      name.find("monochrome") != std::string_view::npos || name == "grid")
    return ParseNumber(text);
  auto length = ParseDimension(text);
  if (!length || length->unit == Unit::Percent) return std::nullopt;
  if (length->unit != Unit::Px) return length->value * 16;  // em and kin against the default font
  return length->value;
}

// The view's figure for a numeric feature.
std::optional<float> Actual(std::string_view name, const MediaView& view) {
  if (name == "width" || name == "device-width") return view.widthPx;
  if (name == "height" || name == "device-height") return view.heightPx;
  if (name == "aspect-ratio" || name == "device-aspect-ratio")
    return view.heightPx > 0 ? view.widthPx / view.heightPx : 0;
  if (name == "resolution" || name == "-webkit-device-pixel-ratio" || name == "-moz-device-pixel-ratio" ||
      name == "device-pixel-ratio")
    return 1;
  if (name == "color") return 8;
  if (name == "color-index" || name == "monochrome" || name == "grid") return 0;
  return std::nullopt;
}

std::optional<bool> DiscreteFeature(std::string_view name, std::string_view value, const MediaView& view) {
  if (name == "orientation") {
    std::string_view orientation = view.heightPx >= view.widthPx ? "portrait" : "landscape";
    return value.empty() || value == orientation;
  }
  struct Known {
    std::string_view name, value;
  };
  static constexpr Known kKnown[] = {
      {"hover", "hover"},
      {"any-hover", "hover"},
      {"pointer", "fine"},
      {"any-pointer", "fine"},
      {"prefers-color-scheme", "light"},
      {"prefers-reduced-motion", "no-preference"},
      {"prefers-contrast", "no-preference"},
      {"prefers-reduced-transparency", "no-preference"},
      {"prefers-reduced-data", "no-preference"},
      {"forced-colors", "none"},
      {"inverted-colors", "none"},
      {"display-mode", "browser"},
      {"scripting", "enabled"},
      {"update", "fast"},
      {"color-gamut", "srgb"},
      {"dynamic-range", "standard"},
      {"overflow-block", "scroll"},
      {"overflow-inline", "scroll"},
  };
  for (const Known& known : kKnown) {
    if (known.name == name)
      return value.empty() ? known.value != "none" && known.value != "no-preference" : value == known.value;
  }
  return std::nullopt;
}

// "min-width: 600px", "color", "width >= 600px", "400px < width <= 700px".
bool Feature(std::string_view text, const MediaView& view) {
  text = Trim(text);
  size_t op = text.find_first_of("<>=");
  if (op != std::string_view::npos) {
    auto readCompare = [](std::string_view in, size_t at, size_t& length) {
      char c = in[at];
      bool equal = at + 1 < in.size() && in[at + 1] == '=';
      length = equal ? 2 : 1;
      if (c == '=') return Compare::Equal;
      if (c == '<') return equal ? Compare::LessOrEqual : Compare::Less;
      return equal ? Compare::GreaterOrEqual : Compare::Greater;
    };
    size_t firstLength = 0;
    Compare first = readCompare(text, op, firstLength);
    std::string_view left = Trim(text.substr(0, op));
    std::string_view rest = text.substr(op + firstLength);
    size_t op2 = rest.find_first_of("<>=");
    if (op2 == std::string_view::npos) {
      std::string_view right = Trim(rest);
      // "width >= 600px" or "600px <= width".
      bool nameLeft = Actual(left, view).has_value();
      std::string_view name = nameLeft ? left : right;
      auto actual = Actual(name, view);
      auto value = FeatureValue(name, nameLeft ? right : left);
      if (!actual || !value) return false;
      return Holds(*actual, nameLeft ? first : Mirror(first), *value);
    }
    size_t secondLength = 0;
    Compare second = readCompare(rest, op2, secondLength);
    std::string_view name = Trim(rest.substr(0, op2));
    auto actual = Actual(name, view);
    auto low = FeatureValue(name, left);
    auto high = FeatureValue(name, rest.substr(op2 + secondLength));
    if (!actual || !low || !high) return false;
    return Holds(*actual, Mirror(first), *low) && Holds(*actual, second, *high);
  }
  size_t colon = text.find(':');
  std::string_view name = Trim(text.substr(0, colon));
  std::string_view value =
      colon == std::string_view::npos ? std::string_view() : Trim(text.substr(colon + 1));
  if (auto discrete = DiscreteFeature(name, value, view)) return *discrete;
  Compare compare = Compare::Equal;
  std::string_view base = name;
  if (name.starts_with("min-")) {
    compare = Compare::GreaterOrEqual;
    base = name.substr(4);
  } else if (name.starts_with("max-")) {
    compare = Compare::LessOrEqual;
    base = name.substr(4);
  } else if (name.starts_with("-webkit-min-") || name.starts_with("min--moz-")) {
    compare = Compare::GreaterOrEqual;
    base = name.starts_with("-webkit-") ? "-webkit-device-pixel-ratio" : "-moz-device-pixel-ratio";
  } else if (name.starts_with("-webkit-max-") || name.starts_with("max--moz-")) {
    compare = Compare::LessOrEqual;
    base = name.starts_with("-webkit-") ? "-webkit-device-pixel-ratio" : "-moz-device-pixel-ratio";
  }
  auto actual = Actual(base, view);
  if (!actual) return false;
  if (value.empty()) return compare == Compare::Equal && *actual != 0;
  auto wanted = FeatureValue(base, value);
  return wanted && Holds(*actual, compare, *wanted);
}

// Words and parenthesised groups of a query.
std::vector<std::string_view> Terms(std::string_view text) {
  std::vector<std::string_view> terms;
  size_t i = 0;
  while (i < text.size()) {
    if (IsSpace(text[i])) {
      ++i;
      continue;
    }
    size_t begin = i;
    if (text[i] == '(') {
      int depth = 0;
      for (; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0) break;
      }
      if (i >= text.size()) return {};  // unbalanced
      terms.push_back(text.substr(begin, ++i - begin));
    } else {
      while (i < text.size() && !IsSpace(text[i]) && text[i] != '(') ++i;
      terms.push_back(text.substr(begin, i - begin));
    }
  }
  return terms;
}

bool Condition(std::string_view text, int nesting, const MediaView& view);

// "(feature)", "(condition)" or "not (...)".
bool Group(std::string_view term, int nesting, const MediaView& view) {
  std::string_view inner = Trim(term.substr(1, term.size() - 2));
  if (!inner.empty() && (inner.front() == '(' || inner.starts_with("not ")))
    return Condition(inner, nesting + 1, view);
  return Feature(inner, view);
}

// Groups joined by "and" or "or", possibly negated with "not".
bool Condition(std::string_view text, int nesting, const MediaView& view) {
  if (nesting > kMaxNesting) return false;
  std::vector<std::string_view> terms = Terms(text);
  if (terms.empty()) return false;
  size_t i = 0;
  bool negate = terms[0] == "not";
  if (negate) ++i;
  std::optional<bool> result;
  std::string_view joiner;
  for (; i < terms.size(); ++i) {
    if (terms[i].front() != '(') return false;
    bool value = Group(terms[i], nesting, view);
    result = !result ? value : joiner == "and" ? (*result && value) : (*result || value);
    if (i + 1 < terms.size()) {
      joiner = terms[++i];
      if (joiner != "and" && joiner != "or") return false;
      if (i + 1 >= terms.size()) return false;
    }
  }
  if (!result) return false;
  return negate ? !*result : *result;
}

bool Query(std::string_view text, const MediaView& view) {
  std::vector<std::string_view> terms = Terms(text);
  if (terms.empty()) return false;
  size_t i = 0;
  bool negate = false;
  if (terms[i] == "not" || terms[i] == "only") {
    negate = terms[i] == "not";
    if (++i >= terms.size()) return false;
  }
  if (terms[i].front() == '(') {
    if (negate) return false;  // "not (...)" is a condition, read below
    return Condition(text, 0, view);
  }
  std::string_view type = terms[i++];
  bool result = type == "all" || type == "screen";
  if (i < terms.size()) {
    if (terms[i] != "and" || i + 1 >= terms.size()) return false;
    std::string_view rest = text.substr(static_cast<size_t>(terms[i + 1].data() - text.data()));
    result = result && Condition(rest, 0, view);
  }
  return negate ? !result : result;
}

}  // namespace

bool MatchesMedia(std::string_view queryList, const MediaView& view) {
  std::string lower = Lower(Trim(queryList));
  if (lower.empty()) return true;
  std::string_view rest = lower;
  while (true) {
    size_t comma = 0;
    int depth = 0;
    for (; comma < rest.size(); ++comma) {
      if (rest[comma] == '(') ++depth;
      if (rest[comma] == ')') --depth;
      if (rest[comma] == ',' && depth <= 0) break;
    }
    std::string_view query = Trim(rest.substr(0, comma));
    if (query.starts_with("not (")) {
      if (Condition(query, 0, view)) return true;
    } else if (Query(query, view)) {
      return true;
    }
    if (comma >= rest.size()) return false;
    rest.remove_prefix(comma + 1);
  }
}

}  // namespace lectryn::engine::css
