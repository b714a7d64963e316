#pragma once
// Text measured with Qt's fonts (fontconfig underneath), chosen and sized the way a browser on this
// machine chooses them, so that lines break where a browser breaks them. 1 CSS px = 1 device px.
//
// A QGuiApplication must exist before the first call (under QT_QPA_PLATFORM=offscreen when there
// is no display). Not thread-safe: one layout at a time uses an instance.
#include <QFont>
#include <QFontMetricsF>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/layout/FontMetrics.h"

namespace lectryn::desktop {

namespace layout = engine::layout;

class QtFontMetrics : public layout::FontMetrics {
 public:
  QtFontMetrics();

  layout::VerticalMetrics Vertical(const layout::FontDescription& font) override;
  float Advance(const layout::FontDescription& font, std::u16string_view text) override;
  void CaretPositions(const layout::FontDescription& font, std::u16string_view text,
                      std::vector<float>& xs) override;

  // The QFont a description maps to, and the scale to draw it at: Qt sizes fonts in whole pixels,
  // so a fractional size (10pt = 13.33px) is a larger font drawn scaled down. Painting uses it so
  // that what is drawn is what was measured.
  struct ScaledFont {
    QFont font;
    float scale = 1;
  };
  const ScaledFont& Font(const layout::FontDescription& font);
  // The installed family a CSS family list resolves to ("verdana, arial" -> "Liberation Sans").
  QString ResolveFamily(const std::string& cssFamilies);

 private:
  struct Entry {
    ScaledFont font;        // for painting
    ScaledFont measure;     // for measuring: always enlarged, for advances as exact as a browser's
    QFontMetricsF metrics;  // of `measure`
    layout::VerticalMetrics vertical;
    std::unordered_map<std::u16string, float> advances;  // per word: the layout measures word by word
    std::unordered_map<std::u16string, std::vector<float>> carets;  // per word with its spaces
  };
  const std::vector<float>& PieceCarets(Entry& entry, std::u16string_view piece);
  Entry& EntryFor(const layout::FontDescription& font);
  Entry& FindOrCreateEntry(const layout::FontDescription& font);
  QString InstalledFamily(const QString& cssName);

  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;  // by description key
  std::unordered_map<std::string, QString> families_;                // by CSS family list
  std::vector<QString> installed_;                                   // lower case
  std::vector<QString> installedNames_;                              // as Qt spells them
  QString serif_, sansSerif_, monospace_;
  layout::FontDescription lastDescription_;
  Entry* lastEntry_ = nullptr;  // entries never move: they are held by unique_ptr
};

}  // namespace lectryn::desktop
