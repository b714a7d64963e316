#include "engine/css/Values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace lectryn::engine::css {
namespace {

// The CSS named colours, name and hex value.
constexpr std::string_view kNamedColors =
    "aliceblue f0f8ff antiquewhite faebd7 aqua 00ffff aquamarine 7fffd4 azure f0ffff beige f5f5dc "
    "bisque ffe4c4 black 000000 blanchedalmond ffebcd blue 0000ff blueviolet 8a2be2 brown a52a2a "
    "burlywood deb887 cadetblue 5f9ea0 chartreuse 7fff00 chocolate d2691e coral ff7f50 "
    "cornflowerblue 6495ed cornsilk fff8dc crimson dc143c cyan 00ffff darkblue 00008b darkcyan 008b8b "
    "darkgoldenrod b8860b darkgray a9a9a9 darkgreen 006400 darkgrey a9a9a9 darkkhaki bdb76b "
    "darkmagenta 8b008b darkolivegreen 556b2f darkorange ff8c00 darkorchid 9932cc darkred 8b0000 "
    "darksalmon e9967a darkseagreen 8fbc8f darkslateblue 483d8b darkslategray 2f4f4f "
    "darkslategrey 2f4f4f darkturquoise 00ced1 darkviolet 9400d3 deeppink ff1493 deepskyblue 00bfff "
    "dimgray 696969 dimgrey 696969 dodgerblue 1e90ff firebrick b22222 floralwhite fffaf0 "
    "forestgreen 228b22 fuchsia ff00ff gainsboro dcdcdc ghostwhite f8f8ff gold ffd700 goldenrod daa520 "
    "gray 808080 green 008000 greenyellow adff2f grey 808080 honeydew f0fff0 hotpink ff69b4 "
    "indianred cd5c5c indigo 4b0082 ivory fffff0 khaki f0e68c lavender e6e6fa lavenderblush fff0f5 "
    "lawngreen 7cfc00 lemonchiffon fffacd lightblue add8e6 lightcoral f08080 lightcyan e0ffff "
    "lightgoldenrodyellow fafad2 lightgray d3d3d3 lightgreen 90ee90 lightgrey d3d3d3 lightpink ffb6c1 "
    "lightsalmon ffa07a lightseagreen 20b2aa lightskyblue 87cefa lightslategray 778899 "
    "lightslategrey 778899 lightsteelblue b0c4de lightyellow ffffe0 lime 00ff00 limegreen 32cd32 "
    "linen faf0e6 magenta ff00ff maroon 800000 mediumaquamarine 66cdaa mediumblue 0000cd "
    "mediumorchid ba55d3 mediumpurple 9370db mediumseagreen 3cb371 mediumslateblue 7b68ee "
    "mediumspringgreen 00fa9a mediumturquoise 48d1cc mediumvioletred c71585 midnightblue 191970 "
    "mintcream f5fffa mistyrose ffe4e1 moccasin ffe4b5 navajowhite ffdead navy 000080 oldlace fdf5e6 "
    "olive 808000 olivedrab 6b8e23 orange ffa500 orangered ff4500 orchid da70d6 palegoldenrod eee8aa "
    "palegreen 98fb98 paleturquoise afeeee palevioletred db7093 papayawhip ffefd5 peachpuff ffdab9 "
    "peru cd853f pink ffc0cb plum dda0dd powderblue b0e0e6 purple 800080 rebeccapurple 663399 "
    "red ff0000 rosybrown bc8f8f royalblue 4169e1 saddlebrown 8b4513 salmon fa8072 sandybrown f4a460 "
    "seagreen 2e8b57 seashell fff5ee sienna a0522d silver c0c0c0 skyblue 87ceeb slateblue 6a5acd "
    "slategray 708090 slategrey 708090 snow fffafa springgreen 00ff7f steelblue 4682b4 tan d2b48c "
    "teal 008080 thistle d8bfd8 tomato ff6347 turquoise 40e0d0 violet ee82ee wheat f5deb3 "
    "white ffffff whitesmoke f5f5f5 yellow ffff00 yellowgreen 9acd32 "
    // System colours that old pages name, as a light desktop theme shows them.
    "canvas ffffff canvastext 000000 linktext 0000ee visitedtext 551a8b buttonface efefef "
    "buttontext 000000 buttonborder 767676 field ffffff fieldtext 000000 graytext 808080 "
    "highlight 3399ff highlighttext ffffff window ffffff windowtext 000000 threedface f0f0f0 "
    "menu f0f0f0 menutext 000000 infobackground ffffe1 infotext 000000";

int HexDigit(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

Color FromRgb(uint32_t rgb) {
  return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
}

std::optional<Color> NamedColor(std::string_view name) {
  static const auto* table = [] {
    auto* t = new std::unordered_map<std::string_view, uint32_t>;
    std::string_view rest = kNamedColors;
    while (!rest.empty()) {
      size_t space = rest.find(' ');
      std::string_view key = rest.substr(0, space);
      std::string_view hex = rest.substr(space + 1, 6);
      uint32_t rgb = 0;
      for (char c : hex) rgb = rgb * 16 + static_cast<uint32_t>(HexDigit(c));
      (*t)[key] = rgb;
      rest.remove_prefix(std::min(rest.size(), space + 8));
    }
    return t;
  }();
  auto it = table->find(name);
  if (it == table->end()) return std::nullopt;
  return FromRgb(it->second);
}

std::optional<Color> HexColor(std::string_view digits) {
  if (digits.size() != 3 && digits.size() != 4 && digits.size() != 6 && digits.size() != 8)
    return std::nullopt;
  int values[8];
  for (size_t i = 0; i < digits.size(); ++i) {
    values[i] = HexDigit(static_cast<unsigned char>(digits[i]));
    if (values[i] < 0) return std::nullopt;
  }
  auto channel = [&](size_t index) -> uint8_t {
    if (digits.size() <= 4) return static_cast<uint8_t>(values[index] * 17);
    return static_cast<uint8_t>(values[2 * index] * 16 + values[2 * index + 1]);
  };
  bool alpha = digits.size() == 4 || digits.size() == 8;
  return Color{channel(0), channel(1), channel(2), alpha ? channel(3) : uint8_t{255}};
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The length of the number at the start of `text`: sign, digits, fraction, exponent.
size_t NumberLength(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i + 1 < text.size() && text[i] == '.' && IsDigit(text[i + 1])) {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

uint8_t ToByte(float value) {
  return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0F, 255.0F)));
}

// The arguments of rgb() or hsl(), with commas or spaces and an optional "/ alpha".
std::optional<std::vector<std::string_view>> FunctionArguments(std::string_view text, std::string_view name) {
  size_t open = text.find('(');
  if (open == std::string_view::npos || text.back() != ')') return std::nullopt;
  std::string_view function = text.substr(0, open);
  if (function != name && !(function.size() == name.size() + 1 && function.substr(0, name.size()) == name &&
                            function.back() == 'a'))
    return std::nullopt;
  std::vector<std::string_view> arguments;
  for (std::string_view part : SplitComponents(text.substr(open + 1, text.size() - open - 2))) {
    if (part != ",") arguments.push_back(part);
  }
  if (arguments.size() == 5 && arguments[3] == "/") arguments.erase(arguments.begin() + 3);
  if (arguments.size() != 3 && arguments.size() != 4) return std::nullopt;
  return arguments;
}

// A number, or a percentage of `full`.
std::optional<float> NumberOrPercent(std::string_view text, float full) {
  if (auto number = ParseNumber(text)) return number;
  auto value = ParseDimension(text);
  if (!value || value->unit != Unit::Percent) return std::nullopt;
  return value->value * full / 100;
}

std::optional<uint8_t> Alpha(std::string_view text) {
  auto alpha = NumberOrPercent(text, 1);
  if (!alpha) return std::nullopt;
  return ToByte(*alpha * 255.0F);
}

std::optional<Color> RgbFunction(std::string_view text) {
  auto arguments = FunctionArguments(text, "rgb");
  if (!arguments) return std::nullopt;
  Color color;
  uint8_t* channels[3] = {&color.r, &color.g, &color.b};
  for (size_t i = 0; i < 3; ++i) {
    auto value = NumberOrPercent((*arguments)[i], 255);
    if (!value) return std::nullopt;
    *channels[i] = ToByte(*value);
  }
  if (arguments->size() == 4) {
    auto alpha = Alpha((*arguments)[3]);
    if (!alpha) return std::nullopt;
    color.a = *alpha;
  }
  return color;
}

std::optional<Color> HslFunction(std::string_view text) {
  auto arguments = FunctionArguments(text, "hsl");
  if (!arguments) return std::nullopt;
  std::string_view hueText = (*arguments)[0];
  if (hueText.size() > 3 && hueText.substr(hueText.size() - 3) == "deg") hueText.remove_suffix(3);
  auto hue = ParseNumber(hueText);
  auto saturation = ParseDimension((*arguments)[1]);
  auto lightness = ParseDimension((*arguments)[2]);
  if (!hue || !saturation || !lightness) return std::nullopt;
  float h = std::fmod(std::fmod(*hue, 360.0F) + 360.0F, 360.0F) / 360.0F;
  float s = std::clamp(saturation->value / 100.0F, 0.0F, 1.0F);
  float l = std::clamp(lightness->value / 100.0F, 0.0F, 1.0F);
  float q = l <= 0.5F ? l * (1 + s) : l + s - l * s;
  float p = 2 * l - q;
  auto channel = [&](float t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0F / 6) return p + (q - p) * 6 * t;
    if (t < 0.5F) return q;
    if (t < 2.0F / 3) return p + (q - p) * (2.0F / 3 - t) * 6;
    return p;
  };
  Color color{ToByte(channel(h + 1.0F / 3) * 255), ToByte(channel(h) * 255),
              ToByte(channel(h - 1.0F / 3) * 255), 255};
  if (arguments->size() == 4) {
    auto alpha = Alpha((*arguments)[3]);
    if (!alpha) return std::nullopt;
    color.a = *alpha;
  }
  return color;
}

}  // namespace

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

