#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include "FernwickUI/Kit/StyledButton.h"

#include <string>

class QHBoxLayout;
class QLabel;
class QStackedWidget;
class QVBoxLayout;

namespace fernwick::ui {

class StyledButton;

/// The skeleton every tool screen shares, top to bottom on `appBackground`: a header padded 18
/// on `cardBackground` (title in title-2 bold over the subtitle in subheadline
/// `textSecondary`, a stretch, then the trailing controls), a divider, the content (one of
/// several pages, e.g. list, empty state, loading), a divider and a footer padded 16 on
/// `cardBackground`. Texts are plain. GUI thread only.
class ToolPage : public QWidget {
    Q_OBJECT
public:
    ToolPage(const QString& title, const QString& subtitle, QWidget* parent = nullptr);

    /// Shows the symbol `icon` in `colour` before the title, 8 apart.
    void setTitleIcon(const std::string& icon, const QColor& colour);
    /// The row right of the title column, after its stretch: add the header's controls here.
    QHBoxLayout* headerTrailing() const { return m_headerTrailing; }
    /// Adds a bar (and a divider under it) between the header and the content area, below the
    /// bars added before; the bar becomes the page's child.
    void addBar(QWidget* bar);
    /// Adds a page to the content area (the first added is shown first); the page becomes the
    /// page's child.
    void addContent(QWidget* page);
    /// Shows `page` (one added before) in the content area.
    void showContent(QWidget* page);
    QWidget* currentContent() const;
    /// The footer's row; empty and hidden until something is added and it is shown.
    QHBoxLayout* footer() const { return m_footer; }
    void setFooterVisible(bool visible);

    const QLabel* titleLabel() const { return m_title; }
    const QLabel* subtitleLabel() const { return m_subtitle; }

private:
    QVBoxLayout* m_column;
    int m_barInsertAt = 0;
    QLabel* m_title;
    QLabel* m_subtitle;
    QHBoxLayout* m_titleRow = nullptr;
    QHBoxLayout* m_headerTrailing;
    QStackedWidget* m_content;
    QWidget* m_footerDivider;
    QWidget* m_footerBar;
    QHBoxLayout* m_footer;
};

/// A widget filled with one colour inside rounded corners (no outline); lay its content out
/// with its own layout.
class RoundedFill : public QWidget {
    Q_OBJECT
public:
    RoundedFill(const QColor& colour, double cornerRadius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
    double m_cornerRadius;
};

/// What an empty state shows, in a centred column between two stretches: a large icon, a
/// title, a message and one bordered button.
struct EmptyStateLook {
    std::string icon;
    double iconSize = 48;
    QColor iconColour;
    QString title;
    QFont titleFont;
    QString message;
    /// The widest the message is laid out (wrapped and centred); 0 for one line.
    int messageMaxWidth = 0;
    QString buttonLabel;
    int spacing = 12;
};

struct EmptyState {
    QWidget* widget = nullptr;
    StyledButton* button = nullptr;
};

/// `look` as it shows while its button is disabled: faded fill and text.
ButtonLook fadedLook(ButtonLook look);
/// Gives `button` `look` when `enabled`, the faded look otherwise, and enables it accordingly.
void setButtonEnabled(StyledButton* button, const ButtonLook& look, bool enabled);

/// Builds the empty state `look` describes; the caller connects the button.
EmptyState makeEmptyState(const EmptyStateLook& look, QWidget* parent = nullptr);

} // namespace fernwick::ui
