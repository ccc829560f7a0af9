#pragma once

#include "FernwickCore/Model/InstalledApp.h"
#include "FernwickUI/Kit/RowList.h"

#include <functional>
#include <optional>
#include <vector>

namespace fernwick::ui {

/// The rows of the uninstaller's application list, in the order given. The highlighted row is
/// read live from the selection, so a new selection repaints in place. GUI thread only.
class InstalledAppModel : public IdRowModel {
    Q_OBJECT
public:
    /// bool: the row is the selected application (compared by id).
    static constexpr int highlightedRole = RowRole::id + 16;

    /// `selectedId` answers the id of the application in the inspector, if any.
    explicit InstalledAppModel(std::function<std::optional<Uuid>()> selectedId,
                               QObject* parent = nullptr);

    void setApps(std::vector<InstalledApp> apps);
    const InstalledApp& app(int row) const { return m_apps[static_cast<std::size_t>(row)]; }
    void refreshHighlight() { refreshAll(); }

    /// DisplayRole: the name. RowRole::texts: the name, the bundle identifier when present, the
    /// total size.
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::function<std::optional<Uuid>()> m_selectedId;
    std::vector<InstalledApp> m_apps;
};

/// Paints an application row: its symbol, the name over the bundle identifier, and the total
/// size, on the selection tint when highlighted. The whole row takes the click.
class InstalledAppDelegate : public RowDelegate {
    Q_OBJECT
public:
    enum Action { select = 1 };

    using RowDelegate::RowDelegate;

    std::vector<RowHit> hits(const QRectF& row, const QModelIndex& index) const override;
    bool wrapsTexts() const override { return true; }
    bool rowsShareHeight(const QAbstractItemModel& model, double width) const override;

protected:
    void paintRow(QPainter& painter, const QRectF& row, const QModelIndex& index) const override;
    int rowHeight(const QModelIndex& index, double width) const override;
};

} // namespace fernwick::ui
