#include "FernwickUI/Kit/InWindowDialog.h"

#include "FernwickUI/Kit/SheetOverlay.h"
#include "FernwickUI/Style/KeyboardFocus.h"
#include "FernwickUI/Style/Palette.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace fernwick::ui {

InWindowDialog::InWindowDialog(QWidget* parent) : QDialog(parent), m_anchor(parent) {
    if (parent != nullptr) {
        // Shown on its layer, the dialog is no child of `parent`: it must still go with it.
        connect(parent, &QObject::destroyed, this, [this] {
            hide();
            deleteLater();
        });
    }
}

InWindowDialog::~InWindowDialog() {
    if (m_layer != nullptr) {
        m_layer->deleteLater();
    }
}

void InWindowDialog::setVisible(bool visible) {
    if (visible && m_layer == nullptr && m_anchor != nullptr && !m_entering) {
        enterLayer();
        return;
    }
    QDialog::setVisible(visible);
    if (!visible && m_layer != nullptr && !m_entering) {
        leaveLayer();
    }
}

void InWindowDialog::enterLayer() {
    QWidget* host = m_anchor->window();
    m_returnFocus = QApplication::focusWidget();
    m_entering = true;
    auto* layer = new SheetOverlay(host);
    m_layer = layer;
    std::vector<QWidget*> behind;
    for (QWidget* child : host->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && child != layer) {
            behind.push_back(child);
        }
    }
    layer->setBlocked(std::move(behind));
    // As wide as its texts ask within its limits, and as high as they need at that width, so
    // that a long title wraps whole.
    const int width = std::clamp(sizeHint().width(), minimumWidth(), maximumWidth());
    resize(width, hasHeightForWidth() ? std::max(heightForWidth(width), minimumHeight())
                                      : sizeHint().height());
    layer->present(this);
    m_entering = false;
    // The default as built: a button that had the focus once may have lost the mark since.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (m_defaultButton == nullptr && button->isDefault()) {
            m_defaultButton = button;
        }
    }
    if (m_defaultButton != nullptr) {
        m_defaultButton->setFocus(Qt::OtherFocusReason);
    }
}

void InWindowDialog::leaveLayer() {
    SheetOverlay* layer = m_layer;
    m_layer = nullptr;
    // Back under the widget it was built for, hidden, so that it lives as long as that one.
    setParent(m_anchor, windowFlags() & ~Qt::WindowType_Mask);
    layer->deleteLater();
    returnFocus(m_returnFocus, m_anchor);
}

bool InWindowDialog::event(QEvent* event) {
    // The window's shortcuts wait while the question is open: a key combination a control of
    // the dialog does not take is not offered to them.
    if (event->type() == QEvent::ShortcutOverride && !isWindow()) {
        event->accept();
        return true;
    }
    return QDialog::event(event);
}

void InWindowDialog::keyPressEvent(QKeyEvent* event) {
    // A button loses its default mark with the focus when its window is no dialog, so Return
    // presses the button that was the default when the dialog opened.
    const bool confirm = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!isWindow() && confirm && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        m_defaultButton != nullptr && m_defaultButton->isVisible()) {
        if (m_defaultButton->isEnabled()) {
            m_defaultButton->click();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
    // No key passes on to the window behind.
    if (!isWindow()) {
        event->accept();
    }
}

void InWindowDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(whiteAt(0.12), 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace fernwick::ui
