#pragma once

#include "FernwickUI/Kit/RowList.h"

namespace fernwick::ui {

class AppState;

/// The rows of the smart cleanup list: the candidates of the state's plan in plan order, read
/// from the state whenever a row is drawn, so a tick repaints in place. GUI thread only.
class CleanupCandidatesModel final : public IdRowModel {
    Q_OBJECT
public:
    /// Qt::DisplayRole: the name. Qt::CheckStateRole: the tick. RowRole::texts: name, badge,
    /// path, purpose, size, category name. RowRole::icon: the category's icon.
    explicit CleanupCandidatesModel(const AppState& state, QObject* parent = nullptr);

    /// Follows the plan: in place when it holds the same candidates, else a reset.
    void update();

    QVariant data(const QModelIndex& index, int role) const override;

private:
    const AppState& m_state;
};

} // namespace fernwick::ui