std::string StripComments(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  char quote = 0;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (quote != 0) {
      if (c == '\\' && i + 1 < text.size()) {
        result.push_back(c);
        c = text[++i];
      } else if (c == quote || c == '\n') {
        quote = 0;
      }
      result.push_back(c);
      ++i;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      size_t end = text.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 2;
      result.push_back(' ');
    } else {
      if (c == '"' || c == '\'') quote = c;
      result.push_back(c);
      ++i;
    }
  }
  return result;
}

std::vector<std::string_view> SplitComponents(std::string_view value) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < value.size()) {
    if (IsSpace(value[i])) {
      ++i;
      continue;
    }
    size_t begin = i;
    if (value[i] == ',' || value[i] == '/') {
      parts.push_back(value.substr(i++, 1));
      continue;
    }
    int depth = 0;
    char quote = 0;
    for (; i < value.size(); ++i) {
      char c = value[i];
      if (quote != 0) {
        if (c == '\\')
          ++i;
        else if (c == quote)
          quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        depth = std::max(0, depth - 1);
      } else if (depth == 0 && (IsSpace(c) || c == ',' || c == '/')) {
        break;
      }
    }
    parts.push_back(value.substr(begin, std::min(i, value.size()) - begin));
  }
  return parts;
}

std::optional<float> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  size_t digitsAt = text.front() == '-' ? 1 : 0;
  if (digitsAt >= text.size()) return std::nullopt;
  char first = text[digitsAt];
  if (!(first >= '0' && first <= '9') && first != '.') return std::nullopt;
  float value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<Dimension> ParseDimension(std::string_view text, Unitless unitless) {
  size_t unitAt = NumberLength(text);
  auto number = ParseNumber(text.substr(0, unitAt));
  if (!number) return std::nullopt;
  std::string unit = Lower(text.substr(unitAt));
  float value = *number;
  Dimension result{value, Unit::Px};
  if (unit.empty()) {
    if (value != 0 && unitless == Unitless::Invalid) return std::nullopt;
  } else if (unit == "px") {
  } else if (unit == "%") {
    result.unit = Unit::Percent;
  } else if (unit == "em") {
    result.unit = Unit::Em;
  } else if (unit == "rem") {
    result.unit = Unit::Rem;
  } else if (unit == "ex") {
    result.unit = Unit::Ex;
  } else if (unit == "ch") {
    result.unit = Unit::Ch;
  } else if (unit == "vw") {
    result.unit = Unit::Vw;
  } else if (unit == "vh") {
    result.unit = Unit::Vh;
  } else if (unit == "vmin") {
    result.unit = Unit::Vmin;
  } else if (unit == "vmax") {
    result.unit = Unit::Vmax;
  } else if (unit == "pt") {
    result.value = value * 4.0F / 3.0F;
  } else if (unit == "pc") {
    result.value = value * 16.0F;
  } else if (unit == "in") {
    result.value = value * 96.0F;
  } else if (unit == "cm") {
    result.value = value * 96.0F / 2.54F;
  } else if (unit == "mm") {
    result.value = value * 96.0F / 25.4F;
  } else if (unit == "q") {
    result.value = value * 96.0F / 101.6F;
  } else {
    return std::nullopt;
  }
  result.value = std::clamp(result.value, -kMaxLength, kMaxLength);
  return result;
}

