#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Kit/Painting.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QtTest>

using namespace fernwick::ui;

// Its own executable: the icon font must not have been registered by an earlier test.
class DarkAppearanceTest : public QObject {
    Q_OBJECT
private slots:
    // Registering a font empties every font the thread has loaded, with their rasterised glyphs:
    // registered on the first icon drawn, the frame around it loads all its fonts again, and on
    // a pool thread it would change the font database under the GUI thread.
    void theIconFontIsRegisteredWithTheAppearanceNotByTheFirstIcon() {
        applyDarkAppearance(static_cast<QApplication&>(*QCoreApplication::instance()));
        QSignalSpy changed(qApp, &QGuiApplication::fontDatabaseChanged);
        QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        drawSystemIcon(painter, QRectF(0, 0, 32, 32), "folder.fill", 18, Qt::white);
        painter.end();
        QCOMPARE(changed.count(), 0);
        QVERIFY(image.pixelColor(16, 16).alpha() > 0 || image.pixelColor(16, 20).alpha() > 0);
    }

    // Every scroll bar of the window is drawn one way: a dark track without arrow buttons and a
    // lighter handle that takes the whole length but the handle's own.
    void scrollBarsAreDarkWithoutArrowButtons() {
        applyDarkAppearance(static_cast<QApplication&>(*QCoreApplication::instance()));
        QScrollBar bar(Qt::Vertical);
        bar.setRange(0, 100);
        bar.setPageStep(100);
        bar.setValue(100);
        bar.resize(bar.sizeHint().width(), 300);
        QStyleOptionSlider option;
        option.initFrom(&bar);
        option.orientation = Qt::Vertical;
        option.minimum = 0;
        option.maximum = 100;
        option.pageStep = 100;
        option.sliderPosition = 100;
        option.sliderValue = 100;
        option.rect = bar.rect();
        QStyle* style = bar.style();
        QVERIFY(
            style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, &bar)
                .isEmpty());
        QVERIFY(
            style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSubLine, &bar)
                .isEmpty());
        QCOMPARE(
            style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, &bar)
                .height(),
            300);
        const QImage image = bar.grab().toImage();
        const QRect handle =
            style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
        const int x = image.width() / 2;
        QVERIFY(qGray(image.pixel(x, 2)) < 50); // the track's end: no arrow drawn
        QVERIFY(qGray(image.pixel(x, handle.center().y())) > qGray(image.pixel(x, 2)));
    }
};

QTEST_MAIN(DarkAppearanceTest)
#include "DarkAppearanceTest.moc"
