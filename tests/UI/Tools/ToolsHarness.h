#pragma once

// A main window with its sheets, and the helpers the tool screens' tests share: open a sheet,
// find its screen, the open confirmation, and the texts of any list's rows.

#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/PaintedCardList.h"
#include "FernwickUI/Kit/RowList.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
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

/// A paint device that keeps every text painted into it, in painting order: what a reader of
/// the painted picture can read (a cut text arrives cut, with its "…").
class TextRecorder final : public QPaintDevice {
public:
    explicit TextRecorder(QSize size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    /// The texts painted, each one line as drawn, joined by single spaces.
    QString joined() const { return m_engine.texts.join(QLatin1Char(' ')).simplified(); }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        case PdmNumColors:
            return 0x7fffffff;
        default:
            return 96; // resolutions; sizes in millimetres are not asked for here
        }
    }

private:
    struct Engine final : QPaintEngine {
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        Type type() const override { return User; }
        QStringList texts;
    };
    QSize m_size;
    mutable Engine m_engine;
};

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
