#pragma once

#include "FernwickUI/Kit/StyledButton.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace fernwick::ui {

class AppState;
struct ToolSeams;
class CleanupCandidatesModel;
class ConfirmationDialog;
class RowList;
class Spinner;
class SwitchToggle;
class ToolPage;

/// The "Smart Cleanup" sheet: the candidates of the plan with a tick each (kept in the state, so
/// they outlast the sheet), a dry-run switch (off at every opening), the selected count and
/// size, the last run's reclaimed size, and the run button: a dry run at once, a real run only
/// after a confirmation whose default is "Cancel". With no candidates, an empty state offers a
/// scan. GUI thread only; `state` must outlive the screen.
class CleanupReviewView : public QWidget {
    Q_OBJECT
public:
    /// The row region that takes clicks.
    enum Action : int { tick = 0 };

    CleanupReviewView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);

    CleanupCandidatesModel* model() const { return m_model; }
    RowList* list() const { return m_list; }
    SwitchToggle* dryRunSwitch() const { return m_dryRun; }
    StyledButton* runButton() const { return m_run; }
    const QLabel* countLabel() const { return m_count; }
    const QLabel* sizeLabel() const { return m_size; }
    /// The "<size> Reclaimed" text; hidden until a run has finished.
    const QLabel* reclaimedLabel() const { return m_reclaimed; }
    const Spinner* runSpinner() const { return m_spinner; }
    bool showsEmptyState() const;

private:
    void run();
    void updatePlan();
    void updateFooter();
    ButtonLook runLook() const;

    AppState& m_state;
    ToolPage* m_page;
    CleanupCandidatesModel* m_model;
    RowList* m_list;
    QWidget* m_empty;
    SwitchToggle* m_dryRun;
    QLabel* m_count;
    QLabel* m_size;
    QWidget* m_reclaimedBox;
    QLabel* m_reclaimed;
    StyledButton* m_run;
    Spinner* m_spinner;
    QPointer<ConfirmationDialog> m_confirm;
};

} // namespace fernwick::ui
