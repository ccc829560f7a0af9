#pragma once

#include "FernwickUI/Kit/ConfirmationDialog.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class QLabel;
class QPushButton;

namespace fernwick::ui {

/// The alert of a UserAlert: its title and message as plain text and one default "OK" button
/// that only closes it. It opens inside the window of `parent` (see InWindowDialog). GUI thread
/// only.
class AlertDialog : public InWindowDialog {
    Q_OBJECT
public:
    AlertDialog(const QString& title, const QString& message, QWidget* parent = nullptr);

    const QLabel* titleLabel() const { return m_title; }
    const QLabel* messageLabel() const { return m_message; }
    QPushButton* okButton() const { return m_ok; }

private:
    QLabel* m_title;
    QLabel* m_message;
    QPushButton* m_ok;
};

/// The question before the Trash is emptied for good. "Cancel" is the default button (Return
/// and Escape both cancel); only a click on "Empty Trash" accepts. GUI thread only.
class EmptyTrashDialog : public ConfirmationDialog {
    Q_OBJECT
public:
    EmptyTrashDialog(std::int64_t itemCount, QWidget* parent = nullptr);

    /// The title for `itemCount` items in the Trash; the window keeps it up to date while the
    /// question is open.
    void setItemCount(std::int64_t itemCount);
    static QString titleFor(std::int64_t itemCount);

    QPushButton* emptyButton() const { return destructiveButton(); }
};

} // namespace fernwick::ui
