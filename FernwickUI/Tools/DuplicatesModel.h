#pragma once

#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickUI/Kit/RowList.h"

#include <vector>

namespace fernwick::ui {

class AppState;

/// The rows of the duplicates list, flattened: for each cluster of the state, largest first by the
/// space its copies take (ties keep the search's order), a header row and then one row per copy.
/// Rows are read from the state when drawn, so a tick repaints in place (the header's recoverable
/// size included). GUI thread only.
class DuplicatesModel final : public IdRowModel {
    Q_OBJECT
public:
    /// Qt::DisplayRole: the header text or the copy's name. Qt::CheckStateRole: on copy rows that
    /// are not the original. RowRole::texts: header text and "Recoverable: …"; or the name,
    /// "ORIGINAL" for the original, the path and "Reveal". RowRole::icon: "doc.on.doc.fill" for
    /// headers, "star.fill" for the original.
    explicit DuplicatesModel(const AppState& state, QObject* parent = nullptr);

    /// Follows the clusters: in place when the same clusters and copies are shown, else a reset.
    void update();

    /// Where a row stands: its cluster and, for copy rows, the copy (-1 on a header row).
    struct Place {
        int cluster = 0;
        int item = -1;
    };
    Place placeAt(int row) const { return m_places[static_cast<std::size_t>(row)]; }
    bool isHeader(int row) const { return placeAt(row).item < 0; }
    /// Whether `row` is the last copy of its cluster.
    bool endsCluster(int row) const { return row + 1 == rowCount() || isHeader(row + 1); }

    /// The copy shown in `row`; null on a header row.
    const DuplicateFileItem* itemAt(int row) const;

    QVariant data(const QModelIndex& index, int role) const override;

private:
    const AppState& m_state;
    std::vector<Place> m_places;
};

} // namespace fernwick::ui
