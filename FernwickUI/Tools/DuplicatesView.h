#pragma once

#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Tools/ToolSeams.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace fernwick::ui {

class AppState;
class ConfirmationDialog;
class DuplicatesModel;
class RowList;
class Spinner;
class ToolPage;

/// The "Duplicate Finder" sheet: the clusters of the last duplicate search, each a header with
/// its recoverable size and one row per copy (the original starred, the others with a tick), the
/// total over all clusters and the clean, which asks first ("Cancel" is the default). Opening the
/// sheet searches nothing; "Scan Duplicates" does. While a search runs, a spinner replaces the
/// list; while a clean runs, the clean button is disabled with a spinner on it. GUI thread only;
/// `state` must outlive the screen.
class DuplicatesView : public QWidget {
    Q_OBJECT
public:
    /// The row regions that take clicks.
    enum Action : int { tick = 0, reveal = 1 };

    DuplicatesView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);

    DuplicatesModel* model() const { return m_model; }
    RowList* list() const { return m_list; }
    StyledButton* cleanButton() const { return m_clean; }
    const QLabel* totalLabel() const { return m_total; }
    /// "loading", "list" or "empty": what the content area shows.
    QString contentName() const;

private:
    void updateClusters();
    void updateContent();
    void updateFooter();
    void askToClean();

    AppState& m_state;
    ToolPage* m_page;
    DuplicatesModel* m_model;
    RowList* m_list;
    QWidget* m_loading;
    QWidget* m_empty;
    QLabel* m_total;
    StyledButton* m_clean;
    Spinner* m_cleanSpinner;
    ButtonLook m_cleanLook;
    QPointer<ConfirmationDialog> m_confirm;
};

} // namespace fernwick::ui
