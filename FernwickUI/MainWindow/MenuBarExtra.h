#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace fernwick::ui {

class AppState;

/// What the tray menu does beyond the state: bring the windows forward, quit, and show the
/// main window when the icon itself is clicked.
struct MenuBarActions {
    std::function<void()> showAllWindows;
    std::function<void()> quit;
    std::function<void()> iconClicked;
};

/// The program's icon in the desktop's system tray, where the desktop offers one: the
/// "circle.hexagongrid.fill" symbol titled "Tarnbrook", with a menu of the name, the free disk
/// space, "Start Quick Scan", "Open Tarnbrook" and "Quit Tarnbrook". The menu is built in every
/// case (and kept current) but attached only where a tray exists. GUI thread only; the state
/// must outlive it.
class MenuBarExtra : public QObject {
    Q_OBJECT
public:
    MenuBarExtra(AppState& state, MenuBarActions actions, QObject* parent = nullptr);
    ~MenuBarExtra() override;

    /// Null where the desktop has no tray.
    QSystemTrayIcon* trayIcon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }

private:
    void refreshDiskFree();

    AppState& m_state;
    MenuBarActions m_actions;
    QMenu* m_menu = nullptr;
    QAction* m_diskFree = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace fernwick::ui
