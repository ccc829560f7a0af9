#include "FernwickUI/MainWindow/CrumbTrail.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace fernwick::ui;

class CrumbTrailTest : public QObject {
    Q_OBJECT

private slots:
    // A mouse's vertical wheel scrolls the trail as a horizontal wheel does: turned up towards
    // its start, turned down back towards its end.
    void bothWheelsScrollTheTrail() {
        CrumbTrail trail;
        trail.setTrail(std::vector<QString>(12, QStringLiteral("Folder-with-a-long-name")));
        trail.resize(200, trail.height());
        trail.show();
        QScrollBar* bar = trail.horizontalScrollBar();
        const auto turn = [&](QPoint delta) {
            const QPointF at(10, 5);
            QWheelEvent event(at, at, QPoint(), delta, Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(trail.viewport(), &event);
            return bar->value();
        };
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        const int up = turn(QPoint(0, 120));
        QVERIFY(up < bar->maximum());
        QVERIFY(turn(QPoint(0, -120)) > up);
        QVERIFY(turn(QPoint(120, 0)) < bar->maximum());
    }
};

QTEST_MAIN(CrumbTrailTest)
#include "CrumbTrailTest.moc"
