#include "FernwickUI/Tools/DeveloperItemList.h"

#include "FernwickUI/Kit/Badge.h"
#include "FernwickUI/Kit/CheckBox.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr const char* kNotCleanedHelp = "Not cleaned automatically — see the recommendation";
constexpr double kInsetH = 16;
constexpr double kPaddingV = 10; // the row's own 4 plus the list's row inset
constexpr double kSpacing = 12;
constexpr double kColumnSpacing = 3;
constexpr double kInfoSize = 14;

struct Fonts {
    QFont name = uiFont(13, QFont::DemiBold);
    QFont path = uiFont(10);
    QFont explanation = uiFont(11);
    QFont action = uiFont(10.5, QFont::Medium);
    QFont size = uiFont(14, QFont::Bold);
    ButtonLook reveal = buttonLook(ButtonStyle::bordered, uiFont(10), QColor(), ControlSize::mini);
    BadgeLook badge;

    Fonts() {
        badge.font = uiFont(9, QFont::Bold);
        badge.colour = FernwickTheme::primaryBlue();
    }
};

const Fonts& fonts() {
    static const Fonts instance;
    return instance;
}

double lineHeight(const QFont& font) {
    return QFontMetricsF(font).height();
}

// Where each part of a row goes; shared by painting and clicks.
struct RowGeometry {
    QRectF control;
    QRectF column;
    QRectF size;
    QRectF reveal;
};

QSizeF revealSize() {
    const ButtonLook& look = fonts().reveal;
    const QFontMetricsF metrics(look.font);
    return {metrics.horizontalAdvance(QStringLiteral("Reveal")) + 2 * look.paddingH,
            metrics.height() + 2 * look.paddingV};
}

RowGeometry layoutRow(const QRectF& row, const QString& sizeText) {
    RowGeometry geometry;
    geometry.control = checkBoxRect(row, row.left() + kInsetH);
    const QSizeF reveal = revealSize();
    const double sizeWidth = QFontMetricsF(fonts().size).horizontalAdvance(sizeText);
    const double sizeHeight = lineHeight(fonts().size);
    const double rightWidth = std::max(sizeWidth, reveal.width());
    const double right = row.right() - kInsetH;
    const double rightTop = row.center().y() - (sizeHeight + 4 + reveal.height()) / 2;
    geometry.size = QRectF(right - rightWidth, rightTop, rightWidth, sizeHeight);
    geometry.reveal = QRectF(QPointF(right - reveal.width(), rightTop + sizeHeight + 4), reveal);
    const double left = geometry.control.right() + kSpacing;
    geometry.column =
        QRectF(left, row.top() + kPaddingV, std::max(0.0, right - rightWidth - kSpacing - left),
               row.height() - 2 * kPaddingV);
    return geometry;
}

void paintReveal(QPainter& painter, const QRectF& box) {
    const ButtonLook& look = fonts().reveal;
    painter.setPen(look.outline.alpha() > 0 ? QPen(look.outline, look.outlineWidth) : Qt::NoPen);
    painter.setBrush(look.background);
    painter.drawRoundedRect(box, look.cornerRadius, look.cornerRadius);
    painter.setFont(look.font);
    painter.setPen(look.textColour);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("Reveal"));
}

// The heights of the middle column's texts at its width: the name (beside its group badge),
// the explanation and the recommendation wrap; the path keeps to one line.
struct ColumnLayout {
    QSizeF name;
    double nameLine = 0;
    QSizeF badge;
    double path = 0;
    double explanation = 0;
    double action = 0;
    double height = 0;
};

ColumnLayout layoutColumn(const QStringList& texts, double width) {
    const Fonts& f = fonts();
    ColumnLayout column;
    column.badge = badgeSize(texts.value(1), f.badge);
    column.name =
        wrappedTextSize(texts.value(0), f.name, std::max(0.0, width - column.badge.width() - 8));
    column.nameLine = std::max(column.name.height(), column.badge.height());
    column.path = lineHeight(f.path);
    column.explanation = wrappedTextSize(texts.value(3), f.explanation, width).height();
    column.action = wrappedTextSize(texts.value(4), f.action, width).height();
    column.height =
        column.nameLine + column.path + column.explanation + column.action + 3 * kColumnSpacing;
    return column;
}

} // namespace

DeveloperItemModel::DeveloperItemModel(std::function<bool(const Uuid&)> isTicked, QObject* parent)
    : IdRowModel(parent), m_isTicked(std::move(isTicked)) {}

void DeveloperItemModel::setItems(std::vector<DeveloperStorageItem> items) {
    std::vector<Uuid> ids;
    ids.reserve(items.size());
    for (const auto& it : items) {
        ids.push_back(it.id);
    }
    // Same ids: the rows repaint in place from the new copies.
    m_items = std::move(items);
    setIds(std::move(ids), {});
}