float ToPixels(Dimension length, const UnitSizes& sizes) {
  float pixels = length.value;
  switch (length.unit) {
    case Unit::Em:
      pixels *= sizes.emPx;
      break;
    case Unit::Ex:
    case Unit::Ch:
      pixels *= sizes.emPx / 2;  // without the font's metrics at hand: half an em
      break;
    case Unit::Rem:
      pixels *= sizes.remPx;
      break;
    case Unit::Vw:
      pixels *= sizes.viewWidthPx / 100;
      break;
    case Unit::Vh:
      pixels *= sizes.viewHeightPx / 100;
      break;
    case Unit::Vmin:
      pixels *= std::min(sizes.viewWidthPx, sizes.viewHeightPx) / 100;
      break;
    case Unit::Vmax:
      pixels *= std::max(sizes.viewWidthPx, sizes.viewHeightPx) / 100;
      break;
    case Unit::Px:
    case Unit::Percent:
      break;
  }
  return std::clamp(pixels, -kMaxLength, kMaxLength);
}

bool IsViewportUnit(Unit unit) {
  return unit == Unit::Vw || unit == Unit::Vh || unit == Unit::Vmin || unit == Unit::Vmax;
}

std::optional<Color> ParseColor(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text.front() == '#') return HexColor(text.substr(1));
  if (text == "transparent") return Color::Transparent();
  if (text.back() == ')') {
    if (auto color = RgbFunction(text)) return color;
    return HslFunction(text);
  }
  return NamedColor(text);
}

