#include "FernwickUI/Kit/RowList.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/KeyboardFocus.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QFontMetricsF>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStaticText>
#include <QStyle>
#include <QTextLayout>

#include <algorithm>
#include <memory>

namespace fernwick::ui {

int IdRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_ids.size());
}

int IdRowModel::rowOf(const Uuid& id) const {
    if (!m_indexed) {
        m_rows.clear();
        m_rows.reserve(m_ids.size());
        for (std::size_t row = 0; row < m_ids.size(); ++row) {
            m_rows.emplace(m_ids[row], static_cast<int>(row));
        }
        m_indexed = true;
    }
    const auto found = m_rows.find(id);
    return found == m_rows.end() ? -1 : found->second;
}

bool IdRowModel::setIds(std::vector<Uuid> ids, const std::function<void()>& update) {
    if (ids == m_ids) {
        if (update) {
            update();
        }
        refreshAll();
        return false;
    }
    beginResetModel();
    m_ids = std::move(ids);
    m_indexed = false;
    if (update) {
        update();
    }
    endResetModel();
    return true;
}

void IdRowModel::refreshRow(const Uuid& id) {
    const int row = rowOf(id);
    if (row >= 0) {
        emit dataChanged(index(row), index(row));
    }
}

void IdRowModel::refreshAll() {
    if (!m_ids.empty()) {
        emit dataChanged(index(0), index(static_cast<int>(m_ids.size()) - 1));
    }
}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    const QRectF row(option.rect);
    painter->save();
    painter->fillRect(row, FernwickTheme::appBackground());
    if (separatesRows()) {
        // The separator lies on the row's own last pixel line: the next row's fill would cover
        // one drawn below it.
        painter->fillRect(QRectF(row.left(), row.bottom() - 1, row.width(), 1),
                          FernwickTheme::panelBorder());
    }
    painter->setRenderHint(QPainter::Antialiasing);
    paintRow(*painter, contentRect(option), index);
    painter->restore();
}

QRectF RowDelegate::contentRect(const QStyleOptionViewItem& option) const {
    QRectF row(option.rect);
    if (const auto* list = qobject_cast<const RowList*>(option.widget);
        list != nullptr && wrapsTexts()) {
        row.setWidth(std::min(row.width(), list->wrapWidth()));
    }
    return row;
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* list = qobject_cast<const RowList*>(option.widget);
    if (list != nullptr && wrapsTexts()) {
        return {1, list->wrappedRowHeight(index)};
    }
    return {1, rowHeight(index, option.rect.width())};
}

bool RowDelegate::editorEvent(QEvent* event, QAbstractItemModel* /*model*/,
                              const QStyleOptionViewItem& option, const QModelIndex& index) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
        return false;
    }
    int action = -1;
    for (const RowHit& hit : hits(contentRect(option), index)) {
        if (hit.rect.contains(mouse->position())) {
            action = hit.action;
            break;
        }
    }
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        m_pressedIndex = index;
        m_pressedAction = action;
        return true;
    }
    const bool sameTarget = m_pressedIndex == index && m_pressedAction == action;
    m_pressedIndex = QPersistentModelIndex();
    m_pressedAction = -1;
    if (sameTarget && action >= 0) {
        emit triggered(index, action);
    }
    return true;
}

QSizeF rowButtonSize(const ButtonLook& look, const QString& label) {
    double width = 0;
    double height = 0;
    if (!look.icon.empty()) {
        const QFontMetricsF icon(systemIconFont(look.iconSize));
        width += icon.horizontalAdvance(systemIconGlyph(look.icon));
        height = icon.height();
    }
    if (!label.isEmpty()) {
        const QFontMetricsF text(look.font);
        width += text.horizontalAdvance(label) + (look.icon.empty() ? 0 : look.spacing);
        height = std::max(height, text.height());
    }
    return {width + 2 * look.paddingH, height + 2 * look.paddingV};
}

