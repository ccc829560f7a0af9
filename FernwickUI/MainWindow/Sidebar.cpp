#include "FernwickUI/MainWindow/Sidebar.h"

#include "FernwickCore/Engines/UpdateChecker.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/Spinner.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/MainWindow/DiskGauge.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

namespace fernwick::ui {

namespace {

QLabel* sectionHeader(const QString& text) {
    QFont font = uiFont(10, QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    return makeLabel(text, font, whiteAt(0.4));
}

QHBoxLayout* row(int spacing) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

Sidebar::Sidebar(AppState& state, SidebarActions actions, QWidget* parent)
    : QScrollArea(parent), m_state(state), m_actions(std::move(actions)) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setFixedWidth(250);
    // Tab goes through the column's controls, never stops at the area around them.
    setFocusPolicy(Qt::NoFocus);
    setBackground(this, Palette::chromeBackground());
    viewport()->setAutoFillBackground(false);

    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("sidebarColumn"));
    column->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    layout->addWidget(buildScanBlock());
    layout->addWidget(makeDivider(Qt::Horizontal));
    layout->addWidget(buildDiskSection());
    layout->addWidget(makeDivider(Qt::Horizontal));
    layout->addWidget(buildTrashSection());
    layout->addWidget(makeDivider(Qt::Horizontal));
    layout->addWidget(buildToolsSection());
    layout->addWidget(makeDivider(Qt::Horizontal));
    layout->addWidget(buildFileTypesSection());
    layout->addSpacing(20 - 14);
    layout->addStretch(1);
    auto* footer =
        makeLabel(QStringLiteral("Tarnbrook Ridar v") + plainText(UpdateChecker::currentVersion()),
                  uiFont(10), whiteAt(0.3));
    footer->setAlignment(Qt::AlignCenter);
    footer->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(footer);
    setWidget(column);

    connect(&m_state, &AppState::systemMetricsChanged, this, &Sidebar::updateDisk);
    connect(&m_state, &AppState::trashItemCountChanged, this, &Sidebar::updateTrash);
    connect(&m_state, &AppState::isTrashEmptyingChanged, this, &Sidebar::updateTrash);
    connect(&m_state, &AppState::cleanupPlanChanged, this, &Sidebar::updateBadges);
    connect(&m_state, &AppState::developerItemsChanged, this, &Sidebar::updateBadges);
    connect(&m_state, &AppState::largeFilesChanged, this, &Sidebar::updateBadges);
    updateDisk();
    updateTrash();
    updateBadges();
}

QWidget* Sidebar::buildScanBlock() {
    auto* block = new QWidget;
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    ButtonLook primary;
    primary.icon = "internaldrive.fill";
    primary.iconSize = 12;
    primary.font = uiFont(12, QFont::DemiBold);
    primary.paddingH = 12;
    primary.paddingV = 8;
    primary.background = Palette::scanButtonBlue();
    primary.cornerRadius = 7;
    primary.shadow = withOpacity(Palette::systemBlue(), 0.3);
    primary.shadowRadius = 4;
    primary.shadowOffsetY = 2;
    primary.fillWidth = true;
    auto* full = new StyledButton(QStringLiteral("Scan Full Disk"), primary, block);
    connect(full, &QAbstractButton::clicked, this,
            [this] { m_state.startScan(std::filesystem::path("/")); });

    ButtonLook secondary;
    secondary.iconSize = 12;
    secondary.iconColour = whiteAt(0.7);
    secondary.font = uiFont(12, QFont::Medium);
    secondary.paddingH = 12;
    secondary.paddingV = 7;
    secondary.background = whiteAt(0.05);
    secondary.cornerRadius = 7;
    secondary.outline = whiteAt(0.12);
    secondary.fillWidth = true;
    secondary.icon = "house.fill";
    auto* home = new StyledButton(QStringLiteral("Scan Home"), secondary, block);
    connect(home, &QAbstractButton::clicked, this, [this] { m_state.startScan(m_actions.home); });
    secondary.icon = "folder.fill";
    auto* choose = new StyledButton(QStringLiteral("Choose Folder"), secondary, block);
    connect(choose, &QAbstractButton::clicked, this, [this] {
        if (m_actions.chooseFolderAndScan) {
            m_actions.chooseFolderAndScan();
        }
    });
    layout->addWidget(full);
    layout->addWidget(home);
    layout->addWidget(choose);
    return block;
}

QWidget* Sidebar::buildDiskSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(sectionHeader(QStringLiteral("DISK STORAGE")));