// The HTML standard's rules for parsing a legacy colour value: names and #rgb as in CSS, and
// anything else read as hex digits (others count as 0) split into three channels.
std::optional<Color> ParseLegacyColor(std::u16string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::string ascii;
  bool allAscii = true;
  for (char16_t c : text) {
    allAscii = allAscii && c < 0x80;
    ascii.push_back(c < 0x80 ? static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c) : '0');
  }
  if (allAscii && ascii == "transparent") return std::nullopt;
  if (allAscii) {
    if (auto named = NamedColor(ascii)) return named;
  }
  if (text.size() == 4 && text.front() == u'#') {
    if (auto color = HexColor(ascii.substr(1)); color && color->a == 255) return color;
  }
  std::string digits;
  for (size_t i = 0; i < text.size() && digits.size() < 128; ++i) {
    char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      digits += "00";  // a character beyond the BMP counts as two digits
      ++i;
      continue;
    }
    if (i == 0 && c == u'#') continue;
    digits.push_back(c < 0x80 && HexDigit(c) >= 0 ? static_cast<char>(c) : '0');
  }
  if (digits.size() > 128) digits.resize(128);
  while (digits.empty() || digits.size() % 3 != 0) digits.push_back('0');
  size_t length = digits.size() / 3;
  std::string_view parts[3] = {std::string_view(digits).substr(0, length),
                               std::string_view(digits).substr(length, length),
                               std::string_view(digits).substr(2 * length, length)};
  if (length > 8) {
    for (auto& part : parts) part.remove_prefix(length - 8);
    length = 8;
  }
  while (length > 2 && parts[0].front() == '0' && parts[1].front() == '0' && parts[2].front() == '0') {
    for (auto& part : parts) part.remove_prefix(1);
    --length;
  }
  if (length > 2) {
    for (auto& part : parts) part = part.substr(0, 2);
  }
  uint8_t channels[3];
  for (int k = 0; k < 3; ++k) {
    int value = 0;
    for (char c : parts[k]) value = value * 16 + HexDigit(c);
    channels[k] = static_cast<uint8_t>(value);
  }
  return Color{channels[0], channels[1], channels[2], 255};
}

}  // namespace lectryn::engine::css
