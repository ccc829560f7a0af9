#pragma once

#include "FernwickUI/State/ActiveModal.h"

#include <QDialog>
#include <QString>

namespace fernwick::ui {

/// The frame of a tool screen shown as a sheet over the main window: a header with the title
/// and "Done" (also Escape), the screen below. Window-modal; closing it by any way rejects the
/// dialog. GUI thread only.
class ToolSheet : public QDialog {
    Q_OBJECT
public:
    /// `content` becomes the sheet's child; null leaves the content area empty.
    ToolSheet(const QString& title, QWidget* content, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }

    /// The title of the sheet that shows `modal`.
    static QString titleFor(ActiveModal modal);

private:
    QString m_title;
};

} // namespace fernwick::ui
