#include "FernwickUI/Tools/LargeFilesModel.h"

#include "FernwickUI/Visualisations/VisualPainting.h"

namespace fernwick::ui {

void LargeFilesModel::setFiles(std::vector<DiskNodePtr> files) {
    m_files = std::move(files);
    m_paths.clear();
    m_paths.reserve(m_files.size());
    for (const auto& file : m_files) {
        m_paths.push_back(displayText(file->url().native()));
    }
    applyFilter();
}

void LargeFilesModel::setFilter(const QString& filter) {
    m_filter = filter;
    applyFilter();
}

void LargeFilesModel::applyFilter() {
    std::vector<int> rows;
    std::vector<Uuid> ids;
    rows.reserve(m_files.size());
    ids.reserve(m_files.size());
    // The name is the path's last component, so matching the path matches the name too.
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (m_filter.isEmpty() || m_paths[i].contains(m_filter, Qt::CaseInsensitive)) {
            rows.push_back(static_cast<int>(i));
            ids.push_back(m_files[i]->id());
        }
    }
    setIds(std::move(ids), [&] { m_rows = std::move(rows); });
}

const DiskNodePtr& LargeFilesModel::fileAt(int row) const {
    return m_files[static_cast<std::size_t>(m_rows[static_cast<std::size_t>(row)])];
}

QVariant LargeFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const DiskNode& file = *fileAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(file.name());
    case RowRole::texts:
        return QStringList{
            displayText(file.name()),
            m_paths[static_cast<std::size_t>(m_rows[static_cast<std::size_t>(index.row())])],
            displayText(file.formattedSize()), displayText(displayName(file.category))};
    case RowRole::icon:
        return displayText(systemIcon(file.category));
    case RowRole::id:
        return QString::fromStdString(file.id().text());
    default:
        return {};
    }
}

} // namespace fernwick::ui
