#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Style/SystemIcons.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace fernwick::ui {

void applyDarkAppearance(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette;
    const QColor window(30, 30, 32);
    const QColor base(24, 24, 26);
    const QColor text(235, 235, 240);
    const QColor accent(10, 132, 255);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(36, 36, 38));
    palette.setColor(QPalette::ToolTipBase, QColor(44, 44, 46));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(44, 44, 46));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent);
    palette.setColor(QPalette::PlaceholderText, QColor(142, 142, 147));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(110, 110, 115));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 110, 115));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 110, 115));
    app.setPalette(palette);
    systemIconFontFamily();
}

} // namespace fernwick::ui
