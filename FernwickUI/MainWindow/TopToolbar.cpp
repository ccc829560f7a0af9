#include "FernwickUI/MainWindow/TopToolbar.h"

#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/MainWindow/SearchField.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>

namespace fernwick::ui {

namespace {

ButtonLook toolbarButtonLook(const std::string& icon, double iconSize, const QColor& colour) {
    ButtonLook look;
    look.icon = icon;
    look.iconSize = iconSize;
    look.iconColour = colour;
    look.textColour = colour;
    look.background = whiteAt(0.06);
    look.cornerRadius = 6;
    look.outline = whiteAt(0.12);
    return look;
}

} // namespace

TopToolbar::TopToolbar(AppState& state, QWidget* parent) : QWidget(parent) {
    setFixedHeight(48);
    setBackground(this, Palette::toolbarBackground());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 0, 16, 0);
    row->setSpacing(12);

    m_mark = new QWidget(this);
    auto* mark = new QHBoxLayout(m_mark);
    mark->setContentsMargins(0, 0, 0, 0);
    mark->setSpacing(8);
    mark->addWidget(new IconView("internaldrive.fill", 14, Palette::accentBlue(), m_mark));
    mark->addWidget(makeLabel(QStringLiteral("Tarnbrook Ridar"), uiFont(13, QFont::DemiBold),
                              Qt::white, m_mark));
    row->addWidget(m_mark);
    row->addStretch(1);
    m_search = new SearchField(state, this);
    row->addWidget(m_search);
    row->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    ButtonLook apps = toolbarButtonLook("app.badge.checkmark", 12, whiteAt(0.85));
    apps.font = uiFont(12, QFont::Medium);
    apps.spacing = 5;
    apps.paddingH = 10;
    apps.paddingV = 5;
    m_apps = new StyledButton(QStringLiteral("Apps"), apps, this);
    connect(m_apps, &QAbstractButton::clicked, this,
            [&state] { state.openTool(ActiveModal::apps); });
    buttons->addWidget(m_apps);
    struct IconButton {
        const char* icon;
        double opacity;
        const char* tooltip;
        ActiveModal modal;
    };
    for (const IconButton& spec :
         {IconButton{"waveform.path.ecg", 0.75, "System Resource Monitor",
                     ActiveModal::systemMonitor},
          IconButton{"keyboard", 0.75, "Keyboard Shortcuts", ActiveModal::shortcuts},
          IconButton{"paintpalette.fill", 0.85, "Color Themes (8 Palettes Available)",
                     ActiveModal::theme}}) {
        ButtonLook look = toolbarButtonLook(spec.icon, 13, whiteAt(spec.opacity));
        look.paddingH = 0;
        look.paddingV = 0;
        auto* button = new StyledButton(QString(), look, this);
        button->setFixedSize(28, 28);
        button->setToolTip(QString::fromUtf8(spec.tooltip));
        connect(button, &QAbstractButton::clicked, this,
                [&state, modal = spec.modal] { state.setActiveModal(modal); });
        buttons->addWidget(button);
    }
    row->addLayout(buttons);
}

} // namespace fernwick::ui
