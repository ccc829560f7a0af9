#pragma once

#include <QAction>
#include <QColor>
#include <QImage>
#include <QMenu>
#include <QStringList>
#include <QWidget>

#include <cmath>

namespace fernwick::test {

/// The menu's entries in order; a separator reads "-".
inline QStringList menuTexts(const QMenu& menu) {
    QStringList texts;
    for (const auto* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

/// Triggers the entry whose text is `text`; false when there is none.
inline bool triggerEntry(QMenu& menu, const QString& text) {
    for (auto* action : menu.actions()) {
        if (action->text() == text) {
            action->trigger();
            return true;
        }
    }
    return false;
}

/// The widget drawn offscreen at its current size.
inline QImage render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

/// Whether two colours differ by at most `tolerance` in each of red, green and blue.
inline bool near(const QColor& a, const QColor& b, int tolerance = 6) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace fernwick::test
