#pragma once

// The ring gauge of the sidebar's disk section. GUI thread only.

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QColor>
#include <QPainter>
#include <QString>
#include <QWidget>

#include <cmath>

namespace fernwick::ui {

/// The ring gauge of the used disk space.
class DiskGauge : public QWidget {
public:
    explicit DiskGauge(QWidget* parent) : QWidget(parent) { setFixedSize(54, 54); }
    void setValues(double fraction, QString text) {
        m_fraction = fraction;
        m_text = std::move(text);
        update();
    }
    const QString& text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF ring = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
        painter.setPen(QPen(whiteAt(0.08), 5));
        painter.drawEllipse(ring);
        if (m_fraction > 0) {
            painter.setPen(QPen(Palette::sizeGreen(), 5, Qt::SolidLine, Qt::RoundCap));
            // From twelve o'clock, clockwise (Qt's positive angles run counter-clockwise).
            painter.drawArc(ring, 90 * 16, -static_cast<int>(std::lround(m_fraction * 360 * 16)));
        }
        drawSystemIcon(painter, QRectF(0, 13, 54, 13), "internaldrive", 10, whiteAt(0.6));
        painter.setFont(uiFont(11, QFont::Bold));
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, 26, 54, 15), Qt::AlignCenter, m_text);
    }

private:
    double m_fraction = 0;
    QString m_text;
};

/// The thin bar of the used disk space, with 2 points of room above it.
class UsageBar : public QWidget {
public:
    explicit UsageBar(QWidget* parent) : QWidget(parent) {
        setFixedHeight(6);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void setFraction(double fraction) {
        m_fraction = fraction;
        update();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(whiteAt(0.08));
        painter.drawRoundedRect(QRectF(0, 2, width(), 4), 2, 2);
        if (m_fraction > 0) {
            painter.setBrush(Palette::sizeGreen());
            painter.drawRoundedRect(QRectF(0, 2, width() * m_fraction, 4), 2, 2);
        }
    }

private:
    double m_fraction = 0;
};

} // namespace fernwick::ui