void paintRowButton(QPainter& painter, const QRectF& box, const ButtonLook& look,
                    const QString& label) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(look.outline.alpha() > 0 ? QPen(look.outline, look.outlineWidth)
                                            : QPen(Qt::NoPen));
    painter.setBrush(look.background);
    painter.drawRoundedRect(box, look.cornerRadius, look.cornerRadius);
    const QSizeF content =
        rowButtonSize(look, label) - QSizeF(2 * look.paddingH, 2 * look.paddingV);
    double x = box.center().x() - content.width() / 2;
    if (!look.icon.empty()) {
        const QString glyph = systemIconGlyph(look.icon);
        const QFont font = systemIconFont(look.iconSize);
        const double width = QFontMetricsF(font).horizontalAdvance(glyph);
        painter.setFont(font);
        painter.setPen(look.iconColour);
        painter.drawText(QRectF(x, box.top(), width, box.height()), Qt::AlignCenter, glyph);
        x += width + look.spacing;
    }
    if (!label.isEmpty()) {
        painter.setFont(look.font);
        painter.setPen(look.textColour);
        painter.drawText(QRectF(x, box.top(), box.right() - x, box.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
    }
    painter.restore();
}

namespace {

// A value made once per text, font and width from `make`, kept in `cache` (at most 4096
// entries, then it starts afresh). GUI thread only.
template <typename Value, typename Make>
const Value& cachedForText(QHash<QString, Value>& cache, const QString& text, const QFont& font,
                           double width, Make make) {
    constexpr qsizetype kMaxEntries = 4096;
    const QString key =
        font.key() + QChar(0x1f) + QString::number(qRound(width * 4)) + QChar(0x1f) + text;
    const auto found = cache.constFind(key);
    if (found != cache.constEnd()) {
        return *found;
    }
    if (cache.size() >= kMaxEntries) {
        cache.clear();
    }
    return *cache.insert(key, make());
}

// Lines laid out once and drawn again on every repaint of their row (a scroll, a tick): the
// text cut to its width, shaped for its font. GUI thread only.
const QStaticText& laidOutLine(const QString& text, const QFont& font, double width,
                               Qt::TextElideMode mode) {
    // One cache per way of cutting: a text may be drawn both ways at one width.
    static QHash<QString, QStaticText> lines[2];
    return cachedForText(lines[mode == Qt::ElideMiddle ? 1 : 0], text, font, width, [&] {
        QStaticText line(QFontMetricsF(font).elidedText(text, mode, width));
        line.setTextFormat(Qt::PlainText);
        line.setPerformanceHint(QStaticText::AggressiveCaching);
        line.prepare(QTransform(), font);
        return line;
    });
}

// A text wrapped to a width; no layout for a text that fits on one line (drawn as a line).
struct WrappedText {
    std::shared_ptr<QTextLayout> layout;
    QSizeF size;
};

// A text wrapped to `width`, laid out only when it does not fit on one line.
WrappedText wrap(const QString& text, const QFont& font, double width) {
    WrappedText wrapped;
    const QFontMetricsF metrics(font);
    const double natural = metrics.horizontalAdvance(text);
    if (natural <= width && !text.contains(QChar::LineSeparator)) {
        wrapped.size = QSizeF(natural, metrics.height());
        return wrapped;
    }
    wrapped.layout = std::make_shared<QTextLayout>(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    wrapped.layout->setTextOption(option);
    wrapped.layout->setCacheEnabled(true);
    wrapped.layout->beginLayout();
    double top = 0;
    double widest = 0;
    for (QTextLine line = wrapped.layout->createLine(); line.isValid();
         line = wrapped.layout->createLine()) {
        line.setLineWidth(std::max(1.0, width));
        line.setPosition(QPointF(0, top));
        top += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    wrapped.layout->endLayout();
    wrapped.size = QSizeF(widest, std::max(top, metrics.height()));
    return wrapped;
}

// Texts wrapped once and drawn again on every repaint of their row. GUI thread only.
const WrappedText& wrappedText(const QString& text, const QFont& font, double width) {
    static QHash<QString, WrappedText> texts;
    return cachedForText(texts, text, font, width, [&] { return wrap(text, font, width); });
}

} // namespace

QSizeF wrappedTextSize(const QString& text, const QFont& font, double width) {
    return wrappedText(text, font, width).size;
}

void drawWrapped(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                 const QColor& colour) {
    const WrappedText& wrapped = wrappedText(text, font, box.width());
    if (wrapped.layout == nullptr) {
        drawLine(painter, QRectF(box.topLeft(), QSizeF(box.width(), wrapped.size.height())), text,
                 font, colour, Qt::AlignLeft | Qt::AlignTop);
        return;
    }
    painter.setFont(font);
    painter.setPen(colour);
    wrapped.layout->draw(&painter, box.topLeft());
}

namespace {

void drawCutLine(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                 const QColor& colour, Qt::Alignment alignment, Qt::TextElideMode mode) {
    const QStaticText& line = laidOutLine(text, font, std::max(0.0, box.width()), mode);
    const QSizeF size = line.size();
    double x = box.left();
    if (alignment & Qt::AlignRight) {
        x = box.right() - size.width();
    } else if (alignment & Qt::AlignHCenter) {
        x = box.center().x() - size.width() / 2;
    }
    double y = box.center().y() - size.height() / 2;
    if (alignment & Qt::AlignTop) {
        y = box.top();
    } else if (alignment & Qt::AlignBottom) {
        y = box.bottom() - size.height();
    }
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawStaticText(QPointF(x, y), line);
}

} // namespace

void drawLine(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
              const QColor& colour, Qt::Alignment alignment) {
    drawCutLine(painter, box, text, font, colour, alignment, Qt::ElideRight);
}

void drawPathLine(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                  const QColor& colour, Qt::Alignment alignment) {
    drawCutLine(painter, box, text, font, colour, alignment, Qt::ElideMiddle);
}

TextWidths::TextWidths(const QFont& font) : m_font(font) {
    const QFontMetricsF metrics(font);
    for (std::size_t code = 0; code < m_advances.size(); ++code) {
        m_advances[code] = metrics.horizontalAdvance(QChar(static_cast<char16_t>(code)));
    }
}

double TextWidths::width(std::string_view text) const {
    double width = 0;
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 0x80) {
            return QFontMetricsF(m_font).horizontalAdvance(displayText(text));
        }
        width += m_advances[code];
    }
    return width;
}

RowList::RowList(QAbstractListModel* model, RowDelegate* delegate, bool uniform, QWidget* parent)
    : QListView(parent), m_delegate(delegate) {
    // Before the model: changing the scroll mode looks up the row at the top, which would lay
    // every row out at once, at the width of a list not yet placed (and measure each row's
    // texts at it).
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setModel(model);
    setItemDelegate(delegate);
    setUniformItemSizes(uniform);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(false);
    setBackground(viewport(), FernwickTheme::appBackground());
    setBackground(this, FernwickTheme::appBackground());
    // An item view fills its viewport with the Base colour: below the last row too.
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, FernwickTheme::appBackground());
    viewport()->setPalette(palette);
    verticalScrollBar()->setSingleStep(20);
    if (delegate->wrapsTexts()) {
        const auto rowsChanged = [this] {
            m_shareHeightKnown = false;
            m_heights.clear();
        };
        connect(model, &QAbstractItemModel::modelReset, this, rowsChanged);
        connect(model, &QAbstractItemModel::rowsInserted, this, rowsChanged);
        connect(model, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
        connect(model, &QAbstractItemModel::rowsMoved, this, rowsChanged);
        connect(model, &QAbstractItemModel::layoutChanged, this, rowsChanged);
        // A changed row is measured again at the next layout.
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& top, const QModelIndex& bottom) {
                    m_shareHeightKnown = false;
                    const int last = std::min(bottom.row(), static_cast<int>(m_heights.size()) - 1);
                    for (int row = std::max(0, top.row()); row <= last; ++row) {
                        m_heights[static_cast<std::size_t>(row)] = -1;
                    }
                });
    }
}

