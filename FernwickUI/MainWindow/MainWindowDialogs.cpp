#include "FernwickUI/MainWindow/MainWindowDialogs.h"

#include "FernwickUI/Style/PlainLabel.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/VisualPainting.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

// The shared body of both dialogs: bold title, message below, then the button row.
QHBoxLayout* buildBody(QDialog* dialog, QLabel* title, QLabel* message) {
    dialog->setWindowModality(Qt::WindowModal);
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

} // namespace

AlertDialog::AlertDialog(const QString& title, const QString& message, QWidget* parent)
    : QDialog(parent), m_title(makeLabel(title, uiFont(13, QFont::Bold), Qt::white, this)),
      m_message(makeLabel(message, uiFont(11), whiteAt(0.75), this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(title);
    QHBoxLayout* buttons = buildBody(this, m_title, m_message);
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(m_ok);
}

EmptyTrashDialog::EmptyTrashDialog(std::int64_t itemCount, QWidget* parent)
    : QDialog(parent), m_title(makeLabel(QStringLiteral("Permanently delete %1 items in the Trash?")
                                             .arg(static_cast<qlonglong>(itemCount)),
                                         uiFont(13, QFont::Bold), Qt::white, this)),
      m_empty(new QPushButton(QStringLiteral("Empty Trash"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(m_title->text());
    auto* message =
        makeLabel(QStringLiteral(
                      "This also removes items you trashed outside Tarnbrook. It can't be undone."),
                  uiFont(11), whiteAt(0.75), this);
    QHBoxLayout* buttons = buildBody(this, m_title, message);
    // The destructive choice never takes the keyboard's default: Return cancels.
    m_empty->setAutoDefault(false);
    m_empty->setDefault(false);
    QPalette palette = m_empty->palette();
    palette.setColor(QPalette::ButtonText, Palette::destructiveRed());
    m_empty->setPalette(palette);
    m_cancel->setAutoDefault(true);
    m_cancel->setDefault(true);
    connect(m_empty, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(m_empty);
    buttons->addWidget(m_cancel);
    m_cancel->setFocus();
}

} // namespace fernwick::ui
