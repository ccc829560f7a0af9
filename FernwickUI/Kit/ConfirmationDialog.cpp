#include "FernwickUI/Kit/ConfirmationDialog.h"

#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace fernwick::ui {

namespace {

// Room on each side of a button's label; the style's own margin leaves a long label touching
// the frame.
constexpr int kLabelInset = 14;

void keepLabelInset(QPushButton* button) {
    const int label = button->fontMetrics().horizontalAdvance(button->text());
    button->setMinimumWidth(std::max(button->sizeHint().width(), label + 2 * kLabelInset));
}

} // namespace

QHBoxLayout* buildDialogBody(QDialog* dialog, QLabel* title, QLabel* message) {
    setBackground(dialog, Palette::dialogBackground());
    dialog->setMinimumWidth(320);
    dialog->setMaximumWidth(480);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(8);
    title->setWordWrap(true);
    message->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(message);
    layout->addSpacing(8);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return buttons;
}

ConfirmationDialog::ConfirmationDialog(const QString& title, const QString& message,
                                       const QString& destructiveLabel, QWidget* parent)
    : InWindowDialog(parent),
      m_title(new WrappedLabel(title, uiFont(13, QFont::Bold), Qt::white, this)),
      m_message(new WrappedLabel(message, uiFont(11), Palette::dialogMessage(), this)),
      m_destructive(new QPushButton(this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(title);
    // A "&" in the label is a character, not a mnemonic.
    m_destructive->setText(
        QString(destructiveLabel).replace(QLatin1Char('&'), QStringLiteral("&&")));
    QHBoxLayout* buttons = buildDialogBody(this, m_title, m_message);
    // The destructive choice never takes the keyboard's default: Return cancels.
    m_destructive->setAutoDefault(false);
    m_destructive->setDefault(false);
    QPalette palette = m_destructive->palette();
    palette.setColor(QPalette::ButtonText, Palette::destructiveRed());
    m_destructive->setPalette(palette);
    m_cancel->setAutoDefault(true);
    m_cancel->setDefault(true);
    connect(m_destructive, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    keepLabelInset(m_destructive);
    keepLabelInset(m_cancel);
    buttons->addWidget(m_destructive);
    buttons->addWidget(m_cancel);
    m_cancel->setFocus();
}

void ConfirmationDialog::setTitle(const QString& title) {
    setWindowTitle(title);
    m_title->setText(title);
}

} // namespace fernwick::ui
