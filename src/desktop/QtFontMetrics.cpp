#include "desktop/QtFontMetrics.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace lectryn::desktop {
namespace {

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// The installed family fontconfig picks for a name (its substitutions included).
QString MatchedFamily(const QString& name) {
  QFont font(name);
  return QFontInfo(font).family();
}

// Families a browser accepts in place of a missing one because their glyphs have the same advances.
const std::vector<std::vector<QString>>& MetricCompatibleGroups() {
  static const std::vector<std::vector<QString>> groups = {
      {"arial", "helvetica", "liberation sans", "arimo", "albany", "albany amt"},
      {"times new roman", "times", "liberation serif", "tinos", "thorndale", "thorndale amt"},
      {"courier new", "courier", "liberation mono", "cousine", "cumberland", "cumberland amt"},
  };
  return groups;
}

// Text is measured at this many times its size and scaled down: Qt sizes fonts in whole pixels and
// rounds advances to 1/64 px, a browser neither. Fractional sizes are drawn the same way.
constexpr float kEnlargement = 16;

// The font at `enlargement` times a CSS pixel size, rounded to Qt's whole pixels, with the scale
// that brings it back. Glyphs are scaled as FreeType sizes them for a browser: to 1/64 px, rounded
// down (10pt = 13.333px sets glyphs at 13.328px).
QtFontMetrics::ScaledFont Sized(QFont font, float sizePx, float enlargement) {
  font.setPixelSize(std::max(1, static_cast<int>(std::round(sizePx * enlargement))));
  float glyphSizePx = std::floor(sizePx * 64 + 0.001F) / 64;
  return {font, glyphSizePx / static_cast<float>(font.pixelSize())};
}

bool IsTrailSurrogateAfterLead(std::u16string_view text, size_t i) {
  return i > 0 && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 &&
         text[i - 1] <= 0xDBFF;
}

}  // namespace

QtFontMetrics::QtFontMetrics() {
  for (const QString& family : QFontDatabase::families()) {
    installed_.push_back(family.toLower());
    installedNames_.push_back(family);
  }
  // A browser's defaults on Linux: Times New Roman for serif (and for cursive and fantasy, which
  // have no font of their own here), Arial for sans-serif, fontconfig's monospace; each resolved
  // through fontconfig to what is installed.
  serif_ = MatchedFamily("Times New Roman");
  sansSerif_ = MatchedFamily("Arial");
  monospace_ = MatchedFamily("monospace");
}

QString QtFontMetrics::InstalledFamily(const QString& cssName) {
  if (cssName == "serif" || cssName == "cursive" || cssName == "fantasy") return serif_;
  if (cssName == "sans-serif") return sansSerif_;
  if (cssName == "monospace") return monospace_;
  auto found = std::find(installed_.begin(), installed_.end(), cssName);
  if (found != installed_.end()) return installedNames_[static_cast<size_t>(found - installed_.begin())];
  for (const auto& group : MetricCompatibleGroups()) {
    if (std::find(group.begin(), group.end(), cssName) == group.end()) continue;
    for (const QString& member : group) {
      auto match = std::find(installed_.begin(), installed_.end(), member);
      if (match != installed_.end()) return installedNames_[static_cast<size_t>(match - installed_.begin())];
    }
  }
  return {};
}

// CSS font matching, family part: the first family of the list that is installed; else the default.
QString QtFontMetrics::ResolveFamily(const std::string& cssFamilies) {
  auto cached = families_.find(cssFamilies);
  if (cached != families_.end()) return cached->second;
  QString resolved;
  for (const QString& part : QString::fromStdString(cssFamilies).split(',')) {
    QString name = part.trimmed();
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front())
      name = name.mid(1, name.size() - 2).trimmed();
    name = name.simplified().toLower();
    if (name.isEmpty()) continue;
    resolved = InstalledFamily(name);
    if (!resolved.isEmpty()) break;
  }
  if (resolved.isEmpty()) resolved = serif_;
  families_.emplace(cssFamilies, resolved);
  return resolved;
}

// The layout measures word after word in one font, so the last entry answers most calls without
// building a key.
QtFontMetrics::Entry& QtFontMetrics::EntryFor(const layout::FontDescription& description) {
  if (lastEntry_ == nullptr || !(description == lastDescription_)) {
    lastEntry_ = &FindOrCreateEntry(description);
    lastDescription_ = description;
  }
  return *lastEntry_;
}

