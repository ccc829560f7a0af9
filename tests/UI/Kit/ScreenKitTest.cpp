// The pieces every tool screen is built from: the confirmation, the painted controls, the
// virtualised row list and the painted card list.

#include "FernwickUI/Kit/Badge.h"
#include "FernwickUI/Kit/CheckBox.h"
#include "FernwickUI/Kit/Chip.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/PaintedCardList.h"
#include "FernwickUI/Kit/RowList.h"
#include "FernwickUI/Kit/SwitchToggle.h"
#include "FernwickUI/Kit/ToolPage.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <map>

using namespace fernwick;
using namespace fernwick::ui;

namespace {

// Rows of 30 px, each with a box (action 0) at its left and a button (action 1) at its right.
class NumberModel final : public IdRowModel {
public:
    std::vector<QString> names;
    int rebuilds = 0;
    void show(std::vector<Uuid> ids, std::vector<QString> newNames) {
        if (newNames.empty()) {
            newNames = names;
        }
        setIds(std::move(ids), [&] {
            names = std::move(newNames);
            ++rebuilds;
        });
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole) {
            return names[static_cast<std::size_t>(index.row())];
        }
        return {};
    }
};

class NumberDelegate final : public RowDelegate {
public:
    using RowDelegate::RowDelegate;
    std::vector<RowHit> hits(const QRectF& row, const QModelIndex&) const override {
        return {{checkBoxRect(row, row.left() + 4), 0},
                {QRectF(row.right() - 40, row.top() + 5, 30, 20), 1}};
    }

protected:
    void paintRow(QPainter&, const QRectF&, const QModelIndex&) const override {}
    int rowHeight(const QModelIndex&, double) const override { return 30; }
};

// Rows whose name wraps: 20 px a line, a letter 8 px wide. Counts how often each row is measured.
class WrapDelegate final : public RowDelegate {
public:
    using RowDelegate::RowDelegate;
    mutable std::map<int, int> measured;
    std::vector<RowHit> hits(const QRectF&, const QModelIndex&) const override { return {}; }
    bool wrapsTexts() const override { return true; }

protected:
    void paintRow(QPainter&, const QRectF&, const QModelIndex&) const override {}
    int rowHeight(const QModelIndex& index, double width) const override {
        ++measured[index.row()];
        const auto letters = index.data().toString().size();
        return 20 * static_cast<int>(std::max<qsizetype>(1, (letters * 8 + width - 1) / width));
    }
};

std::vector<Uuid> ids(int count) {
    std::vector<Uuid> result;
    for (int i = 0; i < count; ++i) {
        result.push_back(Uuid::random());
    }
    return result;
}

} // namespace

