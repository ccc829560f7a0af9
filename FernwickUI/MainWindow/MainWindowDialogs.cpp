#include "FernwickUI/MainWindow/MainWindowDialogs.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace fernwick::ui {

AlertDialog::AlertDialog(const QString& title, const QString& message, QWidget* parent)
    : InWindowDialog(parent),
      m_title(new WrappedLabel(title, uiFont(13, QFont::Bold), Qt::white, this)),
      m_message(new WrappedLabel(message, uiFont(11), whiteAt(0.75), this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(title);
    QHBoxLayout* buttons = buildDialogBody(this, m_title, m_message);
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(m_ok);
}

EmptyTrashDialog::EmptyTrashDialog(std::int64_t itemCount, QWidget* parent)
    : ConfirmationDialog(
          titleFor(itemCount),
          QStringLiteral(
              "This also removes items you trashed outside Tarnbrook. It can't be undone."),
          QStringLiteral("Empty Trash"), parent) {}

QString EmptyTrashDialog::titleFor(std::int64_t itemCount) {
    return QStringLiteral("Permanently delete %1 items in the Trash?")
        .arg(static_cast<qlonglong>(itemCount));
}

void EmptyTrashDialog::setItemCount(std::int64_t itemCount) {
    setTitle(titleFor(itemCount));
}

} // namespace fernwick::ui