double RowList::wrapWidth() const {
    return width() - 2 * frameWidth() -
           style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
}

int RowList::wrappedRowHeight(const QModelIndex& index) const {
    const double width = wrapWidth();
    const auto count = static_cast<std::size_t>(model()->rowCount());
    if (width != m_heightsWidth || m_heights.size() != count) {
        m_heights.assign(count, -1);
        m_heightsWidth = width;
    }
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= count) {
        return m_delegate->rowHeight(index, width);
    }
    int& height = m_heights[row];
    if (height < 0) {
        height = m_delegate->rowHeight(index, width);
    }
    return height;
}

void RowList::doItemsLayout() {
    // (Until the constructor sets the model and the delegate, there are no rows to ask about.)
    if (m_delegate->wrapsTexts() && itemDelegate() == m_delegate) {
        // Rows of one height are laid out at once, not measured one by one. The answer holds
        // until the rows or the width change.
        const double width = wrapWidth();
        m_laidOutWidth = width;
        if (!m_shareHeightKnown || width != m_shareHeightWidth) {
            m_shareHeight = m_delegate->rowsShareHeight(*model(), width);
            m_shareHeightWidth = width;
            m_shareHeightKnown = true;
        }
        setUniformItemSizes(m_shareHeight);
    }
    QListView::doItemsLayout();
}

void RowList::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    if (m_delegate->wrapsTexts() && event->size().width() != event->oldSize().width() &&
        wrapWidth() != m_laidOutWidth) {
        // Every row's height may change with the width its texts wrap to; not with the scroll
        // bar coming or going, which leaves that width as it is.
        scheduleDelayedItemsLayout();
    }
}

QRectF RowList::contentRectOf(int row) const {
    QRectF rect(visualRect(model()->index(row, 0)));
    if (m_delegate->wrapsTexts()) {
        rect.setWidth(std::min(rect.width(), wrapWidth()));
    }
    return rect;
}

