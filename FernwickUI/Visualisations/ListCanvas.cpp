#include "FernwickUI/Visualisations/ListCanvas.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/RowList.h"
#include "FernwickUI/Style/KeyboardFocus.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollArea>

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

namespace {
constexpr double kTopPadding = 8;
constexpr double kRowSpacing = 1;
constexpr double kPaddingH = 16;
constexpr double kPaddingV = 8;
constexpr double kSpacing = 12;
constexpr double kIconFrame = 20;
constexpr double kIconSize = 13;
} // namespace

ListCanvas::ListCanvas(QWidget* parent)
    : QWidget(parent), m_nameFont(uiFont(12, QFont::Medium)),
      m_sizeFont(uiFont(11, QFont::Normal, FontDesign::monospaced)) {
    const double content = std::max({QFontMetricsF(m_nameFont).height(),
                                     QFontMetricsF(systemIconFont(kIconSize)).height(),
                                     QFontMetricsF(m_sizeFont).height()});
    m_rowHeight = std::ceil(content + 2 * kPaddingV);
    // Without height-for-width in the policy a resizable scroll area keeps the canvas as tall as
    // its viewport, and the rows below it could never be scrolled to.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    // Tab reaches the reveal buttons; a click leaves the focus to the scroll area.
    setFocusPolicy(Qt::TabFocus);
}

void ListCanvas::setRoot(const DiskNodePtr& root) {
    m_root = root;
    m_rows = root ? root->children : std::vector<DiskNodePtr>{};
    m_focusedRow = 0;
    m_topsWidth = -1;
    updateGeometry();
    update();
}

double ListCanvas::nameRoom(double width, const QString& size) const {
    const double side = QFontMetricsF(systemIconFont(kIconSize)).height();
    const double sizeWidth = QFontMetricsF(m_sizeFont).horizontalAdvance(size);
    return std::max(0.0, width - 2 * kPaddingH - kIconFrame - 3 * kSpacing - side - sizeWidth);
}

const std::vector<double>& ListCanvas::tops(int width) const {
    if (m_topsWidth == width) {
        return m_tops;
    }
    // A name that fits on one line (most do) is told from the widths of its letters, so a
    // folder of many thousand children lays out without setting each name; only the names
    // that may not fit are wrapped.
    const TextWidths names(m_nameFont);
    const double roomForAnySize =
        nameRoom(width, QStringLiteral("999.9 bytes")); // the widest size text
    m_tops.assign(1, kTopPadding);
    m_tops.reserve(m_rows.size() + 1);
    for (const DiskNodePtr& node : m_rows) {
        double height = m_rowHeight;
        if (!names.fits(node->name(), roomForAnySize)) {
            const double wrapped =
                wrappedTextSize(plainText(node->name()), m_nameFont,
                                nameRoom(width, plainText(node->formattedSize())))
                    .height();
            height = std::max(m_rowHeight, std::ceil(wrapped + 2 * kPaddingV));
        }
        m_tops.push_back(m_tops.back() + height + kRowSpacing);
    }
    m_topsWidth = width;
    return m_tops;
}

int ListCanvas::heightForWidth(int width) const {
    if (m_rows.empty()) {
        return static_cast<int>(kTopPadding);
    }
    return static_cast<int>(std::ceil(tops(width).back() - kRowSpacing));
}

int ListCanvas::rowAt(double y) const {
    const std::vector<double>& at = tops(width());
    if (m_rows.empty() || y < at.front() || y >= at.back()) {
        return -1;
    }
    return static_cast<int>(std::upper_bound(at.begin(), at.end(), y) - at.begin()) - 1;
}

void ListCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width()) {
        // Names wrap to the new width: the rows' heights, and with them the canvas's, change.
        updateGeometry();
    }
}

QSize ListCanvas::sizeHint() const {
    return {400, heightForWidth(400)};
}

QRectF ListCanvas::rowRect(int index) const {
    const std::vector<double>& at = tops(width());
    const auto row = static_cast<std::size_t>(index);
    return {0, at[row], static_cast<double>(width()), at[row + 1] - at[row] - kRowSpacing};
}

QRectF ListCanvas::revealRect(int index) const {
    const QRectF row = rowRect(index);
    const double side = QFontMetricsF(systemIconFont(kIconSize)).height();
    return {row.right() - kPaddingH - side, row.center().y() - side / 2, side, side};
}

void ListCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF exposed = event->rect();
    if (m_rows.empty()) {
        return;
    }
    const std::vector<double>& at = tops(width());
    const int first = std::max(
        0,
        static_cast<int>(std::upper_bound(at.begin(), at.end(), exposed.top()) - at.begin()) - 1);
    const int last = std::min(
        static_cast<int>(m_rows.size()) - 1,
        static_cast<int>(std::upper_bound(at.begin(), at.end(), exposed.bottom()) - at.begin()) -
            1);
    const QFontMetricsF nameMetrics(m_nameFont);
    const QFontMetricsF sizeMetrics(m_sizeFont);
    for (int index = first; index <= last; ++index) {
        const DiskNode& node = *m_rows[static_cast<std::size_t>(index)];
        const QRectF row = rowRect(index);
        painter.fillRect(row, whiteAt(0.02));
        const QRectF content = row.adjusted(kPaddingH, kPaddingV, -kPaddingH, -kPaddingV);
        double x = content.left();
        drawSystemIcon(painter, QRectF(x, content.top(), kIconFrame, content.height()),
                       node.isDirectory() ? "folder.fill" : "doc.fill", kIconSize,
                       node.isDirectory() ? Palette::folderIcon() : Palette::fileIcon());
        x += kIconFrame + kSpacing;
        const QRectF reveal = revealRect(index);
        drawSystemIcon(painter, reveal, "arrow.right.circle", kIconSize, whiteAt(0.5));
        if (index == m_focusedRow && showsFocusRing(this)) {
            drawFocusRing(painter, reveal.adjusted(-3, -3, 3, 3), reveal.height() / 2 + 3);
        }
        const QString size = plainText(node.formattedSize());
        const double sizeWidth = sizeMetrics.horizontalAdvance(size);
        const double sizeLeft = reveal.left() - kSpacing - sizeWidth;
        painter.setFont(m_sizeFont);
        painter.setPen(Palette::sizeGreen());
        painter.drawText(QRectF(sizeLeft, content.top(), sizeWidth + 1, content.height()),
                         Qt::AlignRight | Qt::AlignVCenter, size);
        const double room = std::max(0.0, sizeLeft - kSpacing - x);
        const QString name = plainText(node.name());
        if (nameMetrics.horizontalAdvance(name) <= room) {
            painter.setFont(m_nameFont);
            painter.setPen(Qt::white);
            painter.drawText(QRectF(x, content.top(), room + 1, content.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, name);
        } else {
            const double height = wrappedTextSize(name, m_nameFont, room).height();
            drawWrapped(painter, QRectF(x, content.center().y() - height / 2, room, height), name,
                        m_nameFont, Qt::white);
        }
    }
}

void ListCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_rows.empty()) {
        return;
    }
    const int index = rowAt(event->position().y());
    if (index < 0) {
        return;
    }
    if (revealRect(index).adjusted(-4, -4, 4, 4).contains(event->position())) {
        emit revealRequested(m_rows[static_cast<std::size_t>(index)]);
    }
}

void ListCanvas::focusRow(int row) {
    update(revealRect(m_focusedRow).adjusted(-4, -4, 4, 4).toAlignedRect());
    m_focusedRow = row;
    const QRect reveal = revealRect(row).adjusted(-4, -4, 4, 4).toAlignedRect();
    update(reveal);
    // The canvas lies in a scroll area's viewport: the focused button is scrolled into view.
    QWidget* viewport = parentWidget();
    if (auto* area = qobject_cast<QScrollArea*>(viewport ? viewport->parentWidget() : nullptr)) {
        area->ensureVisible(reveal.center().x(), reveal.center().y(), 0, reveal.height());
    }
}

void ListCanvas::focusInEvent(QFocusEvent* event) {
    // Shift+Tab comes in at the last button, everything else at the first.
    if (!m_rows.empty()) {
        focusRow(event->reason() == Qt::BacktabFocusReason ? static_cast<int>(m_rows.size()) - 1
                                                           : 0);
    }
    QWidget::focusInEvent(event);
}

bool ListCanvas::focusNextPrevChild(bool next) {
    // Tab walks through the reveal buttons before it leaves the list.
    const int row = m_focusedRow + (next ? 1 : -1);
    if (hasFocus() && row >= 0 && row < static_cast<int>(m_rows.size())) {
        focusRow(row);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void ListCanvas::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
        event->modifiers() == Qt::NoModifier) {
        const int row = m_focusedRow + (event->key() == Qt::Key_Up ? -1 : 1);
        if (row >= 0 && row < static_cast<int>(m_rows.size())) {
            focusRow(row);
        }
        return;
    }
    const bool press = event->key() == Qt::Key_Space || returnPressesFocusedButton(event, this);
    if (press && m_focusedRow >= 0 && m_focusedRow < static_cast<int>(m_rows.size())) {
        emit revealRequested(m_rows[static_cast<std::size_t>(m_focusedRow)]);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace fernwick::ui
