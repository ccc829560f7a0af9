#include "FernwickUI/Tools/CleanupCandidatesModel.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/State/AppState.h"

namespace fernwick::ui {

CleanupCandidatesModel::CleanupCandidatesModel(const AppState& state, QObject* parent)
    : IdRowModel(parent), m_state(state) {
    update();
}

void CleanupCandidatesModel::update() {
    std::vector<Uuid> ids;
    for (const auto& candidate : m_state.cleanupPlan().candidates) {
        ids.push_back(candidate.id);
    }
    setIds(std::move(ids), {});
}

QVariant CleanupCandidatesModel::data(const QModelIndex& index, int role) const {
    const auto& candidates = m_state.cleanupPlan().candidates;
    if (!index.isValid() || index.row() >= static_cast<int>(candidates.size())) {
        return {};
    }
    const CleanupCandidate& candidate = candidates[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return displayText(candidate.name);
    case Qt::CheckStateRole:
        return candidate.isSelected ? Qt::Checked : Qt::Unchecked;
    case RowRole::texts:
        return QStringList{displayText(candidate.name),
                           displayText(badgeTitle(candidate.riskLevel)),
                           displayText(candidate.url.native()),
                           displayText(candidate.purpose),
                           displayText(candidate.formattedSize()),
                           displayText(displayName(candidate.category))};
    case RowRole::icon:
        return displayText(systemIcon(candidate.category));
    case RowRole::id:
        return QString::fromStdString(candidate.id.text());
    default:
        return {};
    }
}

} // namespace fernwick::ui
