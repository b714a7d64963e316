#pragma once
// How layout measures text. The engine never picks glyphs itself: a view hands in the metrics of
// its fonts (Qt's on the desktop), tests hand in fixed metrics so that every position is exact.
// All values are CSS pixels.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lectryn::engine::layout {

struct FontDescription {
  std::string family;  // a CSS font-family list, lower case ("verdana, arial"); empty: the default serif
  float sizePx = 16;
  uint16_t weight = 400;
  bool italic = false;
  bool operator==(const FontDescription&) const = default;
};

struct VerticalMetrics {
  float ascent = 0;
  float descent = 0;      // positive, below the baseline
  float lineSpacing = 0;  // the font's normal line height (ascent + descent + line gap)
};

class FontMetrics {
 public:
  virtual ~FontMetrics() = default;
  virtual VerticalMetrics Vertical(const FontDescription& font) = 0;
  // The advance width of a run of text set in one line.
  virtual float Advance(const FontDescription& font, std::u16string_view text) = 0;
  // The x of every caret position of a run, 0 to text.size() (text.size() + 1 values, the first 0,
  // the last the run's advance); positions inside a surrogate pair repeat the value before them.
  virtual void CaretPositions(const FontDescription& font, std::u16string_view text, std::vector<float>& xs) = 0;
};

// Every character (a surrogate pair counts once) `advanceEm` of the font size wide; ascent 0.8 em,
// descent 0.2 em, normal line height 1 em. Golden layout dumps are written with it.
class FixedFontMetrics : public FontMetrics {
 public:
  explicit FixedFontMetrics(float advanceEm = 0.5F) : advanceEm_(advanceEm) {}
  VerticalMetrics Vertical(const FontDescription& font) override {
    return {0.8F * font.sizePx, 0.2F * font.sizePx, font.sizePx};
  }
  float Advance(const FontDescription& font, std::u16string_view text) override {
    return static_cast<float>(Characters(text)) * advanceEm_ * font.sizePx;
  }
  void CaretPositions(const FontDescription& font, std::u16string_view text, std::vector<float>& xs) override {
    xs.assign(text.size() + 1, 0);
    float x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      bool trail = text[i] >= 0xDC00 && text[i] <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
      if (!trail) x += advanceEm_ * font.sizePx;
      xs[i + 1] = x;
    }
    // A caret between the two halves of a pair stands where the character starts.
    for (size_t i = 1; i < text.size(); ++i) {
      if (text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF) xs[i] = xs[i - 1];
    }
  }

 private:
  static size_t Characters(std::u16string_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (!(text[i] >= 0xDC00 && text[i] <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF)) ++count;
    }
    return count;
  }
  float advanceEm_;
};

}  // namespace lectryn::engine::layout
