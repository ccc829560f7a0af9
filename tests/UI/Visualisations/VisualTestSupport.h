#pragma once

#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QAction>
#include <QColor>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
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

/// Clicks the file, double-clicks it, double-clicks the folder and clicks empty space: a click
/// selects, a double click drills into a folder only, and empty space does nothing. The caller
/// checks QTest::currentTestFailed() afterwards.
inline void checkClicks(ui::VisualisationView& view, QPoint onFile, const DiskNodePtr& file,
                        QPoint onFolder, const DiskNodePtr& folder, QPoint onNothing) {
    QSignalSpy selected(&view, &ui::VisualisationView::selectRequested);
    QSignalSpy drilled(&view, &ui::VisualisationView::drillDownRequested);
    QTest::mouseClick(&view, Qt::LeftButton, {}, onFile);
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.at(0).at(0).value<DiskNodePtr>(), file);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, onFile);
    QCOMPARE(drilled.size(), 0);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, onFolder);
    QCOMPARE(drilled.size(), 1);
    QCOMPARE(drilled.at(0).at(0).value<DiskNodePtr>(), folder);
    const auto before = selected.size();
    QTest::mouseClick(&view, Qt::LeftButton, {}, onNothing);
    QCOMPARE(selected.size(), before);
    QCOMPARE(drilled.size(), 1);
}

} // namespace fernwick::test
