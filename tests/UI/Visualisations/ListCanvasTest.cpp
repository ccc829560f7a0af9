#include "FernwickUI/Visualisations/ListCanvas.h"
#include "tests/Support/TreeBuilder.h"
#include "tests/UI/Tools/ToolsHarness.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::TextRecorder;

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

    // A long name wraps whole and its row grows; the other rows keep their height, and the
    // rows below move down by what it grew.
    void aLongNameWrapsAndItsRowGrows() {
        QScrollArea area;
        area.setWidgetResizable(true);
        auto* list = new ListCanvas;
        area.setWidget(list);
        area.resize(500, 400);
        const std::string name = "Holiday recording from the summer trip to the northern coast, "
                                 "uncut, with every evening by the water.mov";
        const auto root =
            test::makeNode(std::filesystem::path("/r"), true, 0, StorageCategory::other,
                           {test::fileNode("/r/a.bin", 1000), test::fileNode("/r/" + name, 5000),
                            test::fileNode("/r/b.bin", 1000)});
        list->setRoot(root);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QCoreApplication::processEvents();
        QVERIFY(list->rowRect(1).height() > list->rowRect(0).height());
        QCOMPARE(list->rowRect(2).height(), list->rowRect(0).height());
        QCOMPARE(list->rowRect(2).top(), list->rowRect(1).bottom() + 1);
        TextRecorder recorder(list->size());
        list->render(&recorder);
        QVERIFY2(recorder.joined().contains(QString::fromStdString(name)),
                 qPrintable(recorder.joined()));
    }

    // Tab reaches each row's reveal button in turn, Shift+Tab comes back, and Space presses the
    // focused one; the focused button is scrolled into view.
    void tabWalksThroughTheRevealButtons() {
        QWidget window;
        auto* before = new QWidget(&window);
        before->setFocusPolicy(Qt::TabFocus);
        auto* area = new QScrollArea(&window);
        area->setWidgetResizable(true);
        area->setFocusPolicy(Qt::ClickFocus);
        auto* list = new ListCanvas;
        area->setWidget(list);
        area->setGeometry(0, 10, 600, 200);
        const auto root = test::makeFolderOfFiles("/r", 40, [](int i) { return 1000 + i; });
        list->setRoot(root);
        window.resize(600, 220);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        before->setFocus(Qt::TabFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
        QCOMPARE(list->focusedRow(), 0);
        QSignalSpy revealed(list, &ListCanvas::revealRequested);
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(list, Qt::Key_Tab);
        }
        QCOMPARE(list->focusedRow(), 30);
        const QPoint shown = list->mapTo(area->viewport(), list->revealRect(30).center().toPoint());
        QVERIFY(area->viewport()->rect().contains(shown));
        QTest::keyClick(list, Qt::Key_Space);
        QTest::keyClick(list, Qt::Key_Backtab);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(revealed.size(), 2);
        QCOMPARE(revealed.at(0).at(0).value<DiskNodePtr>(), root->children[30]);
        QCOMPARE(revealed.at(1).at(0).value<DiskNodePtr>(), root->children[29]);
    }
};

QTEST_MAIN(ListCanvasTest)
#include "ListCanvasTest.moc"
