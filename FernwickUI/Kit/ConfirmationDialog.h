#pragma once

#include "FernwickUI/Kit/InWindowDialog.h"

#include <QString>

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace fernwick::ui {

/// The question asked before anything moves to the Trash or is deleted: a bold title, a
/// message and two buttons, the destructive one (its label names what goes) and "Cancel".
/// "Cancel" is the default and the Escape button, so Return never confirms; only a click on the
/// destructive button accepts. Every text is plain. It opens inside the window of `parent`
/// (see InWindowDialog); open it with `open()`. GUI thread only.
class ConfirmationDialog : public InWindowDialog {
    Q_OBJECT
public:
    ConfirmationDialog(const QString& title, const QString& message,
                       const QString& destructiveLabel, QWidget* parent = nullptr);

    const QLabel* titleLabel() const { return m_title; }
    /// Replaces the title (plain text), also while the dialog is open.
    void setTitle(const QString& title);
    const QLabel* messageLabel() const { return m_message; }
    QPushButton* destructiveButton() const { return m_destructive; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    QLabel* m_title;
    QLabel* m_message;
    QPushButton* m_destructive;
    QPushButton* m_cancel;
};

/// The body every small dialog shares: `title` in bold over `message`, both wrapped (as
/// WrappedLabel wraps, inside a word too where one is wider than the dialog), then the
/// returned row for the buttons (a stretch already in it).
QHBoxLayout* buildDialogBody(QDialog* dialog, QLabel* title, QLabel* message);

} // namespace fernwick::ui
