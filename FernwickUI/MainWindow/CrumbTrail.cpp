#include "FernwickUI/MainWindow/CrumbTrail.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace fernwick::ui {

namespace {
constexpr int kSpacing = 4;

ButtonLook crumbLook(bool first, bool last) {
    ButtonLook look;
    if (first) {
        look.icon = "house.fill";
        look.iconSize = 9;
    }
    look.iconColour = last ? QColor(Qt::white) : whiteAt(0.6);
    look.font = uiFont(11, last ? QFont::DemiBold : QFont::Normal);
    look.textColour = look.iconColour;
    look.spacing = 3;
    look.paddingH = 4;
    look.paddingV = 2;
    look.background = last ? whiteAt(0.08) : QColor(Qt::transparent);
    look.cornerRadius = 4;
    return look;
}

int sum(std::vector<int>::const_iterator begin, std::vector<int>::const_iterator end) {
    return std::accumulate(begin, end, 0);
}

// The share of a fade, at its edge, that hides the row entirely.
constexpr double kSolidShare = 0.15;

// The header's background over the trail's edge, thinning out towards the trail's inside; it
// lets every click through to the crumb under it.
class EdgeFade : public QWidget {
public:
    EdgeFade(bool atStart, QWidget* parent) : QWidget(parent), m_atStart(atStart) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        const QColor solid = Palette::chromeBackground();
        QColor clear = solid;
        clear.setAlphaF(0);
        QLinearGradient gradient(m_atStart ? 0 : width(), 0, m_atStart ? width() : 0, 0);
        gradient.setColorAt(0, solid);
        gradient.setColorAt(kSolidShare, solid);
        gradient.setColorAt(1, clear);
        painter.fillRect(rect(), gradient);
    }

private:
    bool m_atStart;
};

} // namespace

CrumbTrail::CrumbTrail(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setMaximumWidth(kMaximumWidth);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    // Tab goes through the crumbs themselves, not through the area around them.
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_separatorWidth = static_cast<int>(
        std::ceil(QFontMetricsF(uiFont(11)).horizontalAdvance(QStringLiteral("\u203A"))));
    m_startFade = new EdgeFade(true, this);
    m_endFade = new EdgeFade(false, this);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &CrumbTrail::placeFades);
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, &CrumbTrail::placeFades);
}

void CrumbTrail::placeFades() {
    const QRect area = viewport()->geometry();
    const int width = std::min(CrumbTrail::kFadeWidth, area.width() / 4);
    const QScrollBar* bar = horizontalScrollBar();
    m_startFade->setGeometry(area.left(), area.top(), width, area.height());
    m_endFade->setGeometry(area.right() + 1 - width, area.top(), width, area.height());
    m_startFade->setVisible(bar->value() > bar->minimum());
    m_endFade->setVisible(bar->value() < bar->maximum());
    m_startFade->raise();
    m_endFade->raise();
}

void CrumbTrail::setTrail(const std::vector<QString>& names) {
    m_crumbs.clear();
    m_natural.clear();
    auto* row = new QWidget;
    row->setAutoFillBackground(false);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);
    for (std::size_t index = 0; index < names.size(); ++index) {
        const bool last = index + 1 == names.size();
        const QString text = names[index].isEmpty() ? QStringLiteral("~") : names[index];
        auto* crumb = new StyledButton(text, crumbLook(index == 0, last), row);
        connect(crumb, &QAbstractButton::clicked, this,
                [this, index] { emit crumbChosen(static_cast<int>(index)); });
        crumb->installEventFilter(this);
        // Never narrower than its whole text.
        crumb->setMinimumWidth(crumb->sizeHint().width());
        layout->addWidget(crumb);
        m_crumbs.push_back(crumb);
        m_natural.push_back(crumb->sizeHint().width());
        if (!last) {
            auto* separator = makeLabel(QStringLiteral("\u203A"), uiFont(11), whiteAt(0.35));
            separator->setFixedWidth(m_separatorWidth);
            layout->addWidget(separator);
        }
    }
    row->adjustSize();
    // The old row goes with setWidget's replacement.
    setWidget(row);
    setFixedHeight(row->sizeHint().height());
    updateGeometry();
    scrollToEnd();
}

int CrumbTrail::gapsWidth() const {
    if (m_crumbs.empty()) {
        return 0;
    }
    const int separators = static_cast<int>(m_crumbs.size()) - 1;
    return separators * (m_separatorWidth + 2 * kSpacing);
}

QSize CrumbTrail::sizeHint() const {
    const int natural = sum(m_natural.begin(), m_natural.end()) + gapsWidth();
    return {std::min(kMaximumWidth, natural), height()};
}

QSize CrumbTrail::minimumSizeHint() const {
    if (m_crumbs.empty()) {
        return {0, height()};
    }
    // Room for the fade before the last crumb, so that the fade lies over what goes on and
    // not over the crumb's first letters.
    const int fade = m_crumbs.size() > 1 ? kFadeWidth : 0;
    return {std::min(kMaximumWidth, m_natural.back() + fade), height()};
}

void CrumbTrail::scrollToEnd() {
    if (m_crumbs.empty() || widget() == nullptr) {
        horizontalScrollBar()->setRange(0, 0);
        placeFades();
        return;
    }
    widget()->layout()->activate();
    widget()->resize(widget()->sizeHint());
    // The end of the trail, its last crumb, is what the user needs to see.
    const int room = viewport()->width();
    horizontalScrollBar()->setRange(0, std::max(0, widget()->width() - room));
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
    placeFades();
}

bool CrumbTrail::eventFilter(QObject* watched, QEvent* event) {
    // A crumb reached with Tab is scrolled into view.
    if (event->type() == QEvent::FocusIn) {
        if (auto* crumb = qobject_cast<QWidget*>(watched); crumb != nullptr && crumb != widget()) {
            ensureWidgetVisible(crumb, kFadeWidth, 0); // clear of the fades
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

void CrumbTrail::wheelEvent(QWheelEvent* event) {
    // The trail is one row: a mouse's vertical wheel scrolls it sideways, as a horizontal one
    // does (the scroll bar takes either turn along its own direction).
    event->ignore();
    QCoreApplication::sendEvent(horizontalScrollBar(), event);
}

void CrumbTrail::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    scrollToEnd();
}

} // namespace fernwick::ui
