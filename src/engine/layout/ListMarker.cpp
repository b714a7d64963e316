#include "engine/layout/ListMarker.h"

#include <array>
#include <utility>

namespace lectryn::engine::layout {
namespace {

std::u16string Decimal(int64_t value) {
  std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

std::u16string Alphabetic(int64_t value, char16_t a) {
  std::u16string text;
  while (value > 0) {
    --value;
    text.insert(text.begin(), static_cast<char16_t>(a + value % 26));
    value /= 26;
  }
  return text;
}

std::u16string Roman(int64_t value, bool upper) {
  static constexpr std::array<std::pair<int, const char*>, 13> kNumerals{{{1000, "m"},
                                                                          {900, "cm"},
                                                                          {500, "d"},
                                                                          {400, "cd"},
                                                                          {100, "c"},
                                                                          {90, "xc"},
                                                                          {50, "l"},
                                                                          {40, "xl"},
                                                                          {10, "x"},
                                                                          {9, "ix"},
                                                                          {5, "v"},
                                                                          {4, "iv"},
                                                                          {1, "i"}}};
  std::u16string text;
  for (const auto& [amount, letters] : kNumerals) {
    for (; value >= amount; value -= amount) {
      for (const char* c = letters; *c != 0; ++c) text.push_back(static_cast<char16_t>(upper ? *c - 32 : *c));
    }
  }
  return text;
}

}  // namespace

std::u16string MarkerText(css::ListStyleType type, int64_t ordinal) {
  using css::ListStyleType;
  switch (type) {
    case ListStyleType::None:
      return {};
    case ListStyleType::Disc:
      return u"\u2022 ";
    case ListStyleType::Circle:
      return u"\u25E6 ";
    case ListStyleType::Square:
      return u"\u25AA ";
    case ListStyleType::LowerAlpha:
    case ListStyleType::UpperAlpha:
      if (ordinal >= 1) return Alphabetic(ordinal, type == ListStyleType::LowerAlpha ? u'a' : u'A') + u". ";
      break;
    case ListStyleType::LowerRoman:
    case ListStyleType::UpperRoman:
      if (ordinal >= 1 && ordinal <= 3999) return Roman(ordinal, type == ListStyleType::UpperRoman) + u". ";
      break;
    default:
      break;
  }
  return Decimal(ordinal) + u". ";
}

}  // namespace lectryn::engine::layout
