#include "FernwickUI/MainWindow/MainWindowDialogs.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::WindowHarness;

class InWindowDialogTest : public QObject {
    Q_OBJECT

    // The windows on screen: only the main window while every dialog lives inside it.
    static QList<QWidget*> shownWindows() {
        QList<QWidget*> shown;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible()) {
                shown.push_back(widget);
            }
        }
        return shown;
    }

    // Whether a click at the centre of `dialog` would reach it: nothing of the window lies over
    // it.
    static bool isOnTop(QWidget& window, QWidget* dialog) {
        QWidget* hit = window.childAt(dialog->mapTo(&window, dialog->rect().center()));
        return hit == dialog || dialog->isAncestorOf(hit);
    }

    static bool holdsFocus(QWidget* widget) {
        QWidget* focused = QApplication::focusWidget();
        return focused != nullptr && (focused == widget || widget->isAncestorOf(focused));
    }

    // The dialog shown now besides the sheet; null when none.
    static QDialog* shownDialog(MainWindow& window) {
        for (auto* dialog : window.findChildren<QDialog*>()) {
            if (dialog->isVisible() && dialog != window.sheet()) {
                return dialog;
            }
        }
        return nullptr;
    }

    static void activate(WindowHarness& w) {
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    }

private slots:
    // The Empty-Trash question opens inside the window, centred, and the window behind takes no
    // clicks, Tab or shortcuts until it closes. Escape cancels, Return takes "Cancel", and the
    // keys go back to where they were.
    void questionsOpenInsideTheWindowAndHoldItsKeys() {
        WindowHarness w(false);
        QVERIFY(w.h.trash->moveToTrash(w.h.tree.denseFile("junk.txt", 10)));
        w.open();
        QTRY_COMPARE(w.state->trashItemCount(), std::int64_t{1});
        activate(w);
        w.state->setSelectedNodeForInspection(
            test::makeNode(w.h.tree / "fixture/gamma.bin", false, 10000));
        w.window->setFocus();
        for (Qt::Key answer : {Qt::Key_Escape, Qt::Key_Return}) {
            QTest::keyClick(w.window.get(), Qt::Key_Backspace,
                            Qt::ControlModifier | Qt::ShiftModifier);
            EmptyTrashDialog* dialog = w.window->emptyTrashDialog();
            QVERIFY(dialog != nullptr);
            QTRY_VERIFY(dialog->isVisible());
            QVERIFY(!dialog->isWindow());
            QCOMPARE(shownWindows(), QList<QWidget*>{w.window.get()});
            const QPoint offset =
                dialog->mapTo(w.window.get(), dialog->rect().center()) - w.window->rect().center();
            QVERIFY2(std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1,
                     qPrintable(QStringLiteral("%1 %2").arg(offset.x()).arg(offset.y())));
            QVERIFY(isOnTop(*w.window, dialog));
            QVERIFY(!w.window->sidebar()->isEnabled());
            QCOMPARE(QApplication::focusWidget(), dialog->cancelButton());
            // The window's own keys wait behind the question.
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

    // An alert raised over an open sheet sits over the sheet, its long title wrapped whole; OK
    // (Return) closes it and the sheet has the keys again, so Escape closes the sheet. About
    // opens inside the window as well.
    void alertsAndAboutOpenOverTheSheetWithTheirTitlesWhole() {
        WindowHarness w(false);
        w.open();
        activate(w);
        w.state->setActiveModal(ActiveModal::history);
        w.h.settle();
        QDialog* sheet = w.window->sheet();
        QVERIFY(sheet != nullptr && holdsFocus(sheet));
        const QString title = QStringLiteral("Duplicate Finder moved some copies and could not "
                                             "move the others to the Trash");
        w.state->setUserAlert(UserAlert(title.toStdString(), "Two copies are protected."));
        AlertDialog* alert = w.window->alertDialog();
        QVERIFY(alert != nullptr);
        QTRY_VERIFY(alert->isVisible());
        QVERIFY(!alert->isWindow());
        QCOMPARE(shownWindows(), QList<QWidget*>{w.window.get()});
        QVERIFY(isOnTop(*w.window, alert));
        QVERIFY(!sheet->isEnabled());
        const QLabel* label = alert->titleLabel();
        QCOMPARE(label->text(), title);
        QVERIFY(label->width() <= alert->width());
        QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                 qPrintable(QStringLiteral("%1 < %2")
                                .arg(label->height())
                                .arg(label->heightForWidth(label->width()))));
        // A click on the dimmed window leaves the keys with the alert.
        const QPoint corner(4, w.window->height() - 4);
        QWidget* scrim = w.window->childAt(corner);
        QVERIFY(scrim != nullptr);
        test::click(scrim, scrim->mapFrom(w.window.get(), corner));
        QVERIFY(holdsFocus(alert));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        w.h.settle();
        QVERIFY(!w.state->userAlert().has_value());
        QVERIFY(sheet->isEnabled());
        QVERIFY(holdsFocus(sheet));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
        w.h.settle();

        QAction* about = w.window->menuBar()->actions().back()->menu()->actions().front();
        QCOMPARE(about->text(), QStringLiteral("About Tarnbrook Ridar"));
        about->trigger();
        QDialog* shown = shownDialog(*w.window);
        QVERIFY(shown != nullptr);
        QVERIFY(!shown->isWindow());
        QCOMPARE(shownWindows(), QList<QWidget*>{w.window.get()});
        QStringList texts;
        for (auto* text : shown->findChildren<QLabel*>()) {
            texts.push_back(text->text());
        }
        QVERIFY2(texts.contains(QStringLiteral("Tarnbrook Ridar ") +
                                QString::fromStdString(w.state->currentVersion())),
                 qPrintable(texts.join(QStringLiteral(" | "))));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        w.h.settle();
        QVERIFY(shownDialog(*w.window) == nullptr);
    }
};

QTEST_MAIN(InWindowDialogTest)
#include "InWindowDialogTest.moc"