class ScreenKitTest : public QObject {
    Q_OBJECT

private slots:
    void confirmationNeverConfirmsFromTheKeyboardAndShowsPlainText() {
        QWidget parent;
        parent.show();
        const auto ask = [&] {
            auto* dialog = new ConfirmationDialog(QStringLiteral("<b>Move</b>?"),
                                                  QStringLiteral("Tom & <i>Jerry</i>"),
                                                  QStringLiteral("Move A & B to Trash"), &parent);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->open();
            return dialog;
        };
        ConfirmationDialog* dialog = ask();
        QCOMPARE(dialog->titleLabel()->text(), QStringLiteral("<b>Move</b>?"));
        QCOMPARE(dialog->titleLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(dialog->messageLabel()->textFormat(), Qt::PlainText);
        // "&" is doubled so it shows as typed instead of becoming a mnemonic.
        QCOMPARE(dialog->destructiveButton()->text(), QStringLiteral("Move A && B to Trash"));
        QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("Cancel"));
        QVERIFY(dialog->cancelButton()->isDefault());
        QVERIFY(!dialog->destructiveButton()->isDefault());
        QVERIFY(!dialog->destructiveButton()->autoDefault());
        // Neither label touches its button's frame.
        for (QPushButton* button : {dialog->destructiveButton(), dialog->cancelButton()}) {
            QVERIFY(button->width() >=
                    button->fontMetrics().horizontalAdvance(button->text()) + 2 * 14);
        }

        for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape)}) {
            dialog = ask();
            QSignalSpy accepted(dialog, &QDialog::accepted);
            QSignalSpy rejected(dialog, &QDialog::rejected);
            QTest::keyClick(dialog, static_cast<Qt::Key>(key));
            QCOMPARE(accepted.count(), 0);
            QCOMPARE(rejected.count(), 1);
        }
        dialog = ask();
        QSignalSpy accepted(dialog, &QDialog::accepted);
        QTest::mouseClick(dialog->destructiveButton(), Qt::LeftButton);
        QCOMPARE(accepted.count(), 1);
    }

    void controlsToggleOnClickButChipsFollowTheirOwner() {
        CheckBox box;
        SwitchToggle toggle;
        QSignalSpy boxToggled(&box, &QAbstractButton::toggled);
        QTest::mouseClick(&box, Qt::LeftButton);
        QTest::mouseClick(&toggle, Qt::LeftButton);
        QVERIFY(box.isChecked());
        QVERIFY(toggle.isChecked());
        QCOMPARE(boxToggled.count(), 1);
        QTest::mouseClick(&toggle, Qt::LeftButton);
        QVERIFY(!toggle.isChecked());

        Chip chip(QStringLiteral("> 1 GB"));
        QSignalSpy clicked(&chip, &QAbstractButton::clicked);
        QTest::mouseClick(&chip, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(!chip.isSelected());
        QCOMPARE(chip.look().font.bold(), false);
        chip.setSelected(true);
        QCOMPARE(chip.look().font.bold(), true);
        QCOMPARE(chip.look().background, Chip::selectedLook().background);

        // A badge measures its text as typed: markup is not interpreted away.
        const BadgeLook look{uiFont(9, QFont::Bold), Qt::green};
        Badge plain(QStringLiteral("b"), look);
        Badge markup(QStringLiteral("<b>b</b>"), look);
        QVERIFY(markup.sizeHint().width() > plain.sizeHint().width() + 10);
        QCOMPARE(markup.text(), QStringLiteral("<b>b</b>"));
    }

    void rowListRepaintsInPlaceForTheSameIdsAndTakesClicksOnlyInRegions() {
        NumberModel model;
        NumberDelegate delegate;
        RowList list(&model, &delegate, true);
        list.resize(300, 200);
        const auto first = ids(100);
        std::vector<QString> names;
        for (int i = 0; i < 100; ++i) {
            names.push_back(QString::number(i));
        }
        model.show(first, names);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.verticalScrollBar()->setValue(600);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.show(first, {});
        QCOMPARE(reset.count(), 0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.rebuilds, 2);
        QCOMPARE(list.verticalScrollBar()->value(), 600);
        QCOMPARE(model.rowOf(first[42]), 42);
        QCOMPARE(model.rowOf(Uuid::random()), -1);

        QSignalSpy triggered(&delegate, &RowDelegate::triggered);
        const int row = model.rowOf(first[25]);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.actionRect(row, 1).center());
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(triggered[0][0].toModelIndex().row(), 25);
        QCOMPARE(triggered[0][1].toInt(), 1);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.actionRect(row, 0).center());
        QCOMPARE(triggered.count(), 2);
        QCOMPARE(triggered[1][1].toInt(), 0);
        // Outside every region, and a press in one region released in another: nothing.
        const QRect rowRect = list.visualRect(model.index(row));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowRect.center());
        QTest::mousePress(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.actionRect(row, 0).center());
        QTest::mouseRelease(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                            list.actionRect(row, 1).center());
        QCOMPARE(triggered.count(), 2);

        // Other ids: a reset and a rebuild.
        model.show(ids(3), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rebuilds, 3);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.data(model.index(2), Qt::DisplayRole).toString(), QStringLiteral("c"));
    }

    // A list of wrapping rows made for rows already there measures each row once, at the width
    // it is shown at, though its scroll bar comes with the first layout; a row whose name
    // changes in place, and every row at a new width, is measured again at the next layout.
    void rowListMeasuresWrappingRowsOnceUntilTheyOrTheWidthChange() {
        NumberModel model;
        const auto shown = ids(40);
        std::vector<QString> names(40, QStringLiteral("short"));
        model.show(shown, names);
        WrapDelegate delegate;
        RowList list(&model, &delegate, false);
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.verticalScrollBar()->isVisible());
        QCOMPARE(delegate.measured.size(), std::size_t{40});
        for (const auto& entry : delegate.measured) {
            QCOMPARE(entry.second, 1);
        }
        QCOMPARE(list.visualRect(model.index(3)).height(), 20);

        names[3] = QString(60, QLatin1Char('w'));
        model.show(shown, names);
        list.doItemsLayout();
        QCOMPARE(list.visualRect(model.index(3)).height(), 40);

        list.resize(200, 200);
        QTRY_COMPARE(list.visualRect(model.index(3)).height(), 60);
    }

    void rowListDrawsEverySeparatorAndThePageColourBelowTheRows() {
        NumberModel model;
        NumberDelegate delegate;
        RowList list(&model, &delegate, true);
        list.resize(300, 200);
        model.show(ids(3), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QImage image = list.viewport()->grab().toImage();
        const QColor page = FernwickTheme::appBackground();
        const QColor border = FernwickTheme::panelBorder();
        const auto over = [&](int channel, int base) {
            return qRound(channel * border.alphaF() + base * (1 - border.alphaF()));
        };
        const QColor separator(over(border.red(), page.red()), over(border.green(), page.green()),
                               over(border.blue(), page.blue()));
        // Rows of 30 px: the last line of each is its separator, also between two rows (one
        // unit of rounding either way in the blend).
        for (const int y : {29, 59, 89}) {
            const QColor drawn = image.pixelColor(150, y);
            QVERIFY2(std::abs(drawn.red() - separator.red()) <= 1 &&
                         std::abs(drawn.green() - separator.green()) <= 1 &&
                         std::abs(drawn.blue() - separator.blue()) <= 1,
                     qPrintable(drawn.name()));
        }
        for (const int y : {0, 30, 58, 90, 150, 199}) {
            QCOMPARE(image.pixelColor(150, y).rgb(), page.rgb());
        }
    }

    void emptyStateShowsEveryLineOfItsWrappedMessage() {
        const QString text = QStringLiteral(
            "Run a disk scan and click 'Scan Duplicates' to discover identical files across "
            "your folders.");
        QWidget page;
        auto* layout = new QVBoxLayout(&page);
        const EmptyState empty = makeEmptyState({"doc.on.doc", 48, Qt::white, QStringLiteral("T"),
                                                 uiFont(13), text, 350, QStringLiteral("B"), 12},
                                                &page);
        layout->addWidget(empty.widget);
        page.resize(960, 500);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QLabel* message = nullptr;
        for (auto* label : empty.widget->findChildren<QLabel*>()) {
            if (label->text() == text) {
                message = label;
            }
        }
        QVERIFY(message != nullptr);
        QVERIFY(message->width() <= 350);
        QVERIFY(message->height() >= message->heightForWidth(message->width()));
        QVERIFY(message->heightForWidth(message->width()) > message->fontMetrics().height());
        const int centre = message->mapTo(&page, message->rect().center()).x();
        QVERIFY(std::abs(centre - page.width() / 2) <= 2);
    }

    void cardListPaintsOnlyTheCardsInView() {
        QScrollArea area;
        area.setWidgetResizable(true);
        auto* column = new QWidget;
        auto* layout = new QVBoxLayout(column);
        int painted = 0;
        auto* cards = new PaintedCardList(
            40, 8, 10, 6, [&](QPainter&, const QRectF&, int) { ++painted; },
            [](int row) { return QStringList{QString::number(row)}; });
        layout->addWidget(cards);
        area.setWidget(column);
        cards->setRowCount(1000);
        QCOMPARE(cards->heightForWidth(500), 1000 * 40 + 999 * 8);
        area.resize(500, 300);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QTRY_VERIFY(cards->lastPaintedCount() > 0);
        QVERIFY(cards->lastPaintedCount() <= 8);
        QVERIFY(painted < 40);
        QCOMPARE(cards->rowTexts(999), QStringList{QStringLiteral("999")});
        cards->setRowCount(0);
        QCOMPARE(cards->heightForWidth(500), 0);
    }

    void pageShowsOneContentAndHidesTheFooterUntilAsked() {
        ToolPage page(QStringLiteral("<i>T</i>"), QStringLiteral("S"));
        auto* list = new QWidget;
        auto* empty = new QWidget;
        page.addContent(list);
        page.addContent(empty);
        page.show();
        QCOMPARE(page.currentContent(), list);
        page.showContent(empty);
        QCOMPARE(page.currentContent(), empty);
        QCOMPARE(page.titleLabel()->textFormat(), Qt::PlainText);
        QVERIFY(page.footer()->parentWidget() != nullptr);
        QVERIFY(!page.footer()->parentWidget()->isVisible());
        page.setFooterVisible(true);
        QVERIFY(page.footer()->parentWidget()->isVisible());
    }
};

QTEST_MAIN(ScreenKitTest)
#include "ScreenKitTest.moc"
