#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/MainWindow/ShortcutsModal.h"
#include "FernwickUI/MainWindow/ThemePickerModal.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::findButton;
using fernwick::test::WindowHarness;

class ModalsTest : public QObject {
    Q_OBJECT

private slots:
    void shortcutsListFiveRowsThatDoNothing() {
        WindowHarness w(false);
        w.open();
        w.state->setActiveModal(ActiveModal::shortcuts);
        auto* modal = qobject_cast<ShortcutsModal*>(w.window->sheet());
        QVERIFY(modal != nullptr);
        QCOMPARE(modal->size(), QSize(440, 340));
        const std::vector<std::pair<QString, QString>> expected{
            {QStringLiteral("Scan Home Folder"), QStringLiteral("Ctrl+S")},
            {QStringLiteral("Choose Folder to Scan"), QStringLiteral("Ctrl+O")},
            {QStringLiteral("Search Files & Folders"), QStringLiteral("Ctrl+F")},
            {QStringLiteral("Empty Trash"), QStringLiteral("Ctrl+Shift+Backspace")},
            {QStringLiteral("Show in File Manager"), QStringLiteral("Ctrl+R")}};
        QCOMPARE(modal->rows().size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QWidget* row = modal->rows()[i];
            QLabel* title = row->findChild<QLabel*>();
            QCOMPARE(title->text(), expected[i].first);
            QCOMPARE(title->textFormat(), Qt::PlainText); // "&" as typed
            QCOMPARE(row->findChild<StyledButton*>()->label(), expected[i].second);
            click(row);
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(ActiveModal::shortcuts));
        }
        // The rows stay at the top, clear of the bottom edge.
        QWidget* last = modal->rows().back();
        QVERIFY(last->mapTo(modal, QPoint(0, last->height())).y() < 340 - 24 - 40);
        click(findButton(modal, QStringLiteral("Close")));
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
    }

    void themeCardAppliesAtOnceAndTheSheetStays() {
        WindowHarness w(false);
        QVERIFY(w.h.preferences->setString("Tarnbrook_TreemapTheme", "Matrix Terminal").ok());
        w.open();
        w.h.publish(*w.state,
                    fernwick::test::makeNode("/t", true, 0, StorageCategory::other,
                                             {fernwick::test::makeNode("/t/a", false, 9)}));
        w.state->setActiveModal(ActiveModal::theme);
        auto* picker = qobject_cast<ThemePickerModal*>(w.window->sheet());
        QVERIFY(picker != nullptr);
        QCOMPARE(picker->size(), QSize(460, 520));
        QVERIFY(picker->list()->verticalScrollBar()->maximum() > 0);
        const auto active = [picker] {
            std::vector<TreemapTheme> marked;
            for (ThemeCard* card : picker->cards()) {
                if (card->activeBadge()->isVisibleTo(picker) &&
                    card->checkmark()->isVisibleTo(picker)) {
                    marked.push_back(card->theme());
                }
            }
            return marked;
        };
        QCOMPARE(active(), std::vector<TreemapTheme>{TreemapTheme::matrix});
        // The first card's first swatch shows the classic theme's orange.
        const QImage image = picker->cards().front()->firstSwatch()->grab().toImage();
        const QColor swatch = image.pixelColor(image.width() / 2, image.height() / 2);
        QVERIFY(std::abs(swatch.red() - 245) <= 2 && std::abs(swatch.green() - 140) <= 2 &&
                std::abs(swatch.blue() - 5) <= 2);

        ThemeCard* ocean = nullptr;
        for (ThemeCard* card : picker->cards()) {
            if (card->theme() == TreemapTheme::ocean) {
                ocean = card;
            }
        }
        QSignalSpy layouts(w.state.get(), &AppState::treemapRectanglesChanged);
        picker->list()->ensureWidgetVisible(ocean);
        click(ocean);
        QCOMPARE(w.state->currentTheme(), TreemapTheme::ocean);
        QCOMPARE(w.h.preferences->string("Tarnbrook_TreemapTheme"),
                 std::optional<std::string>("Deep Ocean"));
        QCOMPARE(layouts.count(), 1);
        QVERIFY(picker->isVisible());
        QCOMPARE(active(), std::vector<TreemapTheme>{TreemapTheme::ocean});
        // A second click writes the preference again.
        QVERIFY(w.h.preferences->remove("Tarnbrook_TreemapTheme").ok());
        click(ocean);
        QCOMPARE(w.h.preferences->string("Tarnbrook_TreemapTheme"),
                 std::optional<std::string>("Deep Ocean"));

        // From the keyboard: Tab goes from card to card (never to the list around them), the
        // focused card shows the ring and Return applies its theme.
        QApplication::setActiveWindow(picker->window());
        ThemeCard* first = picker->cards().front();
        const QPoint edge(1, first->height() / 2);
        const QRgb plain = first->grab().toImage().pixel(edge);
        first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), picker->cards()[1]);
        QTest::keyClick(picker->cards()[1], Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), first);
        QVERIFY(first->grab().toImage().pixel(edge) != plain);
        QTest::keyClick(first, Qt::Key_Backtab);
        QVERIFY(QApplication::focusWidget() != picker->list());
        first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(first, Qt::Key_Return);
        QCOMPARE(w.state->currentTheme(), first->theme());
        click(ocean);

        click(picker->closeButton());
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
        QCOMPARE(w.state->currentTheme(), TreemapTheme::ocean);
        w.h.settle();
        w.state->setActiveModal(ActiveModal::theme);
        click(findButton(w.window->sheet(), QStringLiteral("Done")));
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
        QCOMPARE(w.state->currentTheme(), TreemapTheme::ocean);
    }
};

QTEST_MAIN(ModalsTest)
#include "ModalsTest.moc"
