#include "FernwickUI/Kit/StyledButton.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/KeyboardFocus.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace fernwick::ui {

namespace {

double iconWidth(const ButtonLook& look) {
    if (look.icon.empty()) {
        return 0;
    }
    if (look.iconFrameWidth > 0) {
        return look.iconFrameWidth;
    }
    return QFontMetricsF(systemIconFont(look.iconSize))
        .horizontalAdvance(systemIconGlyph(look.icon));
}

double trailingIconWidth(const ButtonLook& look) {
    if (look.trailingIcon.empty()) {
        return 0;
    }
    return QFontMetricsF(systemIconFont(look.trailingIconSize))
        .horizontalAdvance(systemIconGlyph(look.trailingIcon));
}

} // namespace

namespace {

double defaultFontSize(ControlSize size) {
    switch (size) {
    case ControlSize::small:
        return 11;
    case ControlSize::mini:
        return 9;
    case ControlSize::regular:
        break;
    }
    return 13;
}

} // namespace

StyledButton::StyledButton(QString label, ButtonStyle style, const QColor& tint, ControlSize size,
                           QWidget* parent)
    : StyledButton(std::move(label), buttonLook(style, uiFont(defaultFontSize(size)), tint, size),
                   parent) {}

StyledButton::StyledButton(QString label, ButtonLook look, QWidget* parent)
    : QAbstractButton(parent), m_label(std::move(label)), m_look(std::move(look)) {
    setCursor(Qt::ArrowCursor);
    // Reached with Tab; a click does not take the focus from where the user is typing.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(m_label);
    setSizePolicy(m_look.fillWidth ? QSizePolicy::Expanding : QSizePolicy::Fixed,
                  QSizePolicy::Fixed);
}

void StyledButton::setLabel(QString label) {
    if (label == m_label) {
        return;
    }
    m_label = std::move(label);
    setAccessibleName(m_label);
    updateGeometry();
    update();
}

void StyledButton::setLook(ButtonLook look) {
    m_look = std::move(look);
    setSizePolicy(m_look.fillWidth ? QSizePolicy::Expanding : QSizePolicy::Fixed,
                  QSizePolicy::Fixed);
    updateGeometry();
    update();
}

QMarginsF StyledButton::shadowMargins() const {
    if (m_look.shadow.alpha() == 0 || m_look.shadowRadius <= 0) {
        return {};
    }
    // Even on both sides, so that the label stays centred where the button is placed.
    const double spread = m_look.shadowRadius / 2;
    const double vertical = spread + m_look.shadowOffsetY;
    return {spread, vertical, spread, vertical};
}

QSize StyledButton::sizeHint() const {
    const QFontMetricsF text(m_look.font);
    double width = 0;
    int parts = 0;
    const auto add = [&](double part) {
        if (part > 0) {
            width += part;
            ++parts;
        }
    };
    if (!m_look.dots.empty()) {
        const auto dots = static_cast<double>(m_look.dots.size());
        add(dots * m_look.dotSize + (dots - 1) * m_look.dotSpacing);
    }
    add(iconWidth(m_look));
    add(m_label.isEmpty() ? 0 : text.horizontalAdvance(m_label));
    add(trailingIconWidth(m_look));
    if (!m_look.badge.isEmpty()) {
        add(QFontMetricsF(m_look.badgeFont).horizontalAdvance(m_look.badge));
    }
    width += std::max(0, parts - 1) * m_look.spacing + 2 * m_look.paddingH;
    double height = text.height();
    if (!m_look.icon.empty()) {
        height = std::max(height, QFontMetricsF(systemIconFont(m_look.iconSize)).height());
    }
    height += 2 * m_look.paddingV;
    const QMarginsF margins = shadowMargins();
    return {static_cast<int>(std::ceil(width + margins.left() + margins.right())),
            static_cast<int>(std::ceil(height + margins.top() + margins.bottom()))};
}

QSize StyledButton::minimumSizeHint() const {
    return sizeHint();
}

void StyledButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).marginsRemoved(shadowMargins());
    if (m_look.shadow.alpha() > 0 && m_look.shadowRadius > 0) {
        drawSoftShadow(painter, body, m_look.cornerRadius, m_look.shadow, m_look.shadowRadius,
                       m_look.shadowOffsetY);
    }
    QColor background = m_look.background;
    if (isDown() && background.alpha() > 0) {
        background = background.lighter(120);
    }
    if (background.alpha() > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(background);
        painter.drawRoundedRect(body, m_look.cornerRadius, m_look.cornerRadius);
    }
    if (m_look.outline.alpha() > 0 && m_look.outlineWidth > 0) {
        painter.setPen(QPen(m_look.outline, m_look.outlineWidth));
        painter.setBrush(Qt::NoBrush);
        const double inset = m_look.outlineWidth / 2;
        painter.drawRoundedRect(body.adjusted(inset, inset, -inset, -inset), m_look.cornerRadius,
                                m_look.cornerRadius);
    }

    const QRectF content =
        body.adjusted(m_look.paddingH, m_look.paddingV, -m_look.paddingH, -m_look.paddingV);
    // Without a trailing spacer the content is centred in the button.
    const double natural =
        sizeHint().width() - shadowMargins().left() - shadowMargins().right() - 2 * m_look.paddingH;
    double x = m_look.fillWidth ? content.left()
                                : content.left() + std::max(0.0, (content.width() - natural) / 2);
    const double midY = content.center().y();
    if (!m_look.dots.empty()) {
        painter.setPen(Qt::NoPen);
        for (const QColor& dot : m_look.dots) {
            painter.setBrush(dot);
            painter.drawEllipse(
                QRectF(x, midY - m_look.dotSize / 2, m_look.dotSize, m_look.dotSize));
            x += m_look.dotSize + m_look.dotSpacing;
        }
        x += m_look.spacing - m_look.dotSpacing;
    }
    if (!m_look.icon.empty()) {
        const double width = iconWidth(m_look);
        drawSystemIcon(painter, QRectF(x, content.top(), width, content.height()), m_look.icon,
                       m_look.iconSize, m_look.iconColour);
        x += width + m_look.spacing;
    }
    const QFontMetricsF metrics(m_look.font);
    double right = content.right();
    if (!m_look.badge.isEmpty()) {
        painter.setFont(m_look.badgeFont);
        painter.setPen(m_look.badgeColour);
        const double width = QFontMetricsF(m_look.badgeFont).horizontalAdvance(m_look.badge);
        painter.drawText(QRectF(right - width, content.top(), width, content.height()),
                         Qt::AlignRight | Qt::AlignVCenter, m_look.badge);
        right -= width + m_look.spacing;
    }
    if (!m_label.isEmpty()) {
        painter.setFont(m_look.font);
        painter.setPen(m_look.textColour);
        const double available = std::max(0.0, right - x);
        const double width = std::min(metrics.horizontalAdvance(m_label), available);
        painter.drawText(QRectF(x, content.top(), width + 1, content.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(m_label, Qt::ElideRight, available + 0.5));
        x += width + m_look.spacing;
    }
    if (!m_look.trailingIcon.empty()) {
        const double width = trailingIconWidth(m_look);
        drawSystemIcon(painter, QRectF(x, content.top(), width, content.height()),
                       m_look.trailingIcon, m_look.trailingIconSize, m_look.trailingIconColour);
    }
    if (showsFocusRing(this)) {
        drawFocusRing(painter, body, m_look.cornerRadius);
    }
}

void StyledButton::keyPressEvent(QKeyEvent* event) {
    if (returnPressesFocusedButton(event, this)) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

ButtonLook buttonLook(ButtonStyle style, const QFont& font, const QColor& tint, ControlSize size) {
    ButtonLook look;
    look.font = font;
    const QColor label = tint.isValid() ? tint : QColor(Qt::white);
    switch (style) {
    case ButtonStyle::plain:
        look.textColour = label;
        look.iconColour = label;
        look.paddingH = 0;
        look.paddingV = 0;
        return look;
    case ButtonStyle::bordered:
        look.textColour = label;
        look.iconColour = label;
        look.background = whiteAt(0.12);
        look.outline = whiteAt(0.08);
        look.outlineWidth = 0.5;
        break;
    case ButtonStyle::borderedProminent:
        look.textColour = Qt::white;
        look.background = tint.isValid() ? tint : Palette::systemBlue();
        break;
    }
    switch (size) {
    case ControlSize::regular:
        look.paddingH = 10;
        look.paddingV = 4;
        look.cornerRadius = 5;
        break;
    case ControlSize::small:
        look.paddingH = 8;
        look.paddingV = 3;
        look.cornerRadius = 5;
        break;
    case ControlSize::mini:
        look.paddingH = 6;
        look.paddingV = 2;
        look.cornerRadius = 4;
        break;
    }
    return look;
}

ButtonLook borderedLook(const QFont& font, QColor tint) {
    return buttonLook(ButtonStyle::bordered, font, tint, ControlSize::small);
}

ButtonLook borderedProminentLook(const QFont& font, QColor tint) {
    return buttonLook(ButtonStyle::borderedProminent, font, tint, ControlSize::small);
}

} // namespace fernwick::ui