QRect RowList::actionRect(int row, int action) const {
    for (const RowHit& hit : m_delegate->hits(contentRectOf(row), model()->index(row, 0))) {
        if (hit.action == action) {
            return hit.rect.toRect();
        }
    }
    return {};
}

namespace {

// `control` kept among the row's `shown` controls (0 when there are none).
int controlIn(const std::vector<RowHit>& shown, int control) {
    return std::max(0, std::min(control, static_cast<int>(shown.size()) - 1));
}

} // namespace

void RowList::enableRowKeys() {
    m_rowKeys = true;
    // Tab reaches the list; a click on a row's control leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    setAutoScroll(false);
    connect(model(), &QAbstractItemModel::modelReset, this, [this] { m_focusRow = -1; });
}

std::vector<RowHit> RowList::controls(int row) const {
    std::vector<RowHit> result = m_delegate->hits(contentRectOf(row), model()->index(row, 0));
    std::stable_sort(result.begin(), result.end(), [](const RowHit& a, const RowHit& b) {
        return a.rect.left() < b.rect.left();
    });
    return result;
}

int RowList::rowWithControls(int row, int step) const {
    const int count = model()->rowCount();
    for (int at = row; at >= 0 && at < count; at += step) {
        if (!m_delegate->hits(contentRectOf(at), model()->index(at, 0)).empty()) {
            return at;
        }
    }
    return -1;
}

int RowList::focusedRow() const {
    return m_focusRow >= 0 && m_focusRow < model()->rowCount() ? m_focusRow : -1;
}

int RowList::focusedAction() const {
    const int row = focusedRow();
    if (row < 0) {
        return -1;
    }
    const std::vector<RowHit> shown = controls(row);
    return shown.empty() ? -1
                         : shown[static_cast<std::size_t>(controlIn(shown, m_focusControl))].action;
}

void RowList::focusControl(int row, int control) {
    m_focusRow = row;
    m_focusControl = controlIn(controls(row), control);
    scrollTo(model()->index(row, 0));
    viewport()->update();
}

void RowList::focusInEvent(QFocusEvent* event) {
    if (!m_rowKeys) {
        QListView::focusInEvent(event);
        return;
    }
    // The list keeps its own focused row (the item view's current item is not shown and, with
    // auto-scroll off, scrolls nothing); Shift+Tab comes in at that row's last control.
    QListView::focusInEvent(event);
    const int row = focusedRow() >= 0 ? focusedRow() : rowWithControls(0, 1);
    if (row >= 0) {
        focusControl(row, event->reason() == Qt::BacktabFocusReason
                              ? static_cast<int>(controls(row).size()) - 1
                              : (focusedRow() >= 0 ? m_focusControl : 0));
    }
}

void RowList::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    viewport()->update();
}

bool RowList::focusNextPrevChild(bool next) {
    if (m_rowKeys && hasFocus() && focusedRow() >= 0) {
        const std::vector<RowHit> shown = controls(m_focusRow);
        const int control = controlIn(shown, m_focusControl) + (next ? 1 : -1);
        if (control >= 0 && control < static_cast<int>(shown.size())) {
            focusControl(m_focusRow, control);
            return true;
        }
    }
    return QListView::focusNextPrevChild(next);
}

void RowList::keyPressEvent(QKeyEvent* event) {
    const int row = m_rowKeys ? focusedRow() : -1;
    if (row < 0 || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QListView::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (const int next = rowWithControls(row + (event->key() == Qt::Key_Up ? -1 : 1),
                                             event->key() == Qt::Key_Up ? -1 : 1);
            next >= 0) {
            focusControl(next, m_focusControl);
        }
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        focusControl(row, controlIn(controls(row), m_focusControl) +
                              (event->key() == Qt::Key_Left ? -1 : 1));
        return;
    default:
        break;
    }
    if (event->key() == Qt::Key_Space || returnPressesFocusedButton(event, this)) {
        if (const int action = focusedAction(); action >= 0) {
            m_delegate->press(model()->index(row, 0), action);
        }
        return;
    }
    QListView::keyPressEvent(event);
}

void RowList::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    const int row = m_rowKeys && hasFocus() ? focusedRow() : -1;
    if (row < 0 || !showsFocusRing(this)) {
        return;
    }
    const int action = focusedAction();
    for (const RowHit& hit : controls(row)) {
        if (hit.action == action) {
            QPainter painter(viewport());
            painter.setRenderHint(QPainter::Antialiasing);
            drawFocusRing(painter, hit.rect.adjusted(-2, -2, 2, 2), 5);
        }
    }
}

} // namespace fernwick::ui
