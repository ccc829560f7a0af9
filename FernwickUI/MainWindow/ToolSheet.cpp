#include "FernwickUI/MainWindow/ToolSheet.h"

#include "FernwickUI/MainWindow/PlainLabel.h"
#include "FernwickUI/MainWindow/StyledButton.h"
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
    setBackground(this, srgb(0.05, 0.05, 0.07));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* header = new QWidget(this);
    setBackground(header, srgb(0.1, 0.1, 0.12));
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(16, 16, 16, 16);
    // The headline text style: 13 points, semibold.
    headerRow->addWidget(makeLabel(title, uiFont(13, QFont::DemiBold), Qt::white, header));
    headerRow->addStretch(1);
    ButtonLook done = borderedProminentLook(uiFont(13), srgb(0.0, 0.48, 1.0));
    done.paddingH = 10;
    done.paddingV = 4;
    auto* doneButton = new StyledButton(QStringLiteral("Done"), done, header);
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
