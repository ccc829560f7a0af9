#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

#include <vector>

namespace fernwick::ui {

/// The layer that shows a sheet inside the main window: it covers the whole window, dims it
/// (`Palette::sheetScrim`) and holds the sheet centred on it, as a child widget with no frame,
/// title or controls of the window manager. While a sheet is shown the widgets given as
/// `blocked` are disabled, so neither clicks, Tab nor their shortcuts reach the window behind,
/// and a click on the sheet or on the dimmed window keeps the keyboard focus with the sheet.
/// The sheet keeps the size it was built with (or its size hint) and its minimum, each bounded
/// by the window: in a window smaller than the sheet, the sheet takes the window's size. GUI
/// thread only.
class SheetOverlay : public QWidget {
    Q_OBJECT
public:
    explicit SheetOverlay(QWidget* window);
    ~SheetOverlay() override;

    /// The widgets of the window that the sheet makes modal; read when a sheet is shown.
    void setBlocked(std::vector<QWidget*> blocked) { m_blocked = std::move(blocked); }
    /// Shows `sheet` (made a child of the overlay, shown and focused) over the dimmed window;
    /// null hides the overlay. A sheet already shown is left to its owner to close.
    void present(QWidget* sheet);
    QWidget* sheet() const { return m_sheet; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void placeSheet();
    /// Hides the overlay with no sheet and gives the window back.
    void leave();
    void setWindowBlocked(bool blocked);

    QPointer<QWidget> m_sheet;
    QSize m_sheetSize;
    QSize m_sheetMinimum;
    QSize m_sheetMaximum;
    std::vector<QWidget*> m_blocked;
    std::vector<QPointer<QWidget>> m_disabled;
};

} // namespace fernwick::ui
