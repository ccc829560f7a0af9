#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/Kit/RowList.h"

#include <QFutureWatcher>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace fernwick::ui {

/// The rows of the large-files list: the files given, in their order, that pass the filter.
///
/// Filtering compares texts only: every file's path is folded to one case once, when the files
/// are set; for a long list on a worker (the path of a node never changes, so reading it there
/// is safe), and a filter typed before they are ready takes effect when they arrive (until then
/// a filtered list is empty). A keystroke that lengthens
/// the filter looks only at the rows shown. A change of the rows is announced as the rows
/// removed or inserted when they form a few spans, as a reset otherwise, and not at all when
/// the rows stay. Rows are positions in the files (no per-row id is kept: the list can be long
/// and changes often). A row's size is read from its node when drawn. GUI thread only.
class LargeFilesModel final : public QAbstractListModel {
    Q_OBJECT
public:
    /// Qt::DisplayRole: the name. RowRole::texts: name, path, size, category name.
    /// RowRole::icon: the category's icon.
    explicit LargeFilesModel(QObject* parent = nullptr);

    /// Shows `files`. The same files in the same order (by id) as now, e.g. after the tree moved
    /// them to new versions, only take the new nodes and repaint: the scroll position stays.
    void setFiles(std::vector<DiskNodePtr> files);
    /// Keeps the files whose path contains `filter`, ignoring case; the text is taken as typed
    /// (a space is a character to look for). An empty filter keeps every file.
    void setFilter(const QString& filter);
    /// Whether the folded paths of the files shown are there (the filter is applied).
    bool pathsPrepared() const { return m_prepared; }
    const DiskNodePtr& fileAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    /// Every path of `files`, folded to one case, one after the other, each followed by U+0000
    /// (which no path holds); `starts[i]` is where file i's begins, `starts.back()` the end.
    struct FoldedPaths {
        QString text;
        std::vector<qsizetype> starts;
        std::uint64_t generation = 0;
    };
    static FoldedPaths foldPaths(const std::vector<DiskNodePtr>& files);

    using Files = std::shared_ptr<const std::vector<DiskNodePtr>>;
    /// Every file given, filtered or not; a new list after each change of the files.
    const Files& files() const { return m_files; }

private:
    void takePaths();
    // The files (as positions in m_files) among `candidates` that pass the current filter;
    // every file when `candidates` is null. Needs the folded paths unless the filter is empty.
    std::vector<int> matching(const std::vector<int>* candidates) const;
    // Applies the current filter once the paths are there.
    void applyFilter();
    // Shows `rows`, announcing only what changed.
    void showRows(std::vector<int> rows);

    Files m_files = std::make_shared<const std::vector<DiskNodePtr>>();
    std::uint64_t m_generation = 0; // counts setFiles calls that changed the files
    FoldedPaths m_paths;
    bool m_prepared = true;
    QFutureWatcher<FoldedPaths> m_preparing;
    std::vector<int> m_rows;
    QString m_filter;                    // folded, as typed last
    std::optional<QString> m_rowsFilter; // folded, the one m_rows was found with
};

} // namespace fernwick::ui
