#include "FernwickUI/Kit/Spinner.h"

#include "FernwickUI/Kit/Painting.h"

#include <QPainter>

#include <cmath>

namespace fernwick::ui {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 83; // one turn a second
} // namespace

Spinner::Spinner(double diameter, QWidget* parent) : QWidget(parent), m_diameter(diameter) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % kSpokes;
        update();
    });
}

QSize Spinner::sizeHint() const {
    const int side = static_cast<int>(std::ceil(m_diameter));
    return {side, side};
}

void Spinner::showEvent(QShowEvent* /*event*/) {
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent* /*event*/) {
    m_timer.stop();
}

void Spinner::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side =
        std::min<double>({m_diameter, static_cast<double>(width()), static_cast<double>(height())});
    const double outer = side / 2;
    const double inner = outer * 0.45;
    const double thickness = std::max(1.0, side * 0.085);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // The brightest spoke is the current phase; the others fade behind it.
        const int age = (m_phase - spoke + kSpokes) % kSpokes;
        QPen pen(whiteAt(0.9 - 0.065 * age), thickness, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const double angle = spoke * 2 * M_PI / kSpokes;
        const QPointF direction(std::sin(angle), -std::cos(angle));
        painter.drawLine(direction * inner, direction * (outer - thickness / 2));
    }
}

} // namespace fernwick::ui
