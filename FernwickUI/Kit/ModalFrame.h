#pragma once

#include <QDialog>
#include <QSize>
#include <QString>

namespace fernwick::ui {

/// The frame of a sheet over the main window: a header with the title and "Done", a divider,
/// then the content. The main window shows it inside itself (see SheetOverlay); "Done", Escape
/// and every other way of closing reject the dialog. GUI thread only.
class ModalFrame : public QDialog {
    Q_OBJECT
public:
    /// `content` becomes the frame's child; null leaves the content area empty.
    ModalFrame(const QString& title, QSize minimumSize, QWidget* content,
               QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    /// The screen below the header (an empty widget when none was given).
    QWidget* content() const { return m_content; }

private:
    QString m_title;
    QWidget* m_content = nullptr;
};

} // namespace fernwick::ui
