#pragma once

#include "FernwickCore/Engines/DeveloperStorageEngine.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/State/ScreenStates.h"
#include "FernwickUI/Tools/ToolSeams.h"

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

class QHBoxLayout;
class QLabel;
class QStackedWidget;

namespace fernwick::ui {

class AppState;
class Chip;
class DeveloperItemModel;
class RowList;
class Spinner;
class StyledButton;
class ToolPage;

/// The developer cleaner: the caches and build folders of the last developer scan, narrowed by
/// a group chip, ticked per item and moved to the Trash after a confirmation. Ticks of every
/// group count. The moves, the rescan after them and the alert of the refusals run in
/// `AppState::cleanDeveloperItems`, off the GUI thread. GUI thread only.
class DeveloperCleanerView : public QWidget {
    Q_OBJECT
public:
    DeveloperCleanerView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);

    /// "All" followed by each group of the items once, in order of first appearance.
    static std::vector<std::string> groupChips(const std::vector<DeveloperStorageItem>& items);

    RowList* list() const { return m_list; }
    DeveloperItemModel* model() const { return m_model; }
    /// The open confirmation; null when none.
    ConfirmationDialog* confirmation() const { return m_confirmation; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildGroupBar();
    void buildFooter();
    std::vector<DeveloperStorageItem> selectedItems() const;
    std::int64_t selectedBytes() const;
    void itemsChanged();
    void resetSelection();
    void rebuildChips();
    void chooseGroup(const std::string& group);
    void refreshList();
    void refreshContent();
    void refreshFooter();
    void toggle(int row);
    void confirmClean();
    void cleanSelected();

    AppState& m_state;
    DeveloperCleanerViewState m_view;
    std::vector<Uuid> m_shownIds;
    std::vector<std::string> m_chipNames;
    bool m_shownOnce = false;

    ToolPage* m_page = nullptr;
    QHBoxLayout* m_chipRow = nullptr;
    std::vector<Chip*> m_chips;
    QStackedWidget* m_content = nullptr;
    QWidget* m_loading = nullptr;
    QWidget* m_empty = nullptr;
    DeveloperItemModel* m_model = nullptr;
    RowList* m_list = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_status = nullptr;
    StyledButton* m_cleanButton = nullptr;
    Spinner* m_cleanSpinner = nullptr;
    QPointer<ConfirmationDialog> m_confirmation;
};

} // namespace fernwick::ui
