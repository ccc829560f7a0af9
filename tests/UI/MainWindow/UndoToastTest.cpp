#include "FernwickUI/MainWindow/UndoToast.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/Visualisations/InspectorBar.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::WindowHarness;

class UndoToastTest : public QObject {
    Q_OBJECT

    static bool holdsFocus(QWidget* widget) {
        QWidget* focused = QApplication::focusWidget();
        return focused != nullptr && (focused == widget || widget->isAncestorOf(focused));
    }

    // A scanned window with "gamma.bin" moved to the Trash and the toast in place.
    static bool trashGamma(WindowHarness& w) {
        w.state->trashNode(w.child("gamma.bin"));
        return QTest::qWaitFor([&] { return w.window->undoToast()->progress() == 1.0; }, 5000);
    }

private slots:
    // A click on the toast leaves the keys where they were: beside "Undo" the canvas keeps
    // them; after "Undo" over an open sheet the sheet has them, so Escape closes it at once.
    void clicksOnTheToastLeaveTheKeysWhereTheyWere() {
        WindowHarness w;
        w.open();
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QVERIFY(w.scanFixture());
        QWidget* canvas = w.window->resultCanvas()->canvas(w.state->storageVisualMode());
        canvas->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), canvas);
        QVERIFY(trashGamma(w));
        UndoToast* toast = w.window->undoToast();
        const QPoint beside(static_cast<int>(toast->undoRect().left()) / 2, toast->height() / 2);
        click(toast, beside);
        QCOMPARE(QApplication::focusWidget(), canvas);
        QVERIFY(toast->isPresented());

        w.state->setActiveModal(ActiveModal::history);
        w.h.settle();
        QDialog* sheet = w.window->sheet();
        QVERIFY(sheet != nullptr && holdsFocus(sheet));
        click(toast->undoButton());
        QTRY_VERIFY(std::filesystem::exists(w.h.tree / "fixture/gamma.bin"));
        w.h.settle();
        QVERIFY(holdsFocus(sheet));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
    }

    // Moved in another mode, then the Treemap shown while the toast is up: the toast rises
    // above the inspector as soon as the inspector shows, and returns to the bottom edge when
    // another mode hides it.
    void theToastKeepsClearOfTheInspectorWhateverChanged() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        w.state->setStorageVisualMode(StorageVisualMode::folders);
        w.h.settle();
        w.state->setSelectedNodeForInspection(w.child("Alpha"));
        QVERIFY(trashGamma(w));
        UndoToast* toast = w.window->undoToast();
        const auto toastBottom = [&] {
            return toast->mapTo(w.window.get(), toast->undoRect().bottomLeft().toPoint()).y();
        };
        const int resting = toastBottom();
        w.state->setStorageVisualMode(StorageVisualMode::treemap);
        w.h.settle();
        InspectorBar* inspector = w.window->resultCanvas()->treemapCanvas()->inspector();
        QTRY_VERIFY(inspector->isVisible());
        const auto inspectorTop = [&] { return inspector->mapTo(w.window.get(), QPoint()).y(); };
        QTRY_VERIFY2(toastBottom() < inspectorTop(),
                     qPrintable(QStringLiteral("%1 %2").arg(toastBottom()).arg(inspectorTop())));
        w.state->setStorageVisualMode(StorageVisualMode::list);
        QTRY_COMPARE(toastBottom(), resting);
    }
};

QTEST_MAIN(UndoToastTest)
#include "UndoToastTest.moc"
