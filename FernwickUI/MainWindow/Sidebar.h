#pragma once

#include <QScrollArea>

#include <filesystem>
#include <functional>

class QLabel;

namespace fernwick::ui {

class AppState;
class StyledButton;
class Spinner;

/// What the sidebar asks of the window around it.
struct SidebarActions {
    /// The folder chooser followed by a scan of the chosen folder.
    std::function<void()> chooseFolderAndScan;
    /// Opens the Empty-Trash confirmation.
    std::function<void()> askToEmptyTrash;
    /// The user's home folder, scanned by "Scan Home".
    std::filesystem::path home;
};

/// The left column of the main window: the three scan buttons, the disk gauge, the Trash row,
/// the cleanup tools, the file-type legend and the version line. It stores nothing: it reads
/// AppState and follows its change signals. Scrolls without visible bars when the window is
/// shorter than its content. GUI thread only.
class Sidebar : public QScrollArea {
    Q_OBJECT
public:
    Sidebar(AppState& state, SidebarActions actions, QWidget* parent = nullptr);

    /// Used fraction of the disk from a percentage, clamped to 0...1.
    static double usedFraction(double usedPercent);
    /// The percentage shown in the gauge: rounded half away from zero, not clamped.
    static QString usedPercentText(double usedPercent);

private:
    QWidget* buildScanBlock();
    QWidget* buildDiskSection();
    QWidget* buildTrashSection();
    QWidget* buildToolsSection();
    QWidget* buildFileTypesSection();
    void updateDisk();
    void updateTrash();
    void updateBadges();

    AppState& m_state;
    SidebarActions m_actions;
    class DiskGauge* m_gauge = nullptr;
    class UsageBar* m_usageBar = nullptr;
    QLabel* m_totalValue = nullptr;
    QLabel* m_usedValue = nullptr;
    QLabel* m_freeValue = nullptr;
    QLabel* m_trashCount = nullptr;
    StyledButton* m_emptyButton = nullptr;
    Spinner* m_emptySpinner = nullptr;
    StyledButton* m_cleanupRow = nullptr;
    StyledButton* m_developerRow = nullptr;
    StyledButton* m_largeFilesRow = nullptr;
};

} // namespace fernwick::ui
