#pragma once

#include <QPointer>
#include <QString>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace fernwick::ui {

class StyledButton;

/// The toast at the bottom of the main window that offers to undo the last move to the Trash:
/// "Moved <name> to Trash" and "Undo". It slides in from the bottom edge while fading in, and
/// leaves the same way (ease-out, 0.2 s). It places itself centred, 24 points above the bottom
/// edge of its parent, or above the widget it is told to keep clear of while that one shows,
/// and follows both. "Undo" is a button that Tab reaches. A click on the toast (on "Undo" or
/// beside it) leaves the keys where they were before it: with the widget that had the focus,
/// or else with the focus home. GUI thread only.
class UndoToast : public QWidget {
    Q_OBJECT
public:
    explicit UndoToast(QWidget* parent);

    /// Shows the toast for `name` (plain text); a toast already shown changes its text and
    /// enters again.
    void present(const QString& name);
    /// Lets the toast leave; it hides when the animation ends.
    void dismiss();

    /// Whether the toast is on screen or entering (false while leaving or hidden).
    bool isPresented() const { return m_presented; }
    const QString& text() const { return m_text; }
    /// The text as drawn: shortened in the middle to the room the window leaves.
    QString shownText() const;
    /// The "Undo" button's rectangle in the toast's coordinates.
    QRectF undoRect() const;
    StyledButton* undoButton() const { return m_undo; }
    /// While `widget` (a descendant of the toast's parent) shows, the toast rests above it
    /// instead of over it; null for none.
    void keepClearOf(QWidget* widget);
    /// Where the focus goes after a click on the toast when the widget that had it before can no
    /// longer take it (an open sheet, else the window).
    void setFocusHome(std::function<QWidget*()> home) { m_focusHome = std::move(home); }
    /// 0 (gone) to 1 (in place).
    double progress() const { return m_progress; }

    QSize sizeHint() const override;

signals:
    void undoRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRectF bodyRect() const;
    double textWidth() const;
    void reposition();
    void giveFocusBack();

    QString m_text;
    bool m_presented = false;
    double m_progress = 0;
    QVariantAnimation m_animation;
    StyledButton* m_undo;
    QPointer<QWidget> m_clearOf;
    QPointer<QWidget> m_focusBefore;
    std::function<QWidget*()> m_focusHome;
};

} // namespace fernwick::ui