    auto* gaugeRow = row(14);
    m_gauge = new DiskGauge(section);
    gaugeRow->addWidget(m_gauge);
    auto* figures = new QVBoxLayout;
    figures->setSpacing(4);
    const auto figure = [&](const QString& title, const QFont& font, const QColor& colour) {
        auto* line = row(8);
        auto* label = makeLabel(title, uiFont(11), whiteAt(0.4));
        label->setFixedWidth(50);
        line->addWidget(label);
        auto* value = makeLabel(QString(), font, colour);
        line->addWidget(value, 1);
        figures->addLayout(line);
        return value;
    };
    m_totalValue = figure(QStringLiteral("Total"), uiFont(11, QFont::Bold), Qt::white);
    m_usedValue = figure(QStringLiteral("Used"), uiFont(11, QFont::DemiBold), Palette::sizeGreen());
    m_freeValue =
        figure(QStringLiteral("Available"), uiFont(11, QFont::DemiBold), Palette::sizeGreen());
    gaugeRow->addLayout(figures, 1);
    layout->addLayout(gaugeRow);
    m_usageBar = new UsageBar(section);
    layout->addWidget(m_usageBar);
    return section;
}

QWidget* Sidebar::buildTrashSection() {
    auto* section = new QWidget;
    auto* layout = row(8);
    section->setLayout(layout);
    layout->addWidget(new IconView("trash", 12, whiteAt(0.7), section));
    layout->addWidget(makeLabel(QStringLiteral("Trash"), uiFont(12), whiteAt(0.85), section));
    m_trashCount =
        makeLabel(QString(), uiFont(11, QFont::Medium), Palette::trashCountAmber(), section);
    layout->addWidget(m_trashCount);
    layout->addStretch(1);

    // The padding of the small bordered button keeps the text off the outline.
    ButtonLook empty = buttonLook(ButtonStyle::bordered, uiFont(10, QFont::Medium), whiteAt(0.7),
                                  ControlSize::small);
    empty.background = whiteAt(0.06);
    empty.cornerRadius = 4;
    empty.outline = whiteAt(0.12);
    empty.outlineWidth = 0.8;
    m_emptyButton = new StyledButton(QStringLiteral("Empty"), empty, section);
    m_emptySpinner = new Spinner(16, m_emptyButton);
    m_emptySpinner->hide();
    connect(m_emptyButton, &QAbstractButton::clicked, this, [this] {
        if (m_actions.askToEmptyTrash) {
            m_actions.askToEmptyTrash();
        }
    });
    layout->addWidget(m_emptyButton);
    return section;
}

QWidget* Sidebar::buildToolsSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* header = sectionHeader(QStringLiteral("CLEAN UP"));
    header->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(header);

    ButtonLook look;
    look.iconSize = 12;
    look.iconColour = whiteAt(0.65);
    look.iconFrameWidth = 16;
    look.font = uiFont(12);
    look.textColour = whiteAt(0.88);
    look.badgeFont = uiFont(10, QFont::DemiBold, FontDesign::monospaced);
    look.badgeColour = Palette::sizeGreen();
    look.spacing = 8;
    look.paddingH = 6;
    look.paddingV = 5;
    look.fillWidth = true;
    const auto toolRow = [&](const QString& title, const char* icon, ActiveModal tool) {
        ButtonLook rowLook = look;
        rowLook.icon = icon;
        auto* button = new StyledButton(title, rowLook, section);
        connect(button, &QAbstractButton::clicked, this, [this, tool] { m_state.openTool(tool); });
        layout->addWidget(button);
        return button;
    };
    m_cleanupRow = toolRow(QStringLiteral("Smart Cleanup"), "sparkles", ActiveModal::cleanup);
    m_developerRow =
        toolRow(QStringLiteral("Developer Cleaner"), "hammer.fill", ActiveModal::developer);
    m_largeFilesRow =
        toolRow(QStringLiteral("Large Files"), "doc.badge.arrow.up", ActiveModal::largeFiles);
    toolRow(QStringLiteral("Duplicate Finder"), "doc.on.doc.fill", ActiveModal::duplicates);
    toolRow(QStringLiteral("App Uninstaller"), "app.badge.checkmark", ActiveModal::apps);
    toolRow(QStringLiteral("Cleanup History"), "clock.arrow.circlepath", ActiveModal::history);
    toolRow(QStringLiteral("Settings"), "gearshape.fill", ActiveModal::settings);
    return section;
}

