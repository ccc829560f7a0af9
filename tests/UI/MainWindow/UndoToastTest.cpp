#include "FernwickUI/MainWindow/UndoToast.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/Visualisations/InspectorBar.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::WindowHarness;

class UndoToastTest : public QObject {
    Q_OBJECT

    // A scanned window in `mode` with "gamma.bin" moved to the Trash and the toast in place.
    static UndoToast* trashGamma(WindowHarness& w, StorageVisualMode mode) {
        w.open();
        w.window->activateWindow();
        if (!QTest::qWaitForWindowActive(w.window.get()) || !w.scanFixture()) {
            return nullptr;
        }
        w.state->setStorageVisualMode(mode);
        w.h.settle();
        w.state->trashNode(w.child("gamma.bin"));
        UndoToast* toast = w.window->undoToast();
        return QTest::qWaitFor([&] { return toast->progress() == 1.0; }) ? toast : nullptr;
    }

private slots:
    // A click on the toast leaves the keys where they were: beside "Undo" the canvas keeps
    // them; after "Undo" over an open sheet the sheet has them, so Escape closes it at once.
    void clicksOnTheToastLeaveTheKeysWhereTheyWere() {
        WindowHarness w;
        UndoToast* toast = trashGamma(w, StorageVisualMode::folders);
        QVERIFY(toast != nullptr);
        QWidget* canvas = w.window->resultCanvas()->canvas(StorageVisualMode::folders);
        canvas->setFocus();
        test::click(toast, QPoint(static_cast<int>(toast->undoRect().left()) / 2, 20));
        QCOMPARE(QApplication::focusWidget(), canvas);

        w.state->setActiveModal(ActiveModal::history);
        w.h.settle();
        QDialog* sheet = w.window->sheet();
        test::click(toast->undoButton());
        QTRY_VERIFY(std::filesystem::exists(w.h.tree / "fixture/gamma.bin"));
        w.h.settle();
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused != nullptr && (focused == sheet || sheet->isAncestorOf(focused)));
        QTest::keyClick(focused, Qt::Key_Escape);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
    }

    // Moved in another mode, then the Treemap shown while the toast is up: the toast rises
    // above the inspector as soon as it shows, and goes back down when another mode hides it.
    void theToastKeepsClearOfTheInspectorWhateverChanged() {
        WindowHarness w;
        UndoToast* toast = trashGamma(w, StorageVisualMode::folders);
        QVERIFY(toast != nullptr);
        const auto bottom = [&] {
            return toast->mapTo(w.window.get(), toast->undoRect().bottomLeft().toPoint()).y();
        };
        const int resting = bottom();
        w.state->setSelectedNodeForInspection(w.child("Alpha"));
        w.state->setStorageVisualMode(StorageVisualMode::treemap);
        InspectorBar* inspector = w.window->resultCanvas()->treemapCanvas()->inspector();
        QTRY_VERIFY(inspector->isVisible());
        QTRY_VERIFY(bottom() < inspector->mapTo(w.window.get(), QPoint()).y());
        w.state->setStorageVisualMode(StorageVisualMode::list);
        QTRY_COMPARE(bottom(), resting);
    }
};

QTEST_MAIN(UndoToastTest)
#include "UndoToastTest.moc"
