#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Style/SystemIcons.h"

#include "FernwickUI/Style/Palette.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr int kScrollBarExtent = 10;
constexpr int kHandleMinimum = 28;
constexpr double kHandleInset = 2;

// The window's one scroll bar: a dark track without arrow buttons and a rounded handle that
// brightens while pointed at or dragged. Everything else is the base style's.
class DarkScrollBarStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
        case PM_ScrollBarExtent:
            return kScrollBarExtent;
        case PM_ScrollBarSliderMin:
            return kHandleMinimum;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || bar == nullptr) {
            return QProxyStyle::subControlRect(control, option, part, widget);
        }
        const QRect groove = bar->rect;
        const bool vertical = bar->orientation == Qt::Vertical;
        const int length = vertical ? groove.height() : groove.width();
        const int range = bar->maximum - bar->minimum;
        int handle = length;
        if (range > 0) {
            const double share =
                static_cast<double>(bar->pageStep) / (static_cast<double>(range) + bar->pageStep);
            handle = std::clamp(static_cast<int>(length * share), std::min(kHandleMinimum, length),
                                length);
        }
        const int start = sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition,
                                                  length - handle, bar->upsideDown);
        const auto span = [&](int from, int size) {
            return vertical ? QRect(groove.left(), groove.top() + from, groove.width(), size)
                            : QRect(groove.left() + from, groove.top(), size, groove.height());
        };
        switch (part) {
        case SC_ScrollBarGroove:
            return groove;
        case SC_ScrollBarSlider:
            return span(start, handle);
        case SC_ScrollBarSubPage:
            return span(0, start);
        case SC_ScrollBarAddPage:
            return span(start + handle, length - start - handle);
        default: // the arrow buttons and the first and last positions: none
            return {};
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || bar == nullptr) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        painter->save();
        painter->fillRect(bar->rect, Palette::scrollBarTrack());
        if (bar->maximum > bar->minimum) {
            const QRectF handle =
                QRectF(subControlRect(control, option, SC_ScrollBarSlider, widget))
                    .adjusted(kHandleInset, kHandleInset, -kHandleInset, -kHandleInset);
            const bool active = (bar->activeSubControls & SC_ScrollBarSlider) != 0 &&
                                (bar->state & (State_MouseOver | State_Sunken)) != 0;
            const double radius = std::min(handle.width(), handle.height()) / 2;
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(active ? Palette::scrollBarHandleActive()
                                     : Palette::scrollBarHandle());
            painter->drawRoundedRect(handle, radius, radius);
        }
        painter->restore();
    }
};

} // namespace

QPalette darkPalette() {
    QPalette palette;
    const QColor window(30, 30, 32);
    const QColor base(24, 24, 26);
    const QColor text(235, 235, 240);
    const QColor accent(10, 132, 255);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(36, 36, 38));
    palette.setColor(QPalette::ToolTipBase, QColor(44, 44, 46));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(44, 44, 46));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent);
    palette.setColor(QPalette::PlaceholderText, QColor(142, 142, 147));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(110, 110, 115));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 110, 115));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 110, 115));
    return palette;
}

void applyDarkAppearance(QApplication& app) {
    // The proxy takes ownership of the base style, the application of the proxy.
    app.setStyle(new DarkScrollBarStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
    app.setPalette(darkPalette());
    systemIconFontFamily();
}

} // namespace fernwick::ui
