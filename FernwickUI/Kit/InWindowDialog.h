#pragma once

#include <QDialog>
#include <QPointer>

class QPushButton;

namespace fernwick::ui {

class SheetOverlay;

/// A small dialog (a question, an alert) that opens inside the window of the widget it is built
/// for, not as a window of its own: centred on a layer that covers that window, dims it and
/// closes it to clicks, Tab and shortcuts, over an open sheet too, with no frame or title of the
/// window manager. While it shows, the keys stay with it: Escape rejects it, Return presses its
/// default button, and the window's shortcuts wait. When it hides, the layer goes and the focus
/// returns to the widget that had it before (or to the widget it was built for). It stays a
/// child of the widget it was built for and goes with it. Open it with `open()` or `show()`.
/// GUI thread only.
class InWindowDialog : public QDialog {
    Q_OBJECT
public:
    /// `parent` is the widget whose window the dialog opens in; without one it is a window.
    explicit InWindowDialog(QWidget* parent);
    ~InWindowDialog() override;

    void setVisible(bool visible) override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void enterLayer();
    void leaveLayer();

    QPointer<QWidget> m_anchor;
    QPointer<SheetOverlay> m_layer;
    QPointer<QWidget> m_returnFocus;
    QPointer<QPushButton> m_defaultButton;
    bool m_entering = false;
};

} // namespace fernwick::ui
