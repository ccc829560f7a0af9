#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QString>

#include <string>
#include <vector>

namespace fernwick::ui {

/// How a StyledButton draws its label: optional leading dots and icon, the text, an optional
/// trailing icon and badge, on an optional rounded background with outline and shadow.
struct ButtonLook {
    std::vector<QColor> dots; ///< small filled circles before everything else
    double dotSize = 7;
    double dotSpacing = 3;
    std::string icon; ///< system icon name; empty for none
    double iconSize = 12;
    QColor iconColour = Qt::white;
    double iconFrameWidth = 0; ///< 0: the glyph's own width
    QFont font;
    QColor textColour = Qt::white;
    std::string trailingIcon;
    double trailingIconSize = 9;
    QColor trailingIconColour = Qt::white;
    QString badge; ///< shown at the trailing edge when not empty
    QFont badgeFont;
    QColor badgeColour = Qt::white;
    double spacing = 8;
    double paddingH = 12;
    double paddingV = 8;
    QColor background = Qt::transparent;
    double cornerRadius = 0;
    QColor outline = Qt::transparent;
    double outlineWidth = 1;
    QColor shadow = Qt::transparent;
    double shadowRadius = 0;
    double shadowOffsetY = 0;
    /// The label is followed by a flexible spacer: the button takes the whole width offered and
    /// its content sits at the leading edge.
    bool fillWidth = false;
};

/// The platform's button styles by name.
enum class ButtonStyle {
    plain,             ///< the label alone, in the tint
    bordered,          ///< a light translucent bezel, the label in the tint
    borderedProminent, ///< filled with the tint, the label white
};

/// The platform's control sizes: how much room a bordered button keeps around its label.
enum class ControlSize { regular, small, mini };

/// The look of a `style` button at `size` with its label in `font`. `tint` colours the label
/// (plain, bordered) or the fill (bordered-prominent); when invalid, the label is white and the
/// prominent fill is `Palette::systemBlue()`.
ButtonLook buttonLook(ButtonStyle style, const QFont& font, const QColor& tint = QColor(),
                      ControlSize size = ControlSize::regular);

/// A plain-style button drawn entirely from a ButtonLook. The label is drawn as plain text:
/// markup and "&" show as typed and never become a mnemonic. Tab reaches it; it then shows the
/// keyboard focus ring, and Space or Return presses it. GUI thread only.
class StyledButton : public QAbstractButton {
    Q_OBJECT
public:
    StyledButton(QString label, ButtonLook look, QWidget* parent = nullptr);
    /// A button in one of the named styles, its label in the system font at the size's default
    /// (13 points regular, 11 small, 9 mini).
    StyledButton(QString label, ButtonStyle style, const QColor& tint = QColor(),
                 ControlSize size = ControlSize::regular, QWidget* parent = nullptr);

    const QString& label() const { return m_label; }
    void setLabel(QString label);
    const ButtonLook& look() const { return m_look; }
    void setLook(ButtonLook look);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// Room kept around the label for its shadow.
    QMarginsF shadowMargins() const;

    QString m_label;
    ButtonLook m_look;
};

/// `buttonLook(ButtonStyle::bordered, font, tint, ControlSize::small)`.
ButtonLook borderedLook(const QFont& font, QColor tint = Qt::white);
/// `buttonLook(ButtonStyle::borderedProminent, font, tint, ControlSize::small)`.
ButtonLook borderedProminentLook(const QFont& font, QColor tint);

} // namespace fernwick::ui
