#include "FernwickUI/Kit/Chip.h"

#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

namespace fernwick::ui {

namespace {

ButtonLook chipLook(QFont::Weight weight, const QColor& text, const QColor& background) {
    ButtonLook look;
    look.font = uiFont(11, weight);
    look.textColour = text;
    look.background = background;
    look.paddingH = 10;
    look.paddingV = 4;
    look.cornerRadius = 6;
    return look;
}

} // namespace

ButtonLook Chip::selectedLook() {
    return chipLook(QFont::Bold, Qt::white, FernwickTheme::primaryBlue());
}

ButtonLook Chip::unselectedLook() {
    return chipLook(QFont::Normal, FernwickTheme::textSecondary(), FernwickTheme::cardBackground());
}

Chip::Chip(QString label, QWidget* parent)
    : Chip(std::move(label), selectedLook(), unselectedLook(), parent) {}

Chip::Chip(QString label, ButtonLook selected, ButtonLook unselected, QWidget* parent)
    : StyledButton(std::move(label), unselected, parent), m_selectedLook(std::move(selected)),
      m_unselectedLook(std::move(unselected)) {}

void Chip::setSelected(bool selected) {
    m_selected = selected;
    setLook(selected ? m_selectedLook : m_unselectedLook);
}

} // namespace fernwick::ui
