#pragma once

#include "FernwickCore/Engines/DeveloperStorageEngine.h"
#include "FernwickUI/Kit/RowList.h"

#include <functional>
#include <set>
#include <vector>

namespace fernwick::ui {

/// The rows of the developer cleaner: one item each, in the order given. The tick of a row is
/// read live from the screen's selection, so a tick repaints in place. GUI thread only.
class DeveloperItemModel : public IdRowModel {
    Q_OBJECT
public:
    /// `isTicked` answers whether an item's id is in the screen's selection.
    explicit DeveloperItemModel(std::function<bool(const Uuid&)> isTicked,
                                QObject* parent = nullptr);

    /// Shows `items`; rows keep their place when the ids are the same.
    void setItems(std::vector<DeveloperStorageItem> items);
    const DeveloperStorageItem& item(int row) const;
    /// Repaints the row of `id` after its tick changed.
    void refreshTick(const Uuid& id) { refreshRow(id); }
    void refreshAllTicks() { refreshAll(); }

    /// bool: the recommendation reads as a warning (the place is likely in use).
    static constexpr int likelyActiveRole = RowRole::id + 16;

    /// DisplayRole: the name. RowRole::texts: name, group, path, explanation, recommendation,
    /// size, "Reveal". RowRole::icon: "info.circle" for an item that cannot be cleaned, else
    /// empty. Qt::CheckStateRole: only for an item that can be cleaned. Qt::ToolTipRole: the
    /// information symbol's help text.
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::function<bool(const Uuid&)> m_isTicked;
    std::vector<DeveloperStorageItem> m_items;
};

/// Paints a developer item: the checkbox (or the information symbol), the name with its group
/// badge over the path, the explanation and the recommendation, and the size over "Reveal".
/// Only the path keeps to one line; the other texts wrap and the row grows to hold them.
class DeveloperItemDelegate : public RowDelegate {
    Q_OBJECT
public:
    enum Action { toggle = 1, reveal = 2 };

    using RowDelegate::RowDelegate;

    std::vector<RowHit> hits(const QRectF& row, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    bool wrapsTexts() const override { return true; }

protected:
    void paintRow(QPainter& painter, const QRectF& row, const QModelIndex& index) const override;
    int rowHeight(const QModelIndex& index, double width) const override;
};

} // namespace fernwick::ui
