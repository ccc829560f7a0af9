#include "FernwickUI/MainWindow/CrumbTrail.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace fernwick::ui;

class CrumbTrailTest : public QObject {
    Q_OBJECT

    // One notch of a wheel over the trail's row, turned along `delta`.
    static void turnWheel(CrumbTrail& trail, QPoint delta) {
        const QPointF at = QPointF(trail.viewport()->rect().center());
        QWheelEvent event(at, trail.viewport()->mapToGlobal(at), QPoint(), delta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(trail.viewport(), &event);
    }

private slots:
    // A mouse's wheel turns vertically: it scrolls the trail as a horizontal wheel does,
    // towards its start when turned up and back to its end when turned down.
    void bothWheelsScrollTheTrail() {
        CrumbTrail trail;
        std::vector<QString> names;
        for (int i = 0; i < 12; ++i) {
            names.push_back(QStringLiteral("Folder-with-a-long-name-%1").arg(i));
        }
        trail.setTrail(names);
        trail.resize(200, trail.height());
        trail.show();
        QScrollBar* bar = trail.horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        turnWheel(trail, QPoint(0, 120));
        QVERIFY2(bar->value() < bar->maximum(), qPrintable(QString::number(bar->value())));
        const int up = bar->value();
        turnWheel(trail, QPoint(0, -120));
        QVERIFY(bar->value() > up);
        turnWheel(trail, QPoint(120, 0));
        QVERIFY(bar->value() < bar->maximum());
    }
};

QTEST_MAIN(CrumbTrailTest)
#include "CrumbTrailTest.moc"
