#pragma once

#include <QAbstractButton>
#include <QRectF>

class QPainter;

namespace fernwick::ui {

/// The checkbox of the tool screens, drawn by the same function that list delegates use, so a
/// box in a widget and a box in a painted row look alike. Checkable; a click toggles it and
/// emits `toggled`. It has no label. GUI thread only.
class CheckBox : public QAbstractButton {
    Q_OBJECT
public:
    /// The side of the box in logical pixels.
    static constexpr double kSide = 14;

    explicit CheckBox(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// Draws a checkbox of side kSide centred in `box`: a tinted box with a white tick when
/// `checked`, an outlined empty box otherwise, faded when not `enabled`.
void paintCheckBox(QPainter& painter, const QRectF& box, bool checked, bool enabled = true);

/// The square of side kSide, centred vertically in `row`, starting at `left`: where a delegate
/// draws its box and takes its clicks.
QRectF checkBoxRect(const QRectF& row, double left);

} // namespace fernwick::ui
