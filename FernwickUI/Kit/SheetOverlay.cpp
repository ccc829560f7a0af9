#include "FernwickUI/Kit/SheetOverlay.h"

#include "FernwickUI/Style/Palette.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace fernwick::ui {

SheetOverlay::SheetOverlay(QWidget* window) : QWidget(window) {
    hide();
    window->installEventFilter(this);
}

SheetOverlay::~SheetOverlay() {
    // The sheets, children (a closed one may wait for its deletion), go after this part of the
    // overlay is gone: they must not call back.
    for (QObject* child : children()) {
        child->removeEventFilter(this);
        child->disconnect(this);
    }
}

void SheetOverlay::present(QWidget* sheet) {
    if (m_sheet != nullptr && m_sheet != sheet) {
        m_sheet->removeEventFilter(this);
    }
    m_sheet = sheet;
    if (sheet == nullptr) {
        leave();
        return;
    }
    // Its own size as it was built (a dialog not yet resized opens at its size hint), and its
    // limits, before the window bounds them.
    m_sheetSize = sheet->testAttribute(Qt::WA_Resized)
                      ? sheet->size()
                      : sheet->sizeHint().expandedTo(sheet->minimumSize());
    m_sheetMinimum = sheet->minimumSize();
    m_sheetMaximum = sheet->maximumSize();
    // A child, not a window of its own: no title, frame or buttons of the window manager.
    sheet->setParent(this, Qt::Widget);
    sheet->installEventFilter(this);
    connect(sheet, &QObject::destroyed, this, [this] {
        if (m_sheet == nullptr) {
            leave();
        }
    });
    setWindowBlocked(true);
    // A click on the sheet or on the dimmed window around it leaves the keys with the sheet;
    // the window behind, which takes click focus, must not get them.
    if (sheet->focusPolicy() == Qt::NoFocus) {
        sheet->setFocusPolicy(Qt::ClickFocus);
    }
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(sheet);
    setGeometry(parentWidget()->rect());
    placeSheet();
    show();
    raise();
    sheet->show();
    sheet->setFocus(Qt::OtherFocusReason);
}

void SheetOverlay::leave() {
    hide();
    setFocusProxy(nullptr);
    setWindowBlocked(false);
}

void SheetOverlay::setWindowBlocked(bool blocked) {
    if (!blocked) {
        for (const auto& widget : m_disabled) {
            if (widget != nullptr) {
                widget->setEnabled(true);
            }
        }
        m_disabled.clear();
        return;
    }
    for (QWidget* widget : m_blocked) {
        // Only what is enabled now is enabled again afterwards.
        if (widget->isEnabled() &&
            std::find(m_disabled.begin(), m_disabled.end(), widget) == m_disabled.end()) {
            widget->setEnabled(false);
            m_disabled.emplace_back(widget);
        }
    }
}

void SheetOverlay::placeSheet() {
    if (m_sheet == nullptr) {
        return;
    }
    const QSize area = size();
    m_sheet->setMinimumSize(m_sheetMinimum.boundedTo(area));
    m_sheet->setMaximumSize(m_sheetMaximum.boundedTo(area));
    const QSize sheetSize = m_sheetSize.boundedTo(area);
    m_sheet->setGeometry((area.width() - sheetSize.width()) / 2,
                         (area.height() - sheetSize.height()) / 2, sheetSize.width(),
                         sheetSize.height());
}

bool SheetOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible()) {
        setGeometry(parentWidget()->rect());
        placeSheet();
    } else if (watched == m_sheet && event->type() == QEvent::Hide && m_sheet->isHidden()) {
        // The sheet closed itself ("Done", Escape): the window is the user's again.
        m_sheet->removeEventFilter(this);
        m_sheet = nullptr;
        leave();
    }
    return QWidget::eventFilter(watched, event);
}

void SheetOverlay::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Palette::sheetScrim());
}

void SheetOverlay::mousePressEvent(QMouseEvent* event) {
    // A click on the dimmed window does nothing.
    event->accept();
}

} // namespace fernwick::ui
