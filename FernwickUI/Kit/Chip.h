#pragma once

#include "FernwickUI/Kit/StyledButton.h"

namespace fernwick::ui {

/// A selectable pill: one look while selected, another otherwise. Selection is set by the
/// owner (`setSelected`), never by the click itself, so a chip group always shows the state's
/// choice. The label is plain text. GUI thread only.
class Chip : public StyledButton {
    Q_OBJECT
public:
    /// The threshold chips' looks: system 11, padded 10/4, radius 6; selected bold white on
    /// `primaryBlue`, otherwise regular `textSecondary` on `cardBackground`.
    static ButtonLook selectedLook();
    static ButtonLook unselectedLook();

    explicit Chip(QString label, QWidget* parent = nullptr);
    Chip(QString label, ButtonLook selected, ButtonLook unselected, QWidget* parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

private:
    ButtonLook m_selectedLook;
    ButtonLook m_unselectedLook;
    bool m_selected = false;
};

} // namespace fernwick::ui
