#include "FernwickUI/MainWindow/ErrorStateView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QLabel>
#include <QVBoxLayout>

namespace fernwick::ui {

ErrorStateView::ErrorStateView(const std::function<void()>& tryAgain, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(
        new IconView("exclamationmark.triangle.fill", 36, Palette::systemOrange(), this), 0,
        Qt::AlignHCenter);
    // The title-3 text style: 15 points.
    layout->addWidget(
        makeLabel(QStringLiteral("Scanning Error"), uiFont(15, QFont::Bold), Qt::white, this), 0,
        Qt::AlignHCenter);
    // The caption text style: 10 points.
    m_message = makeLabel(QString(), uiFont(10), whiteAt(0.6), this);
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_message->setMaximumWidth(400);
    layout->addWidget(m_message, 0, Qt::AlignHCenter);
    auto* button = new StyledButton(QStringLiteral("Try Again"), ButtonStyle::borderedProminent,
                                    Palette::systemBlue(), ControlSize::regular, this);
    connect(button, &QAbstractButton::clicked, this, [tryAgain] { tryAgain(); });
    layout->addWidget(button, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void ErrorStateView::setMessage(const QString& message) {
    m_message->setText(message);
}

} // namespace fernwick::ui
