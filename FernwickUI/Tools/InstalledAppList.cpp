#include "FernwickUI/Tools/InstalledAppList.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace fernwick::ui {

namespace {

constexpr double kInsetH = 14;
constexpr double kPaddingV = 10; // the row's own 4 plus the list's row inset
constexpr double kSpacing = 10;
constexpr double kIconSize = 20;

struct Fonts {
    QFont name = uiFont(13, QFont::DemiBold);
    QFont identifier = uiFont(10);
    QFont size = uiFont(12, QFont::Bold);
};

const Fonts& fonts() {
    static const Fonts instance;
    return instance;
}

} // namespace

InstalledAppModel::InstalledAppModel(std::function<std::optional<Uuid>()> selectedId,
                                     QObject* parent)
    : IdRowModel(parent), m_selectedId(std::move(selectedId)) {}

void InstalledAppModel::setApps(std::vector<InstalledApp> apps) {
    std::vector<Uuid> ids;
    ids.reserve(apps.size());
    for (const auto& app : apps) {
        ids.push_back(app.id);
    }
    m_apps = std::move(apps);
    setIds(std::move(ids), {});
}

QVariant InstalledAppModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const InstalledApp& it = app(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return plainText(it.name);
    case RowRole::texts: {
        QStringList texts{plainText(it.name)};
        if (it.bundleIdentifier) {
            texts.push_back(plainText(*it.bundleIdentifier));
        }
        texts.push_back(plainText(it.formattedTotalSize()));
        return texts;
    }
    case RowRole::icon:
        return QStringLiteral("app.badge");
    case RowRole::id:
        return QString::fromStdString(it.id.text());
    case highlightedRole:
        return m_selectedId() == std::optional<Uuid>(it.id);
    default:
        return {};
    }
}

namespace {

// The width left to the name and the identifier in `row`, between the icon and the size.
double nameWidth(const QRectF& row, const QString& size) {
    const double left = row.left() + kInsetH + kIconSize + 4 + kSpacing;
    const double right =
        row.right() - kInsetH - QFontMetricsF(fonts().size).horizontalAdvance(size);
    return std::max(0.0, right - kSpacing - left);
}

} // namespace

int InstalledAppDelegate::rowHeight(const QModelIndex& index, double width) const {
    // The name wraps; the identifier keeps to one line. Rows of one-line names keep the list's
    // usual height.
    const QStringList texts = index.data(RowRole::texts).toStringList();
    const double name = wrappedTextSize(texts.value(0), fonts().name,
                                        nameWidth(QRectF(0, 0, width, 0), texts.back()))
                            .height();
    const double column = std::max(name, QFontMetricsF(fonts().name).height()) + 2 +
                          QFontMetricsF(fonts().identifier).height();
    return static_cast<int>(std::ceil(std::max(column, kIconSize) + 2 * kPaddingV));
}

bool InstalledAppDelegate::rowsShareHeight(const QAbstractItemModel& model, double width) const {
    const auto& apps = static_cast<const InstalledAppModel&>(model);
    const TextWidths names(fonts().name);
    for (int row = 0; row < apps.rowCount(); ++row) {
        const InstalledApp& app = apps.app(row);
        if (!names.fits(app.name,
                        nameWidth(QRectF(0, 0, width, 0), plainText(app.formattedTotalSize())))) {
            return false;
        }
    }
    return true;
}

std::vector<RowHit> InstalledAppDelegate::hits(const QRectF& row,
                                               const QModelIndex& /*index*/) const {
    return {{row, select}};
}

void InstalledAppDelegate::paintRow(QPainter& painter, const QRectF& row,
                                    const QModelIndex& index) const {
    const Fonts& f = fonts();
    const bool highlighted = index.data(InstalledAppModel::highlightedRole).toBool();
    // The fill spans the whole row, also the strip a scroll bar may take that the texts keep
    // clear of.
    const QRectF body(row.left(), row.top(),
                      std::max(row.width(), painter.device()->width() - row.left()),
                      row.height() - 1);
    painter.fillRect(body, FernwickTheme::sidebarBackground());
    if (highlighted) {
        painter.fillRect(body, withOpacity(FernwickTheme::primaryBlue(), 0.2));
    }

    const QStringList texts = index.data(RowRole::texts).toStringList();
    const bool hasIdentifier = texts.size() == 3;
    const QString& sizeText = texts.back();

    const QRectF icon(row.left() + kInsetH, row.center().y() - kIconSize / 2, kIconSize + 4,
                      kIconSize);
    drawSystemIcon(painter, icon, "app.badge", kIconSize, FernwickTheme::primaryBlue());

    const QFontMetricsF sizeMetrics(f.size);
    const double sizeWidth = sizeMetrics.horizontalAdvance(sizeText);
    const double right = row.right() - kInsetH;
    painter.setFont(f.size);
    painter.setPen(FernwickTheme::accentCyan());
    painter.drawText(QRectF(right - sizeWidth, row.top(), sizeWidth + 1, row.height()),
                     Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, sizeText);

    const double left = icon.right() + kSpacing;
    const double width = nameWidth(row, sizeText);
    const QFontMetricsF idMetrics(f.identifier);
    const double nameHeight = wrappedTextSize(texts.front(), f.name, width).height();
    const double columnHeight = nameHeight + (hasIdentifier ? 2 + idMetrics.height() : 0);
    double top = row.center().y() - columnHeight / 2;
    drawWrapped(painter, QRectF(left, top, width, nameHeight), texts.front(), f.name, Qt::white);
    if (hasIdentifier) {
        top += nameHeight + 2;
        painter.setFont(f.identifier);
        painter.setPen(FernwickTheme::textMuted());
        painter.drawText(QRectF(left, top, width, idMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         idMetrics.elidedText(texts.at(1), Qt::ElideRight, width));
    }
}

} // namespace fernwick::ui
