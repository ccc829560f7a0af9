#include "FernwickUI/MainWindow/MenuBarExtra.h"

#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace fernwick::ui {

namespace {

QIcon trayIconImage() {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font = systemIconFont(1);
        font.setPixelSize(side);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(pixmap.rect(), Qt::AlignCenter,
                         systemIconGlyph("circle.hexagongrid.fill"));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void call(const std::function<void()>& action) {
    if (action) {
        action();
    }
}

} // namespace

MenuBarExtra::MenuBarExtra(AppState& state, MenuBarActions actions, QObject* parent)
    : QObject(parent), m_state(state), m_actions(std::move(actions)), m_menu(new QMenu) {
    QAction* name = m_menu->addAction(QStringLiteral("Tarnbrook Ridar"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->setEnabled(false);
    m_diskFree = m_menu->addAction(QString());
    m_diskFree->setFont(caption());
    m_diskFree->setEnabled(false);
    m_menu->addSeparator();
    connect(m_menu->addAction(QStringLiteral("Start Quick Scan")), &QAction::triggered, this,
            [this] { m_state.startScan(std::nullopt); });
    connect(m_menu->addAction(QStringLiteral("Open Tarnbrook")), &QAction::triggered, this,
            [this] { call(m_actions.showAllWindows); });
    m_menu->addSeparator();
    connect(m_menu->addAction(QStringLiteral("Quit Tarnbrook")), &QAction::triggered, this,
            [this] { call(m_actions.quit); });
    connect(&m_state, &AppState::systemMetricsChanged, this, &MenuBarExtra::refreshDiskFree);
    refreshDiskFree();

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    m_icon = new QSystemTrayIcon(trayIconImage(), this);
    m_icon->setToolTip(QStringLiteral("Tarnbrook"));
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    call(m_actions.iconClicked);
                }
            });
    m_icon->show();
}

MenuBarExtra::~MenuBarExtra() {
    // The tray icon refers to the menu: it goes first.
    delete m_icon;
    delete m_menu;
}

void MenuBarExtra::refreshDiskFree() {
    m_diskFree->setText(QStringLiteral("Disk Free: ") +
                        QString::fromStdString(m_state.systemMetrics().formattedDiskFree()));
}

} // namespace fernwick::ui
