#include "FernwickUI/MainWindow/CrumbTrail.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace fernwick::ui {

namespace {
constexpr int kSpacing = 4;
/// How many letters a shortened crumb keeps before its ellipsis.
constexpr int kKeptLetters = 3;

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
}

void CrumbTrail::setTrail(const std::vector<QString>& names) {
    m_crumbs.clear();
    m_natural.clear();
    m_minimum.clear();
    auto* row = new QWidget;
    row->setAutoFillBackground(false);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);
    for (std::size_t index = 0; index < names.size(); ++index) {
        const bool last = index + 1 == names.size();
        const QString text = names[index].isEmpty() ? QStringLiteral("~") : names[index];
        const ButtonLook look = crumbLook(index == 0, last);
        auto* crumb = new StyledButton(text, look, row);
        connect(crumb, &QAbstractButton::clicked, this,
                [this, index] { emit crumbChosen(static_cast<int>(index)); });
        crumb->installEventFilter(this);
        layout->addWidget(crumb);
        m_crumbs.push_back(crumb);
        const int natural = crumb->sizeHint().width();
        const QFontMetricsF metrics(look.font);
        const QString kept = text.left(kKeptLetters) + QChar(0x2026);
        const int saved = static_cast<int>(
            std::floor(metrics.horizontalAdvance(text) - metrics.horizontalAdvance(kept)));
        m_natural.push_back(natural);
        m_minimum.push_back(natural - std::max(0, saved));
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
    fit();
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
    const int compact =
        sum(m_minimum.begin(), m_minimum.end() - 1) + m_natural.back() + gapsWidth();
    return {std::min(kMaximumWidth, compact), height()};
}

std::vector<int> CrumbTrail::fitWidths(const std::vector<int>& natural,
                                       const std::vector<int>& minimum, int room, int viewport) {
    std::vector<int> widths = natural;
    if (widths.empty() || sum(natural.begin(), natural.end()) <= room) {
        return widths;
    }
    const std::size_t last = widths.size() - 1;
    const int earlierRoom = room - natural[last];
    const auto earlierAt = [&](int cap) {
        int total = 0;
        for (std::size_t i = 0; i < last; ++i) {
            total += std::min(natural[i], std::max(minimum[i], cap));
        }
        return total;
    };
    if (earlierRoom >= earlierAt(0)) {
        // The widest common cap at which the earlier crumbs fit beside the last one.
        int low = 0;
        int high = *std::max_element(natural.begin(), natural.end());
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            if (earlierAt(middle) <= earlierRoom) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        for (std::size_t i = 0; i < last; ++i) {
            widths[i] = std::min(natural[i], std::max(minimum[i], low));
        }
        return widths;
    }
    for (std::size_t i = 0; i < last; ++i) {
        widths[i] = std::min(natural[i], minimum[i]);
    }
    widths[last] = std::clamp(viewport, 0, natural[last]);
    return widths;
}

void CrumbTrail::fit() {
    if (m_crumbs.empty() || widget() == nullptr) {
        return;
    }
    const int room = viewport()->width();
    const std::vector<int> widths = fitWidths(m_natural, m_minimum, room - gapsWidth(), room);
    for (std::size_t i = 0; i < m_crumbs.size(); ++i) {
        m_crumbs[i]->setFixedWidth(widths[i]);
    }
    widget()->layout()->activate();
    widget()->resize(widget()->sizeHint());
    // The end of the trail, its last crumb, is what the user needs to see.
    horizontalScrollBar()->setRange(0, std::max(0, widget()->width() - room));
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
}

bool CrumbTrail::eventFilter(QObject* watched, QEvent* event) {
    // A crumb reached with Tab is scrolled into view.
    if (event->type() == QEvent::FocusIn) {
        if (auto* crumb = qobject_cast<QWidget*>(watched); crumb != nullptr && crumb != widget()) {
            ensureWidgetVisible(crumb, 0, 0);
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

void CrumbTrail::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    fit();
}

} // namespace fernwick::ui
