#pragma once

#include "FernwickUI/Kit/StyledButton.h"

#include <QKeySequence>

namespace fernwick::ui {

/// A shortcut's text as this platform writes it ("Ctrl+Shift+Backspace").
QString shortcutText(const QKeySequence& keys);

/// A display-only key chip: `look` drawn around the text; it takes no focus and no clicks.
StyledButton* makeKeyChip(const QString& text, ButtonLook look, QWidget* parent = nullptr);

} // namespace fernwick::ui
