#include "FernwickUI/MainWindow/ModeSwitcher.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/KeyboardFocus.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace fernwick::ui {

namespace {
constexpr double kTrackPadding = 2;
constexpr double kButtonSpacing = 2;
constexpr double kPaddingH = 7;
constexpr double kPaddingV = 4;
constexpr double kIconSize = 9;
constexpr double kIconSpacing = 4;

QFont labelFont(bool selected) {
    return uiFont(10, selected ? QFont::DemiBold : QFont::Normal);
}

double iconWidth(StorageVisualMode mode) {
    return QFontMetricsF(systemIconFont(kIconSize)).horizontalAdvance(systemIconGlyph(icon(mode)));
}

QString labelOf(StorageVisualMode mode) {
    return QString::fromUtf8(rawValue(mode).data(), static_cast<qsizetype>(rawValue(mode).size()));
}

} // namespace

ModeSwitcher::ModeSwitcher(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    m_animation.setDuration(160);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        const QRectF target = buttonRect(m_mode);
        const auto lerp = [t](double a, double b) { return a + (b - a) * t; };
        m_pill = QRectF(lerp(m_pillFrom.x(), target.x()), target.y(),
                        lerp(m_pillFrom.width(), target.width()), target.height());
        update();
    });
    relayout();
    m_pill = buttonRect(m_mode);
}

void ModeSwitcher::relayout() {
    m_buttons.clear();
    const double textHeight = QFontMetricsF(labelFont(true)).height();
    const double height = textHeight + 2 * kPaddingV;
    double x = kTrackPadding;
    for (StorageVisualMode mode : allStorageVisualModes()) {
        const double width =
            2 * kPaddingH + iconWidth(mode) + kIconSpacing +
            QFontMetricsF(labelFont(mode == m_mode)).horizontalAdvance(labelOf(mode));
        m_buttons.emplace_back(x, kTrackPadding, std::ceil(width), height);
        x += std::ceil(width) + kButtonSpacing;
    }
    updateGeometry();
}

QSize ModeSwitcher::sizeHint() const {
    if (m_buttons.empty()) {
        return {};
    }
    return {static_cast<int>(std::ceil(m_buttons.back().right() + kTrackPadding)),
            static_cast<int>(std::ceil(m_buttons.back().bottom() + kTrackPadding))};
}

QRectF ModeSwitcher::buttonRect(StorageVisualMode mode) const {
    return m_buttons.at(static_cast<std::size_t>(mode));
}

void ModeSwitcher::setMode(StorageVisualMode mode, bool animated) {
    if (mode == m_mode) {
        return;
    }
    m_pillFrom = m_pill;
    m_mode = mode;
    relayout();
    m_animation.stop();
    if (animated) {
        m_animation.start();
    } else {
        m_pill = buttonRect(m_mode);
    }
    update();
}

void ModeSwitcher::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(whiteAt(0.05));
    painter.drawRoundedRect(QRectF(rect()), 6, 6);
    painter.setBrush(Palette::selectionBlue());
    painter.drawRoundedRect(m_pill, 5, 5);
    for (StorageVisualMode mode : allStorageVisualModes()) {
        const bool selected = mode == m_mode;
        const QRectF box = buttonRect(mode).adjusted(kPaddingH, 0, -kPaddingH, 0);
        const QColor colour = selected ? QColor(Qt::white) : whiteAt(0.6);
        const double glyph = iconWidth(mode);
        drawSystemIcon(painter, QRectF(box.left(), box.top(), glyph, box.height()), icon(mode),
                       kIconSize, colour);
        painter.setFont(labelFont(selected));
        painter.setPen(colour);
        painter.drawText(QRectF(box.left() + glyph + kIconSpacing, box.top(),
                                box.width() - glyph - kIconSpacing + 1, box.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, labelOf(mode));
    }
    if (showsFocusRing(this)) {
        drawFocusRing(painter, buttonRect(m_focused), 5);
    }
}

void ModeSwitcher::focusInEvent(QFocusEvent* event) {
    // Shift+Tab comes in at the last button, everything else at the first.
    const auto& modes = allStorageVisualModes();
    m_focused = event->reason() == Qt::BacktabFocusReason ? modes.back() : modes.front();
    QWidget::focusInEvent(event);
}

bool ModeSwitcher::moveFocus(bool next) {
    const auto& modes = allStorageVisualModes();
    const auto index = static_cast<std::size_t>(m_focused);
    if (next ? index + 1 >= modes.size() : index == 0) {
        return false;
    }
    m_focused = modes[next ? index + 1 : index - 1];
    update();
    return true;
}

bool ModeSwitcher::focusNextPrevChild(bool next) {
    // Tab walks through the buttons before it leaves the switcher.
    if (hasFocus() && moveFocus(next)) {
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void ModeSwitcher::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || returnPressesFocusedButton(event, this)) {
        emit modeChosen(m_focused);
    } else if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        moveFocus(event->key() == Qt::Key_Right);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void ModeSwitcher::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    for (StorageVisualMode mode : allStorageVisualModes()) {
        if (buttonRect(mode).contains(event->position())) {
            emit modeChosen(mode);
            return;
        }
    }
}

} // namespace fernwick::ui
