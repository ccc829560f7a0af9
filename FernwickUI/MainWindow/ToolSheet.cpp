#include "FernwickUI/MainWindow/ToolSheet.h"

#include "FernwickUI/Style/PlainLabel.h"
#include "FernwickUI/Style/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/VisualPainting.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace fernwick::ui {

ToolSheet::ToolSheet(const QString& title, QWidget* content, QWidget* parent)
    : QDialog(parent), m_title(title) {
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setMinimumSize(860, 580);
    resize(960, 680);
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
    if (content == nullptr) {
        content = new QWidget(this);
    }
    content->setParent(this);
    layout->addWidget(content, 1);
}

QString ToolSheet::titleFor(ActiveModal modal) {
    switch (modal) {
    case ActiveModal::apps:
        return QStringLiteral("Installed Applications & Leftovers");
    case ActiveModal::systemMonitor:
        return QStringLiteral("Real-Time System Monitor");
    case ActiveModal::shortcuts:
        return QStringLiteral("Tarnbrook Keyboard Shortcuts");
    case ActiveModal::theme:
        return QStringLiteral("Visualization Color Themes");
    case ActiveModal::cleanup:
        return QStringLiteral("Smart Cleanup");
    case ActiveModal::developer:
        return QStringLiteral("Developer Cleaner");
    case ActiveModal::largeFiles:
        return QStringLiteral("Large Files");
    case ActiveModal::duplicates:
        return QStringLiteral("Duplicate Finder");
    case ActiveModal::history:
        return QStringLiteral("Cleanup History");
    case ActiveModal::settings:
        return QStringLiteral("Settings");
    }
    return {};
}

} // namespace fernwick::ui
