#include "FernwickUI/Kit/ModalFrame.h"

#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace fernwick::ui {

ModalFrame::ModalFrame(const QString& title, QSize minimumSize, QWidget* content, QWidget* parent)
    : QDialog(parent), m_title(title) {
    setWindowTitle(title);
    setMinimumSize(minimumSize);
    setBackground(this, Palette::contentBackground());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* header = new QWidget(this);
    setBackground(header, Palette::sheetHeaderBackground());
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(16, 16, 16, 16);
    headerRow->addWidget(makeLabel(title, headline(), Qt::white, header));
    headerRow->addStretch(1);
    auto* doneButton = new StyledButton(QStringLiteral("Done"), ButtonStyle::borderedProminent,
                                        Palette::systemBlue(), ControlSize::regular, header);
    connect(doneButton, &QAbstractButton::clicked, this, &QDialog::reject);
    headerRow->addWidget(doneButton);
    layout->addWidget(header);
    layout->addWidget(makeDivider(Qt::Horizontal, this, 0.1));
    m_content = content != nullptr ? content : new QWidget;
    m_content->setParent(this);
    layout->addWidget(m_content, 1);
}

} // namespace fernwick::ui
