#pragma once

#include "FernwickUI/Style/TreemapTheme.h"

#include <QAbstractButton>
#include <QDialog>

#include <vector>

class QScrollArea;

namespace fernwick::ui {

class AppState;
class StyledButton;

/// One theme's card in the picker: its swatches, name and subtitle; the current theme's card is
/// outlined and marked "ACTIVE" with a check. GUI thread only.
class ThemeCard : public QAbstractButton {
    Q_OBJECT
public:
    ThemeCard(TreemapTheme theme, QWidget* parent = nullptr);

    TreemapTheme theme() const { return m_theme; }
    bool isActive() const { return m_active; }
    void setActive(bool active);
    /// The first swatch (for tests and pictures).
    QWidget* firstSwatch() const { return m_firstSwatch; }
    QWidget* activeBadge() const { return m_badge; }
    QWidget* checkmark() const { return m_check; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TreemapTheme m_theme;
    bool m_active = false;
    QWidget* m_firstSwatch = nullptr;
    QWidget* m_badge = nullptr;
    QWidget* m_check = nullptr;
};

/// The theme sheet: a fixed 460×520 frame with the eight theme cards in a scrolling list. A
/// card applies its theme at once and the sheet stays; "Done" and the close button close it and
/// keep the theme. GUI thread only; the state must outlive it.
class ThemePickerModal : public QDialog {
    Q_OBJECT
public:
    explicit ThemePickerModal(AppState& state, QWidget* parent = nullptr);

    const std::vector<ThemeCard*>& cards() const { return m_cards; }
    QScrollArea* list() const { return m_list; }
    StyledButton* closeButton() const { return m_close; }

private:
    void refresh();
    void finish();

    AppState& m_state;
    std::vector<ThemeCard*> m_cards;
    QScrollArea* m_list = nullptr;
    StyledButton* m_close = nullptr;
};

} // namespace fernwick::ui
