#pragma once

#include <QObject>

class QSystemTrayIcon;

namespace fernwick::ui {

/// The program's icon in the desktop's system tray, where the desktop offers one: the
/// "circle.hexagongrid.fill" symbol titled "Tarnbrook". Activating it brings the main window to
/// the front. Absent (and harmless) where no tray exists. GUI thread only.
class MenuBarExtra : public QObject {
    Q_OBJECT
public:
    explicit MenuBarExtra(QObject* parent = nullptr);

    /// Null where the desktop has no tray.
    QSystemTrayIcon* trayIcon() const { return m_icon; }

private:
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace fernwick::ui
