#include "FernwickUI/Kit/Painting.h"

#include "FernwickUI/Style/SystemIcons.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>
#include <cmath>

namespace fernwick::ui {

QRectF toQRect(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

QString displayText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString fittedName(const QString& name, const QFontMetricsF& metrics, double room) {
    if (room <= 0) {
        return {};
    }
    QString elided = metrics.elidedText(name, Qt::ElideRight, room);
    return metrics.horizontalAdvance(elided) <= room ? elided : QString();
}

namespace {

// The length of `text`'s first `count` letters, in UTF-16 units (a letter with its marks, or a
// pair of surrogates, is one letter).
qsizetype lettersLength(const QString& text, int count) {
    QTextBoundaryFinder letters(QTextBoundaryFinder::Grapheme, text);
    for (int i = 0; i < count; ++i) {
        if (letters.toNextBoundary() < 0) {
            return text.size();
        }
    }
    return letters.position();
}

// Relative luminance of each 8-bit sRGB level, made once.
const std::array<double, 256>& linearLevels() {
    static const std::array<double, 256> levels = [] {
        std::array<double, 256> table{};
        for (std::size_t i = 0; i < table.size(); ++i) {
            const double c = static_cast<double>(i) / 255;
            table[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return table;
    }();
    return levels;
}

double luminance(const QColor& colour) {
    const QRgb rgb = colour.rgb();
    const auto& levels = linearLevels();
    return 0.2126 * levels[static_cast<std::size_t>(qRed(rgb))] +
           0.7152 * levels[static_cast<std::size_t>(qGreen(rgb))] +
           0.0722 * levels[static_cast<std::size_t>(qBlue(rgb))];
}

} // namespace

NameAndNumber fitNameAndNumber(const QString& name, const QFontMetricsF& nameMetrics,
                               const QString& number, const QFontMetricsF& numberMetrics,
                               double room, double gap) {
    constexpr int kLettersKept = 4;
    if (!number.isEmpty()) {
        const double numberWidth = numberMetrics.horizontalAdvance(number);
        QString elided = fittedName(name, nameMetrics, room - numberWidth - gap);
        // The elided name keeps a prefix of the name; its ellipsis is not part of it.
        const qsizetype kept =
            std::mismatch(elided.begin(), elided.end(), name.begin(), name.end()).first -
            elided.begin();
        if (elided == name || (!elided.isEmpty() && kept >= lettersLength(name, kLettersKept))) {
            return {std::move(elided), number, numberWidth};
        }
    }
    return {fittedName(name, nameMetrics, room), QString(), 0};
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor labelColourOn(const QColor& fill) {
    constexpr double kLeastContrast = 2;
    return contrastRatio(Qt::white, fill) >= kLeastContrast ? QColor(Qt::white)
                                                            : Palette::labelOnLightFill();
}

void drawSystemIcon(QPainter& painter, const QRectF& box, std::string_view name, double size,
                    const QColor& colour, Qt::Alignment alignment) {
    painter.save();
    painter.setFont(systemIconFont(size));
    painter.setPen(colour);
    painter.drawText(box, static_cast<int>(alignment), systemIconGlyph(name));
    painter.restore();
}

void drawLeftText(QPainter& painter, const QRectF& box, const QString& text) {
    const QFontMetricsF metrics(painter.font(), painter.device());
    const bool oneLine = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    });
    // At a fractional scale the two ways place the glyphs a fraction of a pixel apart.
    const QTransform& device = painter.deviceTransform();
    const bool wholeScale = device.type() <= QTransform::TxScale && device.m11() == device.m22() &&
                            device.m11() == std::round(device.m11());
    if (!oneLine || !wholeScale || metrics.height() > box.height()) {
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        return;
    }
    painter.drawText(
        QPointF(box.left(), box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent()),
        text);
}

void drawSoftShadow(QPainter& painter, const QRectF& rect, double cornerRadius,
                    const QColor& colour, double radius, double offsetY) {
    constexpr int kSteps = 4;
    painter.save();
    painter.setPen(Qt::NoPen);
    const QRectF base = rect.translated(0, offsetY);
    for (int step = kSteps; step >= 1; --step) {
        const double spread = radius * step / kSteps / 2;
        painter.setBrush(withOpacity(colour, 1.0 / kSteps));
        painter.drawRoundedRect(base.adjusted(-spread, -spread, spread, spread),
                                cornerRadius + spread, cornerRadius + spread);
    }
    painter.restore();
}

void warmUpFonts(std::initializer_list<QFont> fonts, std::initializer_list<std::string_view> icons,
                 double iconSize) {
    static const QString kCommon =
        QStringLiteral("0123456789 .,:;-_()[]%+&'/…KMGTB abcdefghijklmnopqrstuvwxyz "
                       "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const QFont& font : fonts) {
        painter.setFont(font);
        painter.drawText(QPointF(0, 40), kCommon);
        // Measured text takes the font as it is, not as drawn on a device.
        static_cast<void>(QFontMetricsF(font).horizontalAdvance(kCommon));
    }
    for (const std::string_view icon : icons) {
        drawSystemIcon(painter, QRectF(0, 0, 48, 48), icon, iconSize, Qt::white);
    }
}

} // namespace fernwick::ui