const DeveloperStorageItem& DeveloperItemModel::item(int row) const {
    return m_items[static_cast<std::size_t>(row)];
}

QVariant DeveloperItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const DeveloperStorageItem& it = item(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return plainText(it.name);
    case RowRole::texts:
        return QStringList{plainText(it.name),
                           plainText(it.groupName),
                           plainText(it.path),
                           plainText(it.explanation),
                           plainText(it.recommendedAction),
                           plainText(it.formattedSize()),
                           QStringLiteral("Reveal")};
    case RowRole::icon:
        return it.canClean ? QString() : QStringLiteral("info.circle");
    case RowRole::id:
        return QString::fromStdString(it.id.text());
    case Qt::CheckStateRole:
        if (!it.canClean) {
            return {};
        }
        return m_isTicked(it.id) ? Qt::Checked : Qt::Unchecked;
    case likelyActiveRole:
        return it.likelyActive;
    case Qt::ToolTipRole:
        return it.canClean ? QVariant() : QVariant(QString::fromUtf8(kNotCleanedHelp));
    default:
        return {};
    }
}

int DeveloperItemDelegate::rowHeight(const QModelIndex& index, double width) const {
    const QStringList texts = index.data(RowRole::texts).toStringList();
    const RowGeometry geometry = layoutRow(QRectF(0, 0, width, 0), texts.value(5));
    const ColumnLayout column = layoutColumn(texts, geometry.column.width());
    const double right = lineHeight(fonts().size) + 4 + revealSize().height();
    return static_cast<int>(std::ceil(std::max(column.height, right) + 2 * kPaddingV));
}

std::vector<RowHit> DeveloperItemDelegate::hits(const QRectF& row, const QModelIndex& index) const {
    const RowGeometry geometry = layoutRow(row, index.data(RowRole::texts).toStringList().value(5));
    std::vector<RowHit> result;
    if (index.data(Qt::CheckStateRole).isValid()) {
        result.push_back({geometry.control, toggle});
    }
    result.push_back({geometry.reveal, reveal});
    return result;
}

bool DeveloperItemDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                      const QStyleOptionViewItem& option,
                                      const QModelIndex& index) {
    // The help text belongs to the information symbol alone.
    const QString help = index.data(Qt::ToolTipRole).toString();
    const QRectF symbol = checkBoxRect(QRectF(option.rect), option.rect.left() + kInsetH);
    if (event->type() == QEvent::ToolTip && !help.isEmpty() &&
        symbol.adjusted(-2, -2, 2, 2).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), help, view);
        return true;
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

void DeveloperItemDelegate::paintRow(QPainter& painter, const QRectF& row,
                                     const QModelIndex& index) const {
    const Fonts& f = fonts();
    const QStringList texts = index.data(RowRole::texts).toStringList();
    const RowGeometry geometry = layoutRow(row, texts.value(5));

    const QVariant tick = index.data(Qt::CheckStateRole);
    if (tick.isValid()) {
        paintCheckBox(painter, geometry.control, tick.toInt() == Qt::Checked);
    } else {
        drawSystemIcon(painter, geometry.control, "info.circle", kInfoSize,
                       FernwickTheme::textMuted());
    }

    const QRectF& column = geometry.column;
    const ColumnLayout layout = layoutColumn(texts, column.width());
    double top = column.top();
    // The name, then its group badge 8 to the right, both centred on the name's lines.
    drawWrapped(painter,
                QRectF(column.left(), top + (layout.nameLine - layout.name.height()) / 2,
                       std::max(0.0, column.width() - layout.badge.width() - 8),
                       layout.name.height()),
                texts.value(0), f.name, Qt::white);
    paintBadge(painter,
               QPointF(column.left() + layout.name.width() + 8,
                       top + (layout.nameLine - layout.badge.height()) / 2),
               texts.value(1), f.badge);
    top += layout.nameLine + kColumnSpacing;
    const double pathHeight = QFontMetricsF(f.path).height();
    drawPathLine(painter, QRectF(column.left(), top, column.width(), pathHeight), texts.value(2),
                 f.path, FernwickTheme::textMuted());
    top += pathHeight + kColumnSpacing;
    drawWrapped(painter, QRectF(column.left(), top, column.width(), layout.explanation),
                texts.value(3), f.explanation, FernwickTheme::textSecondary());
    top += layout.explanation + kColumnSpacing;
    const bool likelyActive = index.data(DeveloperItemModel::likelyActiveRole).toBool();
    drawWrapped(painter, QRectF(column.left(), top, column.width(), layout.action), texts.value(4),
                f.action,
                likelyActive ? Palette::likelyActiveAction() : FernwickTheme::developerGreen());

    painter.setFont(f.size);
    painter.setPen(FernwickTheme::accentCyan());
    painter.drawText(geometry.size, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                     texts.value(5));
    paintReveal(painter, geometry.reveal);
}

} // namespace fernwick::ui
