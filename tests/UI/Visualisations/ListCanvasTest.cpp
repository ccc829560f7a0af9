#include "FernwickUI/Visualisations/ListCanvas.h"
#include "tests/Support/TreeBuilder.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace fernwick;
using namespace fernwick::ui;

class ListCanvasTest : public QObject {
    Q_OBJECT
private slots:
    // A folder with more rows than fit scrolls to its last row, which can then be clicked.
    void scrollsToTheLastRowAndRevealsIt() {
        for (const int count : {45, 10000}) {
            QScrollArea area;
            area.setWidgetResizable(true);
            area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            auto* list = new ListCanvas;
            area.setWidget(list);
            area.resize(1050, 700);
            const auto root = test::makeFolderOfFiles("/r", count, [](int i) { return 1000 + i; });
            list->setRoot(root);
            area.show();
            QVERIFY(QTest::qWaitForWindowExposed(&area));
            QCoreApplication::processEvents();
            const int last = count - 1;
            QVERIFY(area.verticalScrollBar()->maximum() > 0);
            QCOMPARE(list->height(), list->heightForWidth(list->width()));
            area.ensureVisible(0, static_cast<int>(list->rowRect(last).bottom()), 0, 0);
            QCoreApplication::processEvents();
            const QPoint reveal = list->revealRect(last).center().toPoint();
            const QPoint inViewport = list->mapTo(area.viewport(), reveal);
            QVERIFY(area.viewport()->rect().contains(inViewport));
            QSignalSpy revealed(list, &ListCanvas::revealRequested);
            QTest::mouseClick(list, Qt::LeftButton, {}, reveal);
            QCOMPARE(revealed.size(), 1);
            QCOMPARE(revealed.at(0).at(0).value<DiskNodePtr>(), root->children.back());
        }
    }
};

QTEST_MAIN(ListCanvasTest)
#include "ListCanvasTest.moc"
