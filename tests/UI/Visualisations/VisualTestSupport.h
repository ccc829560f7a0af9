#pragma once

#include "FernwickUI/Visualisations/VisualisationView.h"
#include "tests/Support/TextRecorder.h"
#include "tests/Support/TreeBuilder.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace fernwick::test {

/// The menu's entries in order; a separator reads "-".
inline QStringList menuTexts(const QMenu& menu) {
    QStringList texts;
    for (const auto* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

/// How many pixels of the entry whose text is `text` are drawn in a strong red (the text of a
/// destructive entry); -1 when the menu has no such entry.
inline int redPixelsOfEntry(QMenu& menu, const QString& text) {
    menu.ensurePolished();
    menu.adjustSize();
    QImage image(menu.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    menu.render(&image);
    for (auto* action : menu.actions()) {
        if (action->text() != text) {
            continue;
        }
        const QRect entry = menu.actionGeometry(action) & image.rect();
        int red = 0;
        for (int y = entry.top(); y <= entry.bottom(); ++y) {
            for (int x = entry.left(); x <= entry.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                red += pixel.red() > 150 && pixel.green() < pixel.red() / 2 &&
                       pixel.blue() < pixel.red() / 2;
            }
        }
        return red;
    }
    return -1;
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

/// A double click as the window system delivers it: press, release, press, double click,
/// release.
inline void doubleClick(QWidget& view, QPoint pos) {
    QTest::mousePress(&view, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, pos);
    QTest::mousePress(&view, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, pos);
}

/// For a mode that tells a double click from a click first: a double click on the file selects
/// nothing and enters nothing, one on the folder enters it and selects nothing, and a click on
/// the file selects it once the double-click interval has passed. The caller checks
/// QTest::currentTestFailed() afterwards.
inline void checkDoubleClickFirst(ui::VisualisationView& view, QPoint onFile,
                                  const DiskNodePtr& file, QPoint onFolder,
                                  const DiskNodePtr& folder) {
    QSignalSpy selected(&view, &ui::VisualisationView::selectRequested);
    QSignalSpy drilled(&view, &ui::VisualisationView::drillDownRequested);
    doubleClick(view, onFile);
    QVERIFY(!view.hasPendingClick());
    QCOMPARE(selected.size(), 0);
    QCOMPARE(drilled.size(), 0);
    doubleClick(view, onFolder);
    QVERIFY(!view.hasPendingClick());
    QCOMPARE(selected.size(), 0);
    QCOMPARE(drilled.size(), 1);
    QCOMPARE(drilled.at(0).at(0).value<DiskNodePtr>(), folder);
    QTest::mouseClick(&view, Qt::LeftButton, {}, onFile);
    QVERIFY(view.hasPendingClick());
    QTRY_COMPARE(selected.size(), 1);
    QCOMPARE(selected.at(0).at(0).value<DiskNodePtr>(), file);
}

/// Clicks the file, double-clicks it, double-clicks the folder and clicks empty space: a click
/// selects, a double click drills into a folder only, and empty space does nothing. The caller
/// checks QTest::currentTestFailed() afterwards.
inline void checkClicks(ui::VisualisationView& view, QPoint onFile, const DiskNodePtr& file,
                        QPoint onFolder, const DiskNodePtr& folder, QPoint onNothing) {
    QSignalSpy selected(&view, &ui::VisualisationView::selectRequested);
    QSignalSpy drilled(&view, &ui::VisualisationView::drillDownRequested);
    QTest::mouseClick(&view, Qt::LeftButton, {}, onFile);
    QTRY_COMPARE(selected.size(), 1); // at once, or after the double-click interval
    QCOMPARE(selected.at(0).at(0).value<DiskNodePtr>(), file);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, onFile);
    QCOMPARE(drilled.size(), 0);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, onFolder);
    QCOMPARE(drilled.size(), 1);
    QCOMPARE(drilled.at(0).at(0).value<DiskNodePtr>(), folder);
    const auto before = selected.size();
    QTest::mouseClick(&view, Qt::LeftButton, {}, onNothing);
    QVERIFY(!view.hasPendingClick());
    QCOMPARE(selected.size(), before);
    QCOMPARE(drilled.size(), 1);
}

/// A node of `size` bytes with a fresh id, of `category`, holding `children` (summed for a
/// folder).
inline DiskNodePtr wideFolderNode(const std::string& path, bool isDirectory, std::int64_t size,
                                  StorageCategory category,
                                  std::vector<DiskNodePtr> children = {}) {
    const auto node = makeNode(path, size, size, isDirectory, std::move(children));
    writable(node->category) = category;
    if (isDirectory) {
        node->recalculateTotalSize();
    }
    return node;
}

/// A folder of `count` children of long-tailed sizes (every hundredth 200 times larger) and
/// varied categories; every tenth child is a folder of twenty files.
inline DiskNodePtr wideFolder(int count) {
    std::mt19937_64 random(7);
    const auto& categories = allStorageCategories();
    std::vector<DiskNodePtr> children;
    for (int i = 0; i < count; ++i) {
        const std::string path = "/w/item" + std::to_string(i);
        const auto category = categories[static_cast<std::size_t>(i * 7) % categories.size()];
        const auto size =
            static_cast<std::int64_t>(1000 + random() % 1000000) * (i % 100 == 0 ? 200 : 1);
        if (i % 10 == 0) {
            std::vector<DiskNodePtr> files;
            for (int j = 0; j < 20; ++j) {
                files.push_back(
                    wideFolderNode(path + "/f" + std::to_string(j), false, size / 20 + j,
                                   categories[static_cast<std::size_t>(j) % categories.size()]));
            }
            children.push_back(wideFolderNode(path, true, 0, category, std::move(files)));
        } else {
            children.push_back(wideFolderNode(path + ".bin", false, size, category));
        }
    }
    return wideFolderNode("/w", true, 0, StorageCategory::other, std::move(children));
}

/// The texts `draw` paints into a device of `size` that hold a digit (sizes, counts,
/// percentages), and those of them drawn cut (elided, or reaching outside the clip or the
/// device): the second list should be empty. Names in such tests hold no digits.
template <typename Draw> std::pair<QStringList, QStringList> paintedNumbers(QSize size, Draw draw) {
    TextRecorder recorder(size);
    {
        QPainter painter(&recorder);
        draw(painter);
    }
    const auto hasDigit = [](const QString& text) {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    };
    QStringList numbers;
    QStringList cut;
    for (const QString& text : recorder.texts()) {
        if (hasDigit(text)) {
            numbers << text;
            if (text.contains(QChar(0x2026)) || recorder.cut().contains(text)) {
                cut << text;
            }
        }
    }
    return {numbers, cut};
}

/// Sends a pointer move to `pos` (view coordinates), as the pointer moving over the view does.
inline void movePointer(QWidget& view, QPointF pos) {
    QMouseEvent move(QEvent::MouseMove, pos, view.mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}

/// What the view shows in a frame (its own paint path) on a transparent image.
inline QImage shownPicture(QWidget& view) {
    const qreal ratio = view.devicePixelRatioF();
    QImage image((QSizeF(view.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

/// The view drawn whole, every item in full, straight onto a transparent image (drawPlain).
template <typename View> QImage plainPicture(const View& view) {
    const qreal ratio = view.devicePixelRatioF();
    QImage image((QSizeF(view.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    view.drawPlain(painter);
    return image;
}

/// Where two pictures first differ ("x,y: shown vs plain"), empty when they are equal.
inline QString firstDifference(const QImage& shown, const QImage& plain) {
    if (shown.size() != plain.size()) {
        return QStringLiteral("sizes differ");
    }
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.pixel(x, y) != plain.pixel(x, y)) {
                return QStringLiteral("%1,%2: %3 vs %4")
                    .arg(x)
                    .arg(y)
                    .arg(shown.pixel(x, y), 8, 16)
                    .arg(plain.pixel(x, y), 8, 16);
            }
        }
    }
    return {};
}

/// Moves the pointer through `points` (and finally off the view) and checks after each step
/// that the view's frame equals its plain whole draw. The caller checks
/// QTest::currentTestFailed() afterwards.
template <typename View>
void checkFramesEqualPlainDraw(View& view, const std::vector<QPointF>& points) {
    QCOMPARE(firstDifference(shownPicture(view), plainPicture(view)), QString());
    for (const QPointF& point : points) {
        movePointer(view, point);
        QCOMPARE(firstDifference(shownPicture(view), plainPicture(view)), QString());
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);
    QCOMPARE(firstDifference(shownPicture(view), plainPicture(view)), QString());
}

} // namespace fernwick::test
