#pragma once

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>
#include <QWidget>

class QPainter;

namespace fernwick::ui {

/// How a badge is drawn: its text in `colour` on `colour` at `backgroundOpacity`, padded and
/// rounded.
struct BadgeLook {
    QFont font;
    QColor colour;
    double paddingH = 6;
    double paddingV = 2;
    double cornerRadius = 4;
    double backgroundOpacity = 0.15;
};

/// The size of `text` drawn as a badge in `look`.
QSizeF badgeSize(const QString& text, const BadgeLook& look);
/// Draws `text` as a badge in `look` with its top-left corner at `topLeft`; returns its
/// rectangle. The text is plain.
QRectF paintBadge(QPainter& painter, QPointF topLeft, const QString& text, const BadgeLook& look);

/// A small tinted label (a risk level, "ORIGINAL"). Plain text. GUI thread only.
class Badge : public QWidget {
    Q_OBJECT
public:
    Badge(QString text, BadgeLook look, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(QString text);
    const BadgeLook& look() const { return m_look; }
    void setLook(BadgeLook look);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    BadgeLook m_look;
};

} // namespace fernwick::ui
