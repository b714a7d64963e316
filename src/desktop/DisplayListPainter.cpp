#include "desktop/DisplayListPainter.h"

#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <optional>
#include <variant>

#include "engine/layout/Controls.h"

namespace lectryn::desktop {
namespace {

namespace layout = engine::layout;
namespace css = engine::css;

QColor ToQColor(const css::Color& color) {
  return QColor(color.r, color.g, color.b, color.a);
}
QRectF ToQRect(const layout::Rect& rect) {
  return QRectF(rect.x, rect.y, rect.w, rect.h);
}
QString ToQString(const std::u16string& text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// The page area an item can paint in; nullopt for the clip markers, which always apply.
std::optional<layout::Rect> Bounds(const layout::DisplayItem& item) {
  return std::visit(
      [](const auto& it) -> std::optional<layout::Rect> {
        using T = std::decay_t<decltype(it)>;
        if constexpr (std::is_same_v<T, layout::TextItem>) {
          // Generous: glyphs reach beyond the advance (italics) and the line (accents, underlines).
          float size = it.font.sizePx;
          return layout::Rect{it.x - size, it.baseline - 1.5F * size, it.width + 2 * size, 2.2F * size};
        } else if constexpr (std::is_same_v<T, layout::ShadowItem>) {
          return layout::Rect{it.rect.x - it.blur, it.rect.y - it.blur, it.rect.w + 2 * it.blur,
                              it.rect.h + 2 * it.blur};
        } else if constexpr (std::is_same_v<T, layout::PushClipItem> ||
                             std::is_same_v<T, layout::PopClipItem>) {
          return std::nullopt;
        } else {
          return it.rect;
        }
      },
      item);
}

// The shading of 3D borders: the lit and the shadowed side of a colour.
QColor Lit(const QColor& color) {
  if (color.lightness() == 0) return QColor(128, 128, 128, color.alpha());
  return color.lighter(140);
}
QColor Shadowed(const QColor& color) {
  if (color.lightness() == 0) return QColor(0, 0, 0, color.alpha());
  return color.darker(150);
}

}  // namespace

void DisplayListPainter::Paint(QPainter& painter, const layout::DisplayList& list, layout::Point scroll,
                               const QRectF& exposed) {
  painter.save();
  painter.setClipRect(exposed, Qt::IntersectClip);
  painter.fillRect(exposed, ToQColor(list.canvas));
  painter.translate(-scroll.x, -scroll.y);
  layout::Rect visible{static_cast<float>(exposed.x()) + scroll.x, static_cast<float>(exposed.y()) + scroll.y,
                       static_cast<float>(exposed.width()), static_cast<float>(exposed.height())};
  int openClips = 0;
  for (const layout::DisplayItem& item : list.items) {
    if (std::holds_alternative<layout::PushClipItem>(item)) {
      painter.save();
      painter.setClipRect(ToQRect(std::get<layout::PushClipItem>(item).rect), Qt::IntersectClip);
      ++openClips;
      continue;
    }
    if (std::holds_alternative<layout::PopClipItem>(item)) {
      if (openClips > 0) {
        painter.restore();
        --openClips;
      }
      continue;
    }
    std::optional<layout::Rect> bounds = Bounds(item);
    if (bounds && !bounds->Intersects(visible)) continue;
    std::visit(
        [&](const auto& it) {
          using T = std::decay_t<decltype(it)>;
          if constexpr (!std::is_same_v<T, layout::PushClipItem> && !std::is_same_v<T, layout::PopClipItem>)
            PaintItem(painter, it);
        },
        item);
  }
  for (; openClips > 0; --openClips) painter.restore();
  painter.restore();
}

namespace {

bool Rounded(const layout::CornerRadii& radii) {
  return std::any_of(radii.begin(), radii.end(), [](float r) { return r > 0; });
}

// A rectangle with its corners rounded by `radii`, its sides moved in by `insets` (top, right,
// bottom, left: the inner edge of a border of those widths).
QPainterPath RoundedRect(const layout::Rect& r, const layout::CornerRadii& radii,
                         const std::array<float, 4>& insets = {}) {
  QPainterPath path;
  const float top = insets[0], right = insets[1], bottom = insets[2], left = insets[3];
  const QRectF box(r.x + left, r.y + top, std::max(0.0F, r.w - left - right), std::max(0.0F, r.h - top - bottom));
  static constexpr size_t kSides[4][2] = {{3, 0}, {0, 1}, {1, 2}, {2, 3}};  // each corner's two sides
  auto radius = [&](size_t corner) {
    return static_cast<qreal>(
        std::max(0.0F, radii[corner] - std::max(insets[kSides[corner][0]], insets[kSides[corner][1]])));
  };
  const qreal tl = radius(0), tr = radius(1), br = radius(2), bl = radius(3);
  path.moveTo(box.left() + tl, box.top());
  path.lineTo(box.right() - tr, box.top());
  if (tr > 0) path.arcTo(box.right() - 2 * tr, box.top(), 2 * tr, 2 * tr, 90, -90);
  path.lineTo(box.right(), box.bottom() - br);
  if (br > 0) path.arcTo(box.right() - 2 * br, box.bottom() - 2 * br, 2 * br, 2 * br, 0, -90);
  path.lineTo(box.left() + bl, box.bottom());
  if (bl > 0) path.arcTo(box.left(), box.bottom() - 2 * bl, 2 * bl, 2 * bl, 270, -90);
  path.lineTo(box.left(), box.top() + tl);
  if (tl > 0) path.arcTo(box.left(), box.top(), 2 * tl, 2 * tl, 180, -90);
  path.closeSubpath();
  return path;
}

}  // namespace

void DisplayListPainter::PaintItem(QPainter& painter, const layout::FillRectItem& item) {
  if (item.color.IsTransparent() || item.rect.Empty()) return;
  if (!Rounded(item.radii)) {
    painter.fillRect(ToQRect(item.rect), ToQColor(item.color));
    return;
  }
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(RoundedRect(item.rect, item.radii), ToQColor(item.color));
  painter.restore();
}

// A blurred shadow as rings of falling strength around its shape, never inside the box.
void DisplayListPainter::PaintItem(QPainter& painter, const layout::ShadowItem& item) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath outside;
  const layout::Rect reach{item.rect.x - item.blur - 1, item.rect.y - item.blur - 1, item.rect.w + 2 * item.blur + 2,
                           item.rect.h + 2 * item.blur + 2};
  outside.addRect(ToQRect(reach));
  painter.setClipPath(outside.subtracted(RoundedRect(item.box, item.radii)), Qt::IntersectClip);
  const int steps = item.blur > 0 ? std::clamp(static_cast<int>(item.blur), 2, 8) : 1;
  QColor color = ToQColor(item.color);
  color.setAlphaF(color.alphaF() / steps);
  for (int i = 0; i < steps; ++i) {
    // From the outer edge of the blur (half of it outside the shape) to its inner edge.
    const float grow = steps == 1 ? 0 : item.blur / 2 - item.blur * static_cast<float>(i) / static_cast<float>(steps - 1);
    layout::CornerRadii radii = item.radii;
    for (float& r : radii) r = std::max(0.0F, r + grow);
    const layout::Rect ring{item.rect.x - grow, item.rect.y - grow, item.rect.w + 2 * grow, item.rect.h + 2 * grow};
    if (ring.w > 0 && ring.h > 0) painter.fillPath(RoundedRect(ring, radii), color);
  }
  painter.restore();
}

void DisplayListPainter::PaintItem(QPainter& painter, const layout::BorderItem& item) {
  if (!Rounded(item.radii)) {
    for (int side = 0; side < 4; ++side) PaintBorderSide(painter, item, side);
    return;
  }
  // Rounded: the sides are painted as they are, within the ring between the rounded outer edge and
  // the inner one.
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath ring = RoundedRect(item.rect, item.radii).subtracted(RoundedRect(item.rect, item.radii, item.widths));
  painter.setClipPath(ring, Qt::IntersectClip);
  for (int side = 0; side < 4; ++side) PaintBorderSide(painter, item, side);
  painter.restore();
}

// One side of a border as the trapezoid between the outer and the inner edge, so that corners
// meet on the diagonal; dashes and dots are stroked along the side's middle.
void DisplayListPainter::PaintBorderSide(QPainter& painter, const layout::BorderItem& item, int side) {
  float width = item.widths[static_cast<size_t>(side)];
  css::BorderStyle style = item.styles[static_cast<size_t>(side)];
  css::Color color = item.colors[static_cast<size_t>(side)];
  if (width <= 0 || style == css::BorderStyle::None || style == css::BorderStyle::Hidden ||
      color.IsTransparent())
    return;
  const layout::Rect& r = item.rect;
  float top = item.widths[css::kTop], right = item.widths[css::kRight];
  float bottom = item.widths[css::kBottom], left = item.widths[css::kLeft];
  // The side's band between an outer and an inner rectangle, each given as fractions of the widths.
  auto band = [&](float outer, float inner) {
    QPointF o0, o1, i1, i0;
    auto at = [&](float f) {
      return std::array<QPointF, 2>{QPointF(r.x + left * f, r.y + top * f),
                                    QPointF(r.Right() - right * f, r.Bottom() - bottom * f)};
    };
    auto out = at(outer), in = at(inner);
    switch (side) {
      case css::kTop:
        o0 = out[0], o1 = {out[1].x(), out[0].y()}, i1 = {in[1].x(), in[0].y()}, i0 = in[0];
        break;
      case css::kRight:
        o0 = {out[1].x(), out[0].y()}, o1 = out[1], i1 = in[1], i0 = {in[1].x(), in[0].y()};
        break;
      case css::kBottom:
        o0 = out[1], o1 = {out[0].x(), out[1].y()}, i1 = {in[0].x(), in[1].y()}, i0 = in[1];
        break;
      default:
        o0 = {out[0].x(), out[1].y()}, o1 = out[0], i1 = in[0], i0 = {in[0].x(), in[1].y()};
        break;
    }
    return QPolygonF({o0, o1, i1, i0});
  };
  auto fill = [&](const QPolygonF& polygon, const QColor& c) {
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    painter.fillPath(path, c);
  };
  QColor base = ToQColor(color);
  bool litSide = side == css::kTop || side == css::kLeft;  // lit from the top left
  switch (style) {
    case css::BorderStyle::Dashed:
    case css::BorderStyle::Dotted: {
      QPen pen(base, width, style == css::BorderStyle::Dashed ? Qt::DashLine : Qt::DotLine,
               style == css::BorderStyle::Dotted ? Qt::RoundCap : Qt::FlatCap);
      painter.save();
      painter.setPen(pen);
      QPolygonF middle = band(0.5F, 0.5F);
      painter.drawLine(middle[0], middle[1]);
      painter.restore();
      break;
    }
    case css::BorderStyle::Double:
      if (width >= 3) {
        fill(band(0, 1.0F / 3), base);
        fill(band(2.0F / 3, 1), base);
      } else {
        fill(band(0, 1), base);
      }
      break;
    case css::BorderStyle::Inset:
      fill(band(0, 1), litSide ? Shadowed(base) : Lit(base));
      break;
    case css::BorderStyle::Outset:
      fill(band(0, 1), litSide ? Lit(base) : Shadowed(base));
      break;
    case css::BorderStyle::Groove:
      fill(band(0, 0.5F), litSide ? Shadowed(base) : Lit(base));
      fill(band(0.5F, 1), litSide ? Lit(base) : Shadowed(base));
      break;
    case css::BorderStyle::Ridge:
      fill(band(0, 0.5F), litSide ? Lit(base) : Shadowed(base));
      fill(band(0.5F, 1), litSide ? Shadowed(base) : Lit(base));
      break;
    default:
      fill(band(0, 1), base);
      break;
  }
}

void DisplayListPainter::PaintItem(QPainter& painter, const layout::TextItem& item) {
  if (!item.color.IsTransparent() && !item.text.empty()) {
    const QtFontMetrics::ScaledFont& font = fonts_.Font(item.font);
    painter.setFont(font.font);
    painter.setPen(ToQColor(item.color));
    if (font.scale == 1) {
      painter.drawText(QPointF(item.x, item.baseline), ToQString(item.text));
    } else {
      painter.save();
      painter.translate(item.x, item.baseline);
      painter.scale(font.scale, font.scale);
      painter.drawText(QPointF(0, 0), ToQString(item.text));
      painter.restore();
    }
  }
  if (item.decorations != css::kDecorationNone) PaintDecorations(painter, item);
}

void DisplayListPainter::PaintDecorations(QPainter& painter, const layout::TextItem& item) {
  const QtFontMetrics::ScaledFont& font = fonts_.Font(item.font);
  QFontMetricsF metrics(font.font);
  auto thickness = static_cast<float>(std::max(1.0, std::round(metrics.lineWidth() * font.scale)));
  layout::VerticalMetrics vertical = fonts_.Vertical(item.font);
  QColor color = ToQColor(item.decorationColor);
  auto line = [&](double y) {
    painter.fillRect(QRectF(item.x, std::round(y), item.width, thickness), color);
  };
  if (item.decorations & css::kUnderline)
    line(item.baseline + std::max(1.0, metrics.underlinePos() * font.scale));
  if (item.decorations & css::kOverline) line(item.baseline - vertical.ascent);
  if (item.decorations & css::kLineThrough)
    line(item.baseline - metrics.strikeOutPos() * font.scale - thickness / 2);
}

void DisplayListPainter::PaintItem(QPainter& painter, const layout::MarkerItem& item) {
  QColor color = ToQColor(item.color);
  QRectF rect = ToQRect(item.rect);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  switch (item.type) {
    case css::ListStyleType::Square:
      painter.fillRect(rect, color);
      break;
    case css::ListStyleType::Circle:
      painter.setPen(QPen(color, 1));
      painter.setBrush(Qt::NoBrush);
      painter.drawEllipse(rect.adjusted(0.5, 0.5, -0.5, -0.5));
      break;
    default:
      painter.setPen(Qt::NoPen);
      painter.setBrush(color);
      painter.drawEllipse(rect);
      break;
  }
  painter.restore();
}

// An image that is never fetched: a light frame with the alternative text inside it.
void DisplayListPainter::PaintItem(QPainter& painter, const layout::ImageItem& item) {
  if (item.rect.Empty()) return;
  QRectF rect = ToQRect(item.rect);
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.setPen(QPen(QColor(192, 192, 192), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
  if (!item.alt.empty()) {
    painter.setFont(fonts_.Font(layout::AltTextFont()).font);
    painter.setPen(QColor(0, 0, 0));
    painter.drawText(rect.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     ToQString(item.alt));
  }
  painter.restore();
}

}  // namespace lectryn::desktop
