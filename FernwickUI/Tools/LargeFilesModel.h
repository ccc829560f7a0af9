#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/Tools/RowList.h"

#include <QString>

#include <vector>

namespace fernwick::ui {

/// The rows of the large-files list: the files given, in their order, that pass the filter. Each
/// file's path is kept as text when the files are set, so a keystroke in the filter only
/// compares texts. A row's size is read from its node when drawn, so a node emptied by a move
/// to the Trash shows its new size at once. GUI thread only.
class LargeFilesModel final : public IdRowModel {
    Q_OBJECT
public:
    /// Qt::DisplayRole: the name. RowRole::texts: name, path, size, category name.
    /// RowRole::icon: the category's icon.
    using IdRowModel::IdRowModel;

    void setFiles(std::vector<DiskNodePtr> files);
    /// Keeps the files whose path contains `filter`, ignoring case; the text is taken as typed
    /// (a space is a character to look for). An empty filter keeps every file.
    void setFilter(const QString& filter);
    const DiskNodePtr& fileAt(int row) const;

    QVariant data(const QModelIndex& index, int role) const override;

private:
    void applyFilter();

    std::vector<DiskNodePtr> m_files;
    std::vector<QString> m_paths;
    std::vector<int> m_rows;
    QString m_filter;
};

} // namespace fernwick::ui