QtFontMetrics::Entry& QtFontMetrics::FindOrCreateEntry(const layout::FontDescription& description) {
  std::string key = description.family + '\n' + std::to_string(description.sizePx) + '\n' +
                    std::to_string(description.weight) + (description.italic ? "i" : "n");
  auto found = entries_.find(key);
  if (found != entries_.end()) return *found->second;

  float sizePx = std::max(1.0F, description.sizePx);
  QFont font(ResolveFamily(description.family));
  font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(description.weight, 100, 900)));
  font.setItalic(description.italic);
  // Unhinted advances at fractional positions, as a browser lays text out.
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(true);
  ScaledFont enlarged = Sized(font, sizePx, kEnlargement);
  // Whole sizes paint at their own size (Qt caches those glyphs); fractional ones scaled down.
  ScaledFont paint = std::abs(sizePx - std::round(sizePx)) > 0.01F ? enlarged : Sized(font, sizePx, 1);

  auto entry = std::unique_ptr<Entry>(new Entry{paint, enlarged, QFontMetricsF(enlarged.font), {}, {}, {}});
  // A browser rounds ascent, descent and line gap each to whole pixels; normal line height is their sum.
  QRawFont raw = QRawFont::fromFont(enlarged.font);
  float ascent = std::round(static_cast<float>(raw.ascent()) * enlarged.scale);
  float descent = std::round(static_cast<float>(raw.descent()) * enlarged.scale);
  float gap = std::round(static_cast<float>(raw.leading()) * enlarged.scale);
  entry->vertical = {ascent, descent, ascent + descent + std::max(0.0F, gap)};
  return *entries_.emplace(std::move(key), std::move(entry)).first->second;
}

const QtFontMetrics::ScaledFont& QtFontMetrics::Font(const layout::FontDescription& font) {
  return EntryFor(font).font;
}

layout::VerticalMetrics QtFontMetrics::Vertical(const layout::FontDescription& font) {
  return EntryFor(font).vertical;
}

float QtFontMetrics::Advance(const layout::FontDescription& font, std::u16string_view text) {
  if (text.empty()) return 0;
  Entry& entry = EntryFor(font);
  auto found = entry.advances.find(std::u16string(text));
  if (found != entry.advances.end()) return found->second;
  auto advance = static_cast<float>(entry.metrics.horizontalAdvance(ToQString(text))) * entry.measure.scale;
  entry.advances.emplace(std::u16string(text), advance);
  return advance;
}

// The caret positions of one piece of text, shaped as a whole and kept per font: pieces are words
// with their spaces, which repeat all over a page.
const std::vector<float>& QtFontMetrics::PieceCarets(Entry& entry, std::u16string_view piece) {
  auto found = entry.carets.find(std::u16string(piece));
  if (found != entry.carets.end()) return found->second;
  std::vector<float> xs(piece.size() + 1, 0);
  QTextLayout shaped(ToQString(piece), entry.measure.font);
  shaped.beginLayout();
  QTextLine line = shaped.createLine();
  line.setNumColumns(static_cast<int>(piece.size()));
  shaped.endLayout();
  auto total = static_cast<float>(line.horizontalAdvance()) * entry.measure.scale;
  for (size_t i = 1; i < piece.size(); ++i) {
    // A caret between the halves of a surrogate pair stands where the character starts.
    xs[i] = IsTrailSurrogateAfterLead(piece, i)
                ? xs[i - 1]
                : std::clamp(static_cast<float>(line.cursorToX(static_cast<int>(i))) * entry.measure.scale,
                             xs[i - 1], total);
  }
  xs[piece.size()] = total;
  return entry.carets.emplace(std::u16string(piece), std::move(xs)).first->second;
}

// Shaping a whole paragraph at once costs time that grows with the square of its length (caret
// lookups walk the line), so the text is shaped word by word (each word with the spaces after it)
// and the pieces are joined with the kerning of the two characters that meet, which is what
// shaping the whole text gives for the scripts that separate words with spaces.
void QtFontMetrics::CaretPositions(const layout::FontDescription& font, std::u16string_view text,
                                   std::vector<float>& xs) {
  xs.assign(text.size() + 1, 0);
  if (text.empty()) return;
  Entry& entry = EntryFor(font);
  auto isSpace = [](char16_t c) { return c == u' ' || c == u'\t'; };
  auto isSurrogate = [](char16_t c) { return c >= 0xD800 && c <= 0xDFFF; };
  float x = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && !isSpace(text[end])) ++end;
    while (end < text.size() && isSpace(text[end])) ++end;
    const std::vector<float>& local = PieceCarets(entry, text.substr(start, end - start));
    for (size_t i = 1; i < local.size(); ++i) xs[start + i] = x + local[i];
    x += local.back();
    if (end < text.size() && !isSurrogate(text[end - 1]) && !isSurrogate(text[end])) {
      char16_t pair[2] = {text[end - 1], text[end]};
      x += Advance(font, {pair, 2}) - Advance(font, {pair, 1}) - Advance(font, {pair + 1, 1});
      xs[end] = x;
    }
    start = end;
  }
}

}  // namespace lectryn::desktop