QWidget* Sidebar::buildFileTypesSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(9);
    layout->addWidget(sectionHeader(QStringLiteral("FILE TYPES")));
    auto* columns = row(20);
    columns->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const auto column = [&](std::initializer_list<std::pair<const char*, QColor>> entries) {
        auto* stack = new QVBoxLayout;
        stack->setSpacing(8);
        for (const auto& [title, colour] : entries) {
            auto* dotRow = row(6);
            // A 7-point dot: a rounded bar whose radius is half its side.
            dotRow->addWidget(makeRoundedBar(QSize(7, 7), colour, 3.5, section));
            dotRow->addWidget(makeLabel(QString::fromUtf8(title), uiFont(11), whiteAt(0.7)));
            stack->addLayout(dotRow);
        }
        columns->addLayout(stack);
    };
    column({{"Video", Palette::legendVideo()},
            {"Doc", Palette::legendDocument()},
            {"Archive", Palette::legendArchive()}});
    column({{"Image", Palette::legendImage()},
            {"Dev", Palette::legendDeveloper()},
            {"Other", Palette::legendOther()}});
    columns->addStretch(1);
    layout->addLayout(columns);
    return section;
}

double Sidebar::usedFraction(double usedPercent) {
    const double fraction = usedPercent / 100;
    if (!(fraction > 0)) {
        return 0;
    }
    return std::min(fraction, 1.0);
}

QString Sidebar::usedPercentText(double usedPercent) {
    // std::llround rounds halves away from zero.
    return QString::number(std::llround(usedPercent)) + QLatin1Char('%');
}

void Sidebar::updateDisk() {
    const SystemMetrics& metrics = m_state.systemMetrics();
    const bool known = metrics.diskTotalBytes >= 1;
    const QString unknown = QStringLiteral("--");
    m_totalValue->setText(known ? plainText(metrics.formattedDiskTotal()) : unknown);
    m_usedValue->setText(known ? plainText(metrics.formattedDiskUsed()) : unknown);
    m_freeValue->setText(known ? plainText(metrics.formattedDiskFree()) : unknown);
    const double fraction = usedFraction(metrics.diskUsedPercent);
    m_gauge->setValues(fraction, usedPercentText(metrics.diskUsedPercent));
    m_usageBar->setFraction(fraction);
}

void Sidebar::updateTrash() {
    m_trashCount->setText(QStringLiteral("%1 items").arg(m_state.trashItemCount()));
    const bool emptying = m_state.isTrashEmptying();
    m_emptyButton->setLabel(emptying ? QString() : QStringLiteral("Empty"));
    if (emptying) {
        m_emptyButton->setFixedSize(38, 18);
        m_emptySpinner->setGeometry(11, 1, 16, 16);
    } else {
        m_emptyButton->setMinimumSize(0, 0);
        m_emptyButton->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    m_emptySpinner->setVisible(emptying);
}

void Sidebar::updateBadges() {
    const auto setBadge = [](StyledButton* button, QString badge) {
        ButtonLook look = button->look();
        if (look.badge != badge) {
            look.badge = std::move(badge);
            button->setLook(std::move(look));
        }
    };
    const CleanupPlan& plan = m_state.cleanupPlan();
    setBadge(m_cleanupRow, plan.totalSelectedSize() >= 1
                               ? plainText(plan.formattedTotalSelectedSize())
                               : QString());
    std::int64_t developerTotal = 0;
    for (const auto& item : m_state.developerItems()) {
        developerTotal = saturatingAdd(developerTotal, item.size);
    }
    setBadge(m_developerRow,
             developerTotal >= 1 ? plainText(DiskNode::formatBytes(developerTotal)) : QString());
    const auto largeFileCount = static_cast<qlonglong>(m_state.largeFiles().size());
    setBadge(m_largeFilesRow, largeFileCount >= 1 ? QString::number(largeFileCount) : QString());
}

} // namespace fernwick::ui
