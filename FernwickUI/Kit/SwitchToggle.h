#pragma once

#include <QAbstractButton>

namespace fernwick::ui {

/// An on/off switch: a rounded track, tinted when on, with a white knob at the end it points to.
/// Checkable; a click flips it and emits `toggled`. It has no label of its own. GUI thread only.
class SwitchToggle : public QAbstractButton {
    Q_OBJECT
public:
    explicit SwitchToggle(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace fernwick::ui
