#pragma once

#include "FernwickUI/State/StorageVisualMode.h"

#include <QVariantAnimation>
#include <QWidget>

#include <vector>

namespace fernwick::ui {

/// The row of the seven visual-mode buttons on a rounded track. The accent pill behind the
/// selected mode glides to a newly chosen one (ease-in-out, 0.16 s). From the keyboard, Tab
/// (and the arrow keys) move the focus through the buttons one by one, the focused one shows
/// the focus ring, and Space or Return chooses it. GUI thread only.
class ModeSwitcher : public QWidget {
    Q_OBJECT
public:
    explicit ModeSwitcher(QWidget* parent = nullptr);

    StorageVisualMode mode() const { return m_mode; }
    /// Selects `mode`; `animated` glides the pill, otherwise it jumps.
    void setMode(StorageVisualMode mode, bool animated);
    /// The button rectangle of `mode`, in the switcher's coordinates.
    QRectF buttonRect(StorageVisualMode mode) const;
    /// Where the pill is drawn now (between two buttons while it glides).
    QRectF pillRect() const { return m_pill; }
    /// The button that has the keyboard focus while the switcher has it.
    StorageVisualMode focusedMode() const { return m_focused; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    /// The user pressed the button of `mode` (also the selected one).
    void modeChosen(fernwick::ui::StorageVisualMode mode);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void relayout();

    /// Moves the keyboard focus one button on; false at the end of the row.
    bool moveFocus(bool next);

    StorageVisualMode m_mode = StorageVisualMode::folders;
    StorageVisualMode m_focused = StorageVisualMode::folders;
    std::vector<QRectF> m_buttons; // in mode order
    QRectF m_pill;
    QRectF m_pillFrom;
    QVariantAnimation m_animation;
};

} // namespace fernwick::ui
