#include "FernwickUI/MainWindow/ShortcutsModal.h"

#include "FernwickUI/Kit/KeyChip.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/State/ActiveModal.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace fernwick::ui {

std::vector<std::pair<QString, QString>> ShortcutsModal::shortcuts() {
    return {
        {QStringLiteral("Scan Home Folder"), shortcutText(QKeySequence(Qt::CTRL | Qt::Key_S))},
        {QStringLiteral("Choose Folder to Scan"), shortcutText(QKeySequence(Qt::CTRL | Qt::Key_O))},
        {QStringLiteral("Search Files & Folders"),
         shortcutText(QKeySequence(Qt::CTRL | Qt::Key_F))},
        {QStringLiteral("Empty Trash"),
         shortcutText(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backspace))},
        {QStringLiteral("Show in File Manager"), shortcutText(QKeySequence(Qt::CTRL | Qt::Key_R))},
    };
}

ShortcutsModal::ShortcutsModal(QWidget* parent) : QDialog(parent) {
    setWindowTitle(modalTitle(ActiveModal::shortcuts));
    setFixedSize(440, 340);
    setBackground(this, Palette::shortcutsBackground());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->addWidget(makeLabel(modalTitle(ActiveModal::shortcuts), headline(), Qt::white, this));
    header->addStretch(1);
    auto* close = new StyledButton(QStringLiteral("Close"), ButtonStyle::bordered, QColor(),
                                   ControlSize::regular, this);
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    header->addWidget(close);
    column->addLayout(header);
    column->addWidget(makeDivider(Qt::Horizontal, this, 0.1));

    ButtonLook chip;
    chip.font = uiFont(12, QFont::DemiBold, FontDesign::monospaced);
    chip.textColour = Qt::white;
    chip.paddingH = 8;
    chip.paddingV = 3;
    chip.background = whiteAt(0.08);
    chip.cornerRadius = 4;
    chip.outline = whiteAt(0.15);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(12);
    for (const auto& [title, keys] : shortcuts()) {
        auto* row = new QWidget(this);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->addWidget(makeLabel(title, uiFont(13), whiteAt(0.8), row));
        line->addStretch(1);
        line->addWidget(makeKeyChip(keys, chip, row));
        rows->addWidget(row);
        m_rows.push_back(row);
    }
    column->addLayout(rows);
    column->addStretch(1);
}

} // namespace fernwick::ui
