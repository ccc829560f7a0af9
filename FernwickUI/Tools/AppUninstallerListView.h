#pragma once

#include "FernwickCore/Model/InstalledApp.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/State/ScreenStates.h"
#include "FernwickUI/Tools/ToolSeams.h"

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

class QLineEdit;
class QStackedWidget;
class QVBoxLayout;

namespace fernwick::ui {

class AppState;
class InstalledAppModel;
class RowList;

/// The app uninstaller: the installed applications filtered by a search text, and an inspector
/// for the selected one with its size, its leftovers and "Uninstall". The selection is
/// AppState's and outlives the screen; after an uninstall the inspector keeps the application
/// until another row is chosen. The uninstall and the rescan run in `AppState`. GUI thread only.
class AppUninstallerListView : public QWidget {
    Q_OBJECT
public:
    AppUninstallerListView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);

    /// The applications whose name or bundle identifier contains `searchText` ignoring case,
    /// in list order; all of them for an empty text (which is not trimmed).
    static std::vector<InstalledApp> visibleApps(const std::vector<InstalledApp>& apps,
                                                 const std::string& searchText);

    QLineEdit* searchField() const { return m_search; }
    RowList* list() const { return m_list; }
    InstalledAppModel* model() const { return m_model; }
    /// The inspector's column (null while nothing is selected).
    QWidget* inspector() const { return m_inspector; }
    ConfirmationDialog* confirmation() const { return m_confirmation; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildLeftPane();
    QWidget* buildInspector(const InstalledApp& app);
    QWidget* buildStorageCard(const InstalledApp& app);
    QWidget* buildLeftovers(const InstalledApp& app);
    void refreshList();
    void refreshLoading();
    void refreshInspector();
    void confirmUninstall(const InstalledApp& app);
    // Up, Down, Home and End in the list move the selection; false for any other key.
    bool moveSelection(int key);

    AppState& m_state;
    AppUninstallerListViewState m_view;
    QLineEdit* m_search = nullptr;
    QStackedWidget* m_leftContent = nullptr;
    QWidget* m_loading = nullptr;
    InstalledAppModel* m_model = nullptr;
    RowList* m_list = nullptr;
    QStackedWidget* m_right = nullptr;
    QWidget* m_noSelection = nullptr;
    QWidget* m_inspector = nullptr;
    QPointer<ConfirmationDialog> m_confirmation;
};

} // namespace fernwick::ui
