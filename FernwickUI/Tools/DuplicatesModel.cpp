#include "FernwickUI/Tools/DuplicatesModel.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/State/AppState.h"

#include <algorithm>

namespace fernwick::ui {

DuplicatesModel::DuplicatesModel(const AppState& state, QObject* parent)
    : IdRowModel(parent), m_state(state) {
    update();
}

namespace {

// The space a cluster's copies take on disk: a hard link shares its data with another copy.
std::int64_t spaceTaken(const DuplicateCluster& cluster) {
    std::int64_t space = 0;
    for (const auto& item : cluster.items) {
        if (!item.isHardlink) {
            space = saturatingAdd(space, cluster.fileSize);
        }
    }
    return space;
}

} // namespace

void DuplicatesModel::update() {
    std::vector<Uuid> ids;
    std::vector<Place> places;
    const auto& clusters = m_state.duplicateClusters();
    std::vector<std::size_t> order(clusters.size());
    std::vector<std::int64_t> space(clusters.size());
    for (std::size_t c = 0; c < clusters.size(); ++c) {
        order[c] = c;
        space[c] = spaceTaken(clusters[c]);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return space[a] > space[b]; });
    for (const std::size_t c : order) {
        ids.push_back(clusters[c].id);
        places.push_back({static_cast<int>(c), -1});
        for (std::size_t i = 0; i < clusters[c].items.size(); ++i) {
            ids.push_back(clusters[c].items[i].id);
            places.push_back({static_cast<int>(c), static_cast<int>(i)});
        }
    }
    setIds(std::move(ids), [&] { m_places = std::move(places); });
}

const DuplicateFileItem* DuplicatesModel::itemAt(int row) const {
    const auto& clusters = m_state.duplicateClusters();
    const Place place = placeAt(row);
    if (place.item < 0 || place.cluster >= static_cast<int>(clusters.size())) {
        return nullptr;
    }
    const auto& items = clusters[static_cast<std::size_t>(place.cluster)].items;
    return place.item < static_cast<int>(items.size())
               ? &items[static_cast<std::size_t>(place.item)]
               : nullptr;
}

QVariant DuplicatesModel::data(const QModelIndex& index, int role) const {
    const auto& clusters = m_state.duplicateClusters();
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Place place = placeAt(index.row());
    if (place.cluster >= static_cast<int>(clusters.size())) {
        return {};
    }
    const DuplicateCluster& cluster = clusters[static_cast<std::size_t>(place.cluster)];
    if (place.item < 0) {
        const QString title = QStringLiteral("%1 Identical Copies \u2022 %2 each")
                                  .arg(cluster.items.size())
                                  .arg(displayText(cluster.formattedFileSize()));
        switch (role) {
        case Qt::DisplayRole:
            return title;
        case RowRole::texts:
            return QStringList{title, QStringLiteral("Recoverable: ") +
                                          displayText(cluster.formattedRecoverableSize())};
        case RowRole::icon:
            return QStringLiteral("doc.on.doc.fill");
        case RowRole::id:
            return QString::fromStdString(cluster.id.text());
        default:
            return {};
        }
    }
    if (place.item >= static_cast<int>(cluster.items.size())) {
        return {};
    }
    const DuplicateFileItem& item = cluster.items[static_cast<std::size_t>(place.item)];
    switch (role) {
    case Qt::DisplayRole:
        return displayText(item.name());
    case Qt::CheckStateRole:
        if (item.isOriginal) {
            return {};
        }
        return item.isSelectedForCleanup ? Qt::Checked : Qt::Unchecked;
    case RowRole::texts: {
        QStringList texts{displayText(item.name())};
        if (item.isOriginal) {
            texts << QStringLiteral("ORIGINAL");
        }
        texts << displayText(item.path()) << QStringLiteral("Reveal");
        return texts;
    }
    case RowRole::icon:
        return item.isOriginal ? QStringLiteral("star.fill") : QString();
    case RowRole::id:
        return QString::fromStdString(item.id.text());
    default:
        return {};
    }
}

} // namespace fernwick::ui
