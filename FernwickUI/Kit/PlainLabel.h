#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <string>

namespace fernwick::ui {

/// A label that shows `text` as plain text (markup shows as typed) in `font` and `colour`.
QLabel* makeLabel(const QString& text, const QFont& font, const QColor& colour,
                  QWidget* parent = nullptr);

/// Sets the colour a label draws its text in.
void setLabelColour(QLabel* label, const QColor& colour);

/// A label of plain text wrapped to its width: at spaces and other break points, and inside a
/// word only where one word is wider than the line, so that no letter is ever cut off (a
/// word-wrapping QLabel leaves a long word whole and cuts it at its edge). Line breaks in the
/// text are kept. It asks for the width of its longest line and takes any narrower one, growing
/// in height. The text is centred upright when the label is taller than it. GUI thread only.
class WrappedLabel : public QLabel {
    Q_OBJECT
public:
    WrappedLabel(const QString& text, const QFont& font, const QColor& colour,
                 QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /// The text with its line breaks as the layout takes them.
    QString laidOutText() const;
};

/// One line of plain text shortened with an ellipsis (in the middle by default) when wider than
/// the room it gets or than `maximumTextWidth`. GUI thread only.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    /// The text as drawn now, ellipsis included.
    QString shownText() const;
    void setColour(const QColor& colour);
    void setElideMode(Qt::TextElideMode mode) { m_mode = mode; }
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    /// The widest the text is drawn; 0 for no limit.
    void setMaximumTextWidth(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QFont m_font;
    QColor m_colour;
    Qt::TextElideMode m_mode = Qt::ElideMiddle;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int m_maximumTextWidth = 0;
};

/// A system icon glyph at a size and colour, in a box of its natural size or a fixed width.
class IconView : public QWidget {
    Q_OBJECT
public:
    IconView(std::string name, double size, const QColor& colour, QWidget* parent = nullptr);

    const std::string& name() const { return m_name; }
    void setName(std::string name);
    void setColour(const QColor& colour);
    /// A fixed frame width with the glyph centred in it; 0 for the glyph's own width.
    void setFrameWidth(int width);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_name;
    double m_size;
    QColor m_colour;
    int m_frameWidth = 0;
};

/// A one-point line in white at opacity 0.08, horizontal or vertical.
QWidget* makeDivider(Qt::Orientation orientation, QWidget* parent = nullptr, double opacity = 0.08);

/// A small bar of `size`, filled with `colour`, with rounded corners of `radius`.
QWidget* makeRoundedBar(QSize size, const QColor& colour, double radius, QWidget* parent = nullptr);

/// A widget that fills itself with `colour`.
void setBackground(QWidget* widget, const QColor& colour);

/// Text for display from a UTF-8 string of the tree or the state.
QString plainText(const std::string& text);

} // namespace fernwick::ui
