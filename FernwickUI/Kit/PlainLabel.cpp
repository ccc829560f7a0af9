#include "FernwickUI/Kit/PlainLabel.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/RowList.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    setLabelColour(label, colour);
    return label;
}

void setLabelColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    label->setPalette(palette);
}

WrappedLabel::WrappedLabel(const QString& text, const QFont& font, const QColor& colour,
                           QWidget* parent)
    : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(font);
    setLabelColour(this, colour);
    // Tells the layouts that the height follows the width.
    setWordWrap(true);
}

QString WrappedLabel::laidOutText() const {
    // A text layout breaks lines at line separators, not at "\n".
    return QString(text()).replace(QLatin1Char('\n'), QChar::LineSeparator);
}

int WrappedLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    const double room = std::max(1, width - margins.left() - margins.right() - 2 * margin());
    return static_cast<int>(std::ceil(wrappedTextSize(laidOutText(), font(), room).height())) +
           margins.top() + margins.bottom() + 2 * margin();
}

QSize WrappedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    const double longest = wrappedTextSize(laidOutText(), font(), QWIDGETSIZE_MAX).width();
    const int width =
        static_cast<int>(std::ceil(longest)) + margins.left() + margins.right() + 2 * margin();
    return {width, heightForWidth(width)};
}

QSize WrappedLabel::minimumSizeHint() const {
    // A few letters a line at the least; the height follows the width the layout gives.
    const QMargins margins = contentsMargins();
    const int few = static_cast<int>(std::ceil(QFontMetricsF(font()).averageCharWidth() * 6)) +
                    margins.left() + margins.right() + 2 * margin();
    const int line = static_cast<int>(std::ceil(QFontMetricsF(font()).height())) + margins.top() +
                     margins.bottom() + 2 * margin();
    return {std::min(few, sizeHint().width()), line};
}

void WrappedLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRectF box = QRectF(contentsRect()).adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = laidOutText();
    double top = box.top();
    if (alignment() & Qt::AlignVCenter) {
        top += std::max(0.0,
                        (box.height() - wrappedTextSize(shown, font(), box.width()).height()) / 2);
    } else if (alignment() & Qt::AlignBottom) {
        top += std::max(0.0, box.height() - wrappedTextSize(shown, font(), box.width()).height());
    }
    drawWrapped(painter, QRectF(box.left(), top, box.width(), box.height()), shown, font(),
                palette().color(QPalette::WindowText));
}

ElidedLabel::ElidedLabel(const QFont& font, const QColor& colour, QWidget* parent)
    : QWidget(parent), m_font(font), m_colour(colour) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    updateGeometry();
    update();
}

void ElidedLabel::setColour(const QColor& colour) {
    m_colour = colour;
    update();
}

void ElidedLabel::setMaximumTextWidth(int width) {
    m_maximumTextWidth = width;
    updateGeometry();
}

QString ElidedLabel::shownText() const {
    double room = width();
    if (m_maximumTextWidth > 0) {
        room = std::min<double>(room, m_maximumTextWidth);
    }
    return QFontMetricsF(m_font).elidedText(m_text, m_mode, room);
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetricsF metrics(m_font);
    double width = metrics.horizontalAdvance(m_text) + 1;
    if (m_maximumTextWidth > 0) {
        width = std::min<double>(width, m_maximumTextWidth);
    }
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(metrics.height()))};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setFont(m_font);
    painter.setPen(m_colour);
    painter.drawText(rect(), static_cast<int>(m_alignment), shownText());
}

IconView::IconView(std::string name, double size, const QColor& colour, QWidget* parent)
    : QWidget(parent), m_name(std::move(name)), m_size(size), m_colour(colour) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void IconView::setName(std::string name) {
    m_name = std::move(name);
    updateGeometry();
    update();
}

void IconView::setColour(const QColor& colour) {
    m_colour = colour;
    update();
}

void IconView::setFrameWidth(int width) {
    m_frameWidth = width;
    updateGeometry();
}

QSize IconView::sizeHint() const {
    const QFontMetricsF metrics(systemIconFont(m_size));
    const double width =
        m_frameWidth > 0 ? m_frameWidth : metrics.horizontalAdvance(systemIconGlyph(m_name));
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(metrics.height()))};
}

void IconView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSystemIcon(painter, rect(), m_name, m_size, m_colour);
}

namespace {

class Divider : public QWidget {
public:
    Divider(Qt::Orientation orientation, double opacity, QWidget* parent)
        : QWidget(parent), m_colour(whiteAt(opacity)) {
        if (orientation == Qt::Horizontal) {
            setFixedHeight(1);
            setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        } else {
            setFixedWidth(1);
            setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        }
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(rect(), m_colour);
    }

private:
    QColor m_colour;
};

class RoundedBar : public QWidget {
public:
    RoundedBar(QSize size, const QColor& colour, double radius, QWidget* parent)
        : QWidget(parent), m_colour(colour), m_radius(radius) {
        setFixedSize(size);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_colour);
        painter.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
    }

private:
    QColor m_colour;
    double m_radius;
};

} // namespace

QWidget* makeRoundedBar(QSize size, const QColor& colour, double radius, QWidget* parent) {
    return new RoundedBar(size, colour, radius, parent);
}

QWidget* makeDivider(Qt::Orientation orientation, QWidget* parent, double opacity) {
    return new Divider(orientation, opacity, parent);
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QString plainText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace fernwick::ui
