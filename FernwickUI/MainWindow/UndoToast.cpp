#include "FernwickUI/MainWindow/UndoToast.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/KeyboardFocus.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace fernwick::ui {

namespace {
constexpr double kShadowRoom = 12;  // the shadow's radius on each side
constexpr double kShadowOffset = 4; // the shadow lies this far below
constexpr double kPaddingH = 16;
constexpr double kPaddingV = 10;
constexpr double kSpacing = 12;
constexpr double kBottomGap = 24;
constexpr double kClearance = 8; // above a widget the toast keeps clear of
constexpr double kIconSize = 13;

QFont textFont() {
    return uiFont(12, QFont::Medium);
}
QFont undoFont() {
    return uiFont(12, QFont::Bold);
}
double iconWidth() {
    return QFontMetricsF(systemIconFont(kIconSize)).horizontalAdvance(systemIconGlyph("trash"));
}
double undoWidth() {
    return QFontMetricsF(undoFont()).horizontalAdvance(QStringLiteral("Undo"));
}
} // namespace

UndoToast::UndoToast(QWidget* parent)
    : QWidget(parent),
      m_undo(new StyledButton(QStringLiteral("Undo"),
                              buttonLook(ButtonStyle::plain, undoFont(), Palette::undoActionBlue()),
                              this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    connect(m_undo, &QAbstractButton::clicked, this, [this] {
        if (m_presented) {
            emit undoRequested();
        }
        giveFocusBack();
    });
    // A click on the toast takes the focus to the toast, not to the window behind it; the
    // widget that had it before is kept to give it back.
    setFocusPolicy(Qt::ClickFocus);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inToast = [this](QWidget* widget) {
            return widget == this || isAncestorOf(widget);
        };
        if (now != nullptr && inToast(now) && old != nullptr && !inToast(old)) {
            m_focusBefore = old;
        }
    });
    hide();
    m_animation.setDuration(200);
    m_animation.setEasingCurve(QEasingCurve::OutQuad);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toDouble();
        reposition();
        update();
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] {
        if (!m_presented) {
            hide();
        }
    });
    parent->installEventFilter(this);
}

void UndoToast::present(const QString& name) {
    m_text = QStringLiteral("Moved ") + name + QStringLiteral(" to Trash");
    m_presented = true;
    resize(sizeHint());
    show();
    raise();
    m_animation.stop();
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    m_animation.start();
    m_progress = 0;
    reposition();
    update();
}

void UndoToast::dismiss() {
    if (!m_presented) {
        return;
    }
    m_presented = false;
    m_animation.stop();
    m_animation.setStartValue(m_progress);
    m_animation.setEndValue(0.0);
    m_animation.start();
}

double UndoToast::textWidth() const {
    const double natural = QFontMetricsF(textFont()).horizontalAdvance(m_text);
    // One line, shortened in the middle when the window is too narrow for it.
    const double room = parentWidget() != nullptr
                            ? parentWidget()->width() - 2 * kBottomGap - 2 * kShadowRoom -
                                  2 * kPaddingH - iconWidth() - undoWidth() - 2 * kSpacing
                            : natural;
    return std::max(40.0, std::min(natural, room));
}

QString UndoToast::shownText() const {
    return QFontMetricsF(textFont()).elidedText(m_text, Qt::ElideMiddle, textWidth() + 0.5);
}

QSize UndoToast::sizeHint() const {
    const double width =
        2 * kPaddingH + iconWidth() + kSpacing + textWidth() + kSpacing + undoWidth();
    const double height = 2 * kPaddingV + QFontMetricsF(textFont()).height();
    return {static_cast<int>(std::ceil(width + 2 * kShadowRoom)),
            static_cast<int>(std::ceil(height + 2 * kShadowRoom + kShadowOffset))};
}

QRectF UndoToast::bodyRect() const {
    return QRectF(rect()).adjusted(kShadowRoom, kShadowRoom, -kShadowRoom,
                                   -kShadowRoom - kShadowOffset);
}

QRectF UndoToast::undoRect() const {
    const QRectF body = bodyRect();
    return {body.right() - kPaddingH - undoWidth(), body.top(), undoWidth(), body.height()};
}

void UndoToast::keepClearOf(QWidget* widget) {
    if (m_clearOf == widget) {
        return;
    }
    if (m_clearOf) {
        m_clearOf->removeEventFilter(this);
    }
    m_clearOf = widget;
    if (widget != nullptr) {
        widget->installEventFilter(this);
    }
    if (isVisible()) {
        reposition();
    }
}

void UndoToast::reposition() {
    if (parentWidget() == nullptr) {
        return;
    }
    resize(sizeHint());
    m_undo->setGeometry(undoRect().toAlignedRect());
    const QSize area = parentWidget()->size();
    double floor = area.height() - kBottomGap;
    if (m_clearOf && m_clearOf->isVisible()) {
        const QPoint top = m_clearOf->mapTo(parentWidget(), QPoint(0, 0));
        floor = std::min(floor, top.y() - kClearance);
    }
    const double restingTop = floor - height() + kShadowRoom + kShadowOffset;
    // Slides up from below the bottom edge as it enters.
    const double hiddenTop = area.height();
    const double top = hiddenTop + (restingTop - hiddenTop) * m_progress;
    move((area.width() - width()) / 2, static_cast<int>(std::lround(top)));
}

bool UndoToast::eventFilter(QObject* watched, QEvent* event) {
    const bool moved = event->type() == QEvent::Resize || event->type() == QEvent::Move ||
                       event->type() == QEvent::Show || event->type() == QEvent::Hide;
    if ((watched == parentWidget() || watched == m_clearOf) && moved && isVisible()) {
        reposition();
    }
    return QWidget::eventFilter(watched, event);
}

void UndoToast::giveFocusBack() {
    // Only a focus the toast holds goes back: "Undo" may have raised an alert that has it now.
    QWidget* now = QApplication::focusWidget();
    if (now != nullptr && now != this && !isAncestorOf(now)) {
        return;
    }
    returnFocus(m_focusBefore, m_focusHome ? m_focusHome() : parentWidget());
}

void UndoToast::mousePressEvent(QMouseEvent* event) {
    event->accept();
    giveFocusBack();
}

void UndoToast::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(std::clamp(m_progress, 0.0, 1.0));
    const QRectF body = bodyRect();
    drawSoftShadow(painter, body, 10, blackAt(0.5), 12, kShadowOffset);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::dialogBackground());
    painter.drawRoundedRect(body, 10, 10);
    painter.setPen(QPen(whiteAt(0.12), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);

    double x = body.left() + kPaddingH;
    drawSystemIcon(painter, QRectF(x, body.top(), iconWidth(), body.height()), "trash", kIconSize,
                   whiteAt(0.75));
    x += iconWidth() + kSpacing;
    painter.setFont(textFont());
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, body.top(), textWidth() + 1, body.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

} // namespace fernwick::ui
