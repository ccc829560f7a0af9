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

/// A plain-style button drawn entirely from a ButtonLook. The label is drawn as plain text:
/// markup and "&" show as typed and never become a mnemonic. GUI thread only.
class StyledButton : public QAbstractButton {
    Q_OBJECT
public:
    StyledButton(QString label, ButtonLook look, QWidget* parent = nullptr);

    const QString& label() const { return m_label; }
    void setLabel(QString label);
    const ButtonLook& look() const { return m_look; }
    void setLook(ButtonLook look);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /// Room kept around the label for its shadow.
    QMarginsF shadowMargins() const;

    QString m_label;
    ButtonLook m_look;
};

/// The platform's "bordered" button at the small size: a light translucent bezel, the text in
/// `tint` (white when none).
ButtonLook borderedLook(const QFont& font, QColor tint = Qt::white);
/// The platform's "bordered-prominent" button: filled with `tint`, white text.
ButtonLook borderedProminentLook(const QFont& font, QColor tint);

} // namespace fernwick::ui
