#include "FernwickUI/Kit/KeyChip.h"

namespace fernwick::ui {

QString shortcutText(const QKeySequence& keys) {
    return keys.toString(QKeySequence::NativeText);
}

StyledButton* makeKeyChip(const QString& text, ButtonLook look, QWidget* parent) {
    auto* chip = new StyledButton(text, std::move(look), parent);
    chip->setFocusPolicy(Qt::NoFocus);
    chip->setAttribute(Qt::WA_TransparentForMouseEvents);
    return chip;
}

} // namespace fernwick::ui
