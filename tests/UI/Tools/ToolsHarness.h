#pragma once

// A main window with its sheets, and the helpers the tool screens' tests share: open a sheet,
// find its screen, the open confirmation, and the texts of any list's rows.

#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/PaintedCardList.h"
#include "FernwickUI/Kit/RowList.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "tests/Support/TextRecorder.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QApplication>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTest>
#include <QTextItem>

namespace fernwick::test {

/// The texts row `index` of `model` draws, in drawing order.
inline QStringList row(const QAbstractItemModel* model, int index) {
    return model->data(model->index(index, 0), ui::RowRole::texts).toStringList();
}
/// The main text (Qt::DisplayRole) of row `index`.
inline QString rowText(const QAbstractItemModel* model, int index) {
    return model->data(model->index(index, 0), Qt::DisplayRole).toString();
}
inline QStringList row(const ui::PaintedCardList* list, int index) {
    return list->rowTexts(index);
}
inline QString rowText(const ui::PaintedCardList* list, int index) {
    const QStringList texts = list->rowTexts(index);
    return texts.isEmpty() ? QString() : texts.front();
}

/// The texts row `index` of `list` paints where the list shows it now.
inline QString paintedTexts(ui::RowList* list, int index) {
    const QModelIndex at = list->model()->index(index, 0);
    QStyleOptionViewItem option;
    option.rect = list->visualRect(at);
    option.widget = list;
    TextRecorder recorder(list->viewport()->size());
    QPainter painter(&recorder);
    list->itemDelegate()->paint(&painter, option, at);
    painter.end();
    return recorder.joined();
}

/// The texts `widget` paints over its whole area, in painting order.
inline QString paintedTexts(QWidget* widget) {
    TextRecorder recorder(widget->size());
    widget->render(&recorder);
    return recorder.joined();
}

/// Clicks the region `action` of `row` in `list` (scrolled into view first).
inline void clickRow(ui::RowList* list, int index, int action) {
    list->scrollTo(list->model()->index(index, 0));
    const QRect rect = list->actionRect(index, action);
    QVERIFY2(!rect.isEmpty(), "the row has no such region");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

struct ToolsHarness : WindowHarness {
    using WindowHarness::WindowHarness;

    /// Opens the sheet of `modal` the way the sidebar does and lets its first loads finish.
    ui::ToolSheet* openSheet(ui::ActiveModal modal) {
        state->openTool(modal);
        h.settle();
        return window->toolSheet();
    }

    /// The screen of type T in the open sheet; null when none.
    template <typename T> T* screen() const {
        ui::ToolSheet* sheet = window->toolSheet();
        return sheet == nullptr ? nullptr : sheet->findChild<T*>();
    }

    /// The confirmation shown now; null when none is open.
    ui::ConfirmationDialog* confirmation() const {
        for (auto* dialog : window->findChildren<ui::ConfirmationDialog*>()) {
            if (dialog->isVisible()) {
                return dialog;
            }
        }
        return nullptr;
    }
};

} // namespace fernwick::test
