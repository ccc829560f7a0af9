#include "FernwickUI/MainWindow/MenuBarExtra.h"

#include "FernwickUI/MainWindow/WindowActivation.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QIcon>
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

} // namespace

MenuBarExtra::MenuBarExtra(QObject* parent) : QObject(parent) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    m_icon = new QSystemTrayIcon(trayIconImage(), this);
    m_icon->setToolTip(QStringLiteral("Tarnbrook"));
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [](QSystemTrayIcon::ActivationReason) { bringMainWindowToFront(); });
    m_icon->show();
}

} // namespace fernwick::ui
