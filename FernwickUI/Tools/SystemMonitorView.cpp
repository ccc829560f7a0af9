#include "FernwickUI/Tools/SystemMonitorView.h"

#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Kit/MetricBar.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/ProcessFacts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSysInfo>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace fernwick::ui {

namespace {

CardFrame* makeCard(QWidget* parent, int spacing) {
    auto* card = new CardFrame(12, 18, parent);
    card->column()->setSpacing(spacing);
    // The grid shares its width out by the columns' equal stretch alone, whatever the cards'
    // texts would like: the two columns stay equal halves at every width.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    card->setSizePolicy(policy);
    return card;
}

QHBoxLayout* titleRow(CardFrame* card, const std::string& icon, const QString& title) {
    auto* row = new QHBoxLayout;
    auto* label = new QHBoxLayout;
    label->setSpacing(6);
    label->addWidget(new IconView(icon, 13, Qt::white, card));
    label->addWidget(makeLabel(title, headline(), Qt::white, card));
    row->addLayout(label);
    row->addStretch(1);
    card->column()->addLayout(row);
    return row;
}

QLabel* lastLine(CardFrame* card, const QString& text) {
    QLabel* line = makeLabel(text, uiFont(11), FernwickTheme::textMuted(), card);
    line->setWordWrap(true);
    card->column()->addWidget(line);
    return line;
}

QString text(const std::string& value) {
    return plainText(value);
}

} // namespace

SystemMonitorView::SystemMonitorView(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);
    auto* page = new QWidget;
    setBackground(page, FernwickTheme::appBackground());
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);

    auto* header = new QVBoxLayout;
    header->setSpacing(4);
    header->addWidget(makeLabel(QStringLiteral("System Monitor"), title2(), Qt::white, page));
    header->addWidget(makeLabel(QStringLiteral("Real-time telemetry and resource usage read "
                                               "directly from the Linux kernel."),
                                subheadline(), FernwickTheme::textSecondary(), page));
    column->addLayout(header);

    auto* grid = new QGridLayout;
    grid->setSpacing(16);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    CardFrame* cpu = makeCard(page, 14);
    m_cpuFigure = makeLabel(QString(), uiFont(20, QFont::Bold), FernwickTheme::accentCyan(), cpu);
    titleRow(cpu, "cpu", QStringLiteral("CPU Activity"))->addWidget(m_cpuFigure);
    m_cpuBar = new MetricBar(FernwickTheme::accentCyan(), cpu);
    cpu->column()->addWidget(m_cpuBar);
    lastLine(cpu, QStringLiteral("Multi-core aggregate load across all cores."));

    CardFrame* memory = makeCard(page, 14);
    m_memoryFigure =
        makeLabel(QString(), uiFont(14, QFont::Bold), FernwickTheme::developerGreen(), memory);
    titleRow(memory, "memorychip", QStringLiteral("Memory (RAM)"))->addWidget(m_memoryFigure);
    m_memoryBar = new MetricBar(FernwickTheme::developerGreen(), memory);
    memory->column()->addWidget(m_memoryBar);
    // The figure is MemTotal less MemAvailable: what the kernel could free at once is not in it.
    lastLine(memory, QStringLiteral("Includes memory used by applications and the kernel; caches "
                                    "the kernel can free at once are not counted."));

    CardFrame* disk = makeCard(page, 14);
    m_diskFigure =
        makeLabel(QString(), uiFont(14, QFont::Bold), FernwickTheme::warningAmber(), disk);
    titleRow(disk, "internaldrive", QStringLiteral("System Disk"))->addWidget(m_diskFigure);
    m_diskBar = new MetricBar(FernwickTheme::warningAmber(), disk);
    disk->column()->addWidget(m_diskBar);
    auto* diskLine = new QHBoxLayout;
    m_diskTotal = makeLabel(QString(), uiFont(11), FernwickTheme::textSecondary(), disk);
    m_diskUsed = makeLabel(QString(), uiFont(11), FernwickTheme::textSecondary(), disk);
    diskLine->addWidget(m_diskTotal);
    diskLine->addStretch(1);
    diskLine->addWidget(m_diskUsed);
    disk->column()->addLayout(diskLine);

    CardFrame* facts = makeCard(page, 12);
    titleRow(facts, "macbook", QStringLiteral("System Architecture"));
    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    const auto addFact = [&](const QString& name, const QString& value, const QColor& colour) {
        auto* row = new QHBoxLayout;
        row->addWidget(makeLabel(name, uiFont(11), FernwickTheme::textSecondary(), facts));
        row->addStretch(1);
        QLabel* label = makeLabel(value, uiFont(11, QFont::Bold), colour, facts);
        row->addWidget(label);
        rows->addLayout(row);
        return label;
    };
    // Read afresh with every sample (refresh): a container's or a cgroup's share of the
    // processors may change while the monitor is open.
    m_system = addFact(QStringLiteral("OS Version"), QString(), Qt::white);
    m_processors = addFact(QStringLiteral("Processor Count"), QString(), Qt::white);
    m_architecture = addFact(QStringLiteral("Binary Architecture"),
                             QSysInfo::currentCpuArchitecture(), FernwickTheme::developerGreen());
    facts->column()->addLayout(rows);

    // Each card keeps the height of its own content, centred in its row.
    const std::array<CardFrame*, 4> cards{cpu, memory, disk, facts};
    for (std::size_t i = 0; i < cards.size(); ++i) {
        grid->addWidget(cards[i], static_cast<int>(i / 2), static_cast<int>(i % 2),
                        Qt::AlignVCenter);
    }
    column->addLayout(grid);
    column->addStretch(1);
    scroll->setWidget(page);

    connect(&m_state, &AppState::systemMetricsChanged, this, &SystemMonitorView::refresh);
    refresh();
}

void SystemMonitorView::refresh() {
    const SystemMetrics& metrics = m_state.systemMetrics();
    const double cpu = metrics.cpuUsagePercent;
    m_cpuFigure->setText(QString::asprintf("%.1f%%", cpu));
    setLabelColour(m_cpuFigure,
                   cpu > 80.0 ? FernwickTheme::dangerRed() : FernwickTheme::accentCyan());
    m_cpuBar->setFraction(cpu / 100);
    m_memoryFigure->setText(text(metrics.formattedMemoryUsed()) + QStringLiteral(" / ") +
                            text(metrics.formattedMemoryTotal()));
    m_memoryBar->setFraction(
        static_cast<double>(metrics.memoryUsedBytes) /
        static_cast<double>(std::max<std::uint64_t>(metrics.memoryTotalBytes, 1)));
    m_diskFigure->setText(text(metrics.formattedDiskFree()) + QStringLiteral(" Free"));
    m_diskBar->setFraction(metrics.diskUsedPercent / 100);
    m_diskTotal->setText(QStringLiteral("Total: ") + text(metrics.formattedDiskTotal()));
    m_diskUsed->setText(QStringLiteral("Used: ") + text(metrics.formattedDiskUsed()));
    m_system->setText(QString::fromStdString(ProcessFacts::operatingSystemVersion()));
    m_processors->setText(QString::number(ProcessFacts::activeProcessorCount()) +
                          QStringLiteral(" Cores"));
}

} // namespace fernwick::ui
