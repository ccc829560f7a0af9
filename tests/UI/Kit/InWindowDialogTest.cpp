#include "FernwickUI/MainWindow/MainWindowDialogs.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "tests/Support/TextRecorder.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::WindowHarness;

class InWindowDialogTest : public QObject {
    Q_OBJECT

    // Only the main window is on screen: the dialog is none of its own, and nothing of the
    // window lies over the dialog's centre.
    static void checkInside(WindowHarness& w, QWidget* dialog) {
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(!dialog->isWindow());
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QVERIFY(window == w.window.get() || !window->isVisible());
        }
        QWidget* hit = w.window->childAt(dialog->mapTo(w.window.get(), dialog->rect().center()));
        QVERIFY(hit == dialog || dialog->isAncestorOf(hit));
    }
    static bool holdsFocus(QWidget* widget) {
        QWidget* focused = QApplication::focusWidget();
        return focused != nullptr && (focused == widget || widget->isAncestorOf(focused));
    }

private slots:
    // The Empty-Trash question opens inside the window, centred, and the window behind takes
    // neither clicks nor shortcuts until it closes. Escape cancels, Return takes "Cancel", and
    // the keys go back to where they were.
    void questionsOpenInsideTheWindowAndHoldItsKeys() {
        WindowHarness w(false);
        QVERIFY(w.h.trash->moveToTrash(w.h.tree.denseFile("junk.txt", 10)));
        w.open();
        QTRY_COMPARE(w.state->trashItemCount(), std::int64_t{1});
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        w.state->setSelectedNodeForInspection(test::makeNode(w.h.tree / "x", false, 1));
        w.window->setFocus();
        for (Qt::Key answer : {Qt::Key_Escape, Qt::Key_Return}) {
            QTest::keyClick(w.window.get(), Qt::Key_Backspace,
                            Qt::ControlModifier | Qt::ShiftModifier);
            EmptyTrashDialog* dialog = w.window->emptyTrashDialog();
            QVERIFY(dialog != nullptr);
            checkInside(w, dialog);
            const QPoint offset =
                dialog->mapTo(w.window.get(), dialog->rect().center()) - w.window->rect().center();
            QVERIFY(std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1);
            QVERIFY(!w.window->sidebar()->isEnabled());
            QCOMPARE(QApplication::focusWidget(), dialog->cancelButton());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier);
            QVERIFY(w.h.revealed.empty());
            QTest::keyClick(QApplication::focusWidget(), answer);
            w.h.settle();
            QVERIFY(w.window->emptyTrashDialog() == nullptr);
            QVERIFY(w.window->sidebar()->isEnabled());
            QCOMPARE(QApplication::focusWidget(), w.window.get());
            QCOMPARE(w.h.trash->itemCount(), std::int64_t{1});
        }
    }

    // An alert raised over an open sheet sits over the sheet, its long title wrapped whole; a
    // click on the dimmed window leaves it the keys; OK (Return) closes it and the sheet has
    // the keys again, so Escape closes the sheet. About opens inside the window as well.
    void alertsAndAboutOpenOverTheSheetWithTheirTitlesWhole() {
        WindowHarness w(false);
        w.open();
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        w.state->setActiveModal(ActiveModal::history);
        w.h.settle();
        QDialog* sheet = w.window->sheet();
        const QString title = QStringLiteral("Duplicate Finder moved some copies and could not "
                                             "move the others to the Trash");
        w.state->setUserAlert(UserAlert(title.toStdString(), "Two copies are protected."));
        AlertDialog* alert = w.window->alertDialog();
        checkInside(w, alert);
        QVERIFY(!sheet->isEnabled());
        const QLabel* label = alert->titleLabel();
        QCOMPARE(label->text(), title);
        QVERIFY(label->width() <= alert->width());
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        const QPoint corner(4, w.window->height() - 4);
        QWidget* scrim = w.window->childAt(corner);
        test::click(scrim, scrim->mapFrom(w.window.get(), corner));
        QVERIFY(holdsFocus(alert));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        w.h.settle();
        QVERIFY(!w.state->userAlert().has_value());
        QVERIFY(sheet->isEnabled() && holdsFocus(sheet));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());

        w.window->menuBar()->actions().back()->menu()->actions().front()->trigger();
        AlertDialog* about = w.window->aboutDialog();
        QVERIFY(about != nullptr);
        checkInside(w, about);
        QCOMPARE(about->messageLabel()->text(),
                 "Tarnbrook Ridar " + QString::fromStdString(w.state->currentVersion()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(w.window->aboutDialog() == nullptr);
    }

    // A title that is one long word, and a message holding a long path, break inside the word
    // at the dialog's width: every letter is painted, none reaches past the dialog's edge.
    void aOneWordTitleBreaksInsideTheWord() {
        WindowHarness w(false);
        w.open();
        const QString title =
            QStringLiteral("Orchestral_Composition_Suite_Professional_Edition_2026.AppImage");
        const QString path = QStringLiteral("/home/me/Applications/") +
                             QString(90, QLatin1Char('o')) + QStringLiteral(".AppImage");
        w.state->setUserAlert(UserAlert(title.toStdString(), path.toStdString()));
        AlertDialog* alert = w.window->alertDialog();
        checkInside(w, alert);
        QVERIFY(alert->width() <= alert->maximumWidth());
        for (const QLabel* label : {alert->titleLabel(), alert->messageLabel()}) {
            QVERIFY(label->geometry().right() < alert->width());
            QVERIFY(label->height() >= label->heightForWidth(label->width()));
        }
        test::TextRecorder recorder(alert->size());
        alert->render(&recorder);
        QVERIFY2(recorder.cut().isEmpty(), qPrintable(recorder.cut().join(QLatin1Char('|'))));
        const QString painted = recorder.texts().join(QString());
        QVERIFY2(painted.contains(title) && painted.contains(path), qPrintable(recorder.joined()));
        QVERIFY(recorder.texts().size() >= 5); // two lines or more each, and "OK"
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
};

QTEST_MAIN(InWindowDialogTest)
#include "InWindowDialogTest.moc"
