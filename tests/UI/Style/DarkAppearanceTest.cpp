#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Kit/Painting.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
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
};

QTEST_MAIN(DarkAppearanceTest)
#include "DarkAppearanceTest.moc"
