#pragma once

// The main window: toolbar strip, sidebar and the content area that follows the scan state,
// with the undo toast, the alert, the Empty-Trash question and the tool sheets over it.
//
// Threads: GUI thread only. The window reads and calls the AppState it is given, which must
// outlive it; it keeps no data of its own beyond view state. Anything the program wants to show
// (an alert, a sheet) is raised by setting AppState's members; the window presents it and
// clears the member when the user closes it.

#include "FernwickUI/MainWindow/MainWindowDialogs.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Tools/ToolSeams.h"

#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>

class QMenuBar;
class QShortcut;
class QStackedWidget;
class QVBoxLayout;

namespace fernwick::ui {

class ErrorStateView;
class PermissionBanner;
class SearchResultsView;
class SheetOverlay;
class TopToolbar;
class UpdateBanner;
class ResultCanvas;
class ScanningView;
class Sidebar;
class UndoToast;
class WelcomeView;

/// What the window asks of the desktop; tests replace them.
struct MainWindowSeams {
    /// Runs the folder chooser (directories only, one item) and returns the chosen folder, or
    /// nullopt when the user cancelled. Default: the folder chooser, run by `tools.runChooser`.
    std::function<std::optional<std::filesystem::path>(QWidget* parent)> chooseFolder;
    /// The folder "Scan Home" and "Scan Home Folder" scan. Default: the user's home.
    std::optional<std::filesystem::path> home;
    /// What the tool screens ask of the desktop; empty members get the desktop's dialogs.
    ToolSeams tools;
    /// Ends the program ("Quit Tarnbrook Ridar"). Default: QCoreApplication::quit.
    std::function<void()> quit;
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    /// What the content area shows, in the order the window decides it.
    enum class Content { searchResults, scanning, error, completed, welcome };

    explicit MainWindow(AppState& state, MainWindowSeams seams = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The folder chooser, then a scan of the chosen folder; nothing when cancelled.
    void chooseFolderAndScan();
    /// Opens the Empty-Trash question (again, when it is open already nothing changes).
    void askToEmptyTrash();
    /// Closing then hides the window instead of ending the program (where a tray icon can bring
    /// it back).
    void setHidesOnClose(bool hides) { m_hidesOnClose = hides; }

    Content content() const { return m_content; }
    Sidebar* sidebar() const { return m_sidebar; }
    QMenuBar* menuBar() const { return m_menuBar; }
    TopToolbar* topToolbar() const { return m_toolbar; }
    UpdateBanner* updateBanner() const { return m_updateBanner; }
    PermissionBanner* permissionBanner() const { return m_permissionBanner; }
    SearchResultsView* searchResultsView() const { return m_searchResults; }
    WelcomeView* welcomeView() const { return m_welcome; }
    ScanningView* scanningView() const { return m_scanning; }
    ErrorStateView* errorView() const { return m_error; }
    ResultCanvas* resultCanvas() const { return m_result; }
    UndoToast* undoToast() const { return m_toast; }
    QShortcut* undoShortcut() const { return m_undoShortcut; }
    /// The dialogs on screen now; null when none.
    AlertDialog* alertDialog() const { return m_alert; }
    EmptyTrashDialog* emptyTrashDialog() const { return m_emptyTrash; }
    AlertDialog* aboutDialog() const { return m_about; }
    /// The sheet on screen now (a tool sheet or one of the modals); null when none. It is a
    /// child of the window, shown over it on the dimming layer `sheetOverlay`.
    QDialog* sheet() const { return m_sheet; }
    SheetOverlay* sheetOverlay() const { return m_sheetOverlay; }
    /// The sheet on screen now when it is a tool sheet; null otherwise.
    ToolSheet* toolSheet() const { return qobject_cast<ToolSheet*>(m_sheet.data()); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // MainWindowMenus.cpp: the File and Help menus above the toolbar.
    void buildMenus(QVBoxLayout* layout);
    void showAbout();
    void updateBanners();
    void updateContent();
    void updateToast();
    void updateAlert();
    void updateSheet();

    AppState& m_state;
    MainWindowSeams m_seams;
    Content m_content = Content::welcome;
    Sidebar* m_sidebar = nullptr;
    QStackedWidget* m_stack = nullptr;
    SearchResultsView* m_searchResults = nullptr;
    QMenuBar* m_menuBar = nullptr;
    TopToolbar* m_toolbar = nullptr;
    UpdateBanner* m_updateBanner = nullptr;
    QWidget* m_updateDivider = nullptr;
    PermissionBanner* m_permissionBanner = nullptr;
    QWidget* m_permissionDivider = nullptr;
    QShortcut* m_searchShortcut = nullptr;
    bool m_hidesOnClose = false;
    WelcomeView* m_welcome = nullptr;
    ScanningView* m_scanning = nullptr;
    ErrorStateView* m_error = nullptr;
    ResultCanvas* m_result = nullptr;
    UndoToast* m_toast = nullptr;
    QShortcut* m_undoShortcut = nullptr;
    std::optional<Uuid> m_toastID;
    QPointer<AlertDialog> m_alert;
    std::optional<Uuid> m_alertID;
    QPointer<EmptyTrashDialog> m_emptyTrash;
    QPointer<AlertDialog> m_about;
    QPointer<QDialog> m_sheet;
    SheetOverlay* m_sheetOverlay = nullptr;
    std::optional<ActiveModal> m_sheetModal;
};

} // namespace fernwick::ui
