#include "FernwickUI/Tools/SystemMonitorView.h"
#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Kit/MetricBar.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Tools/ProcessFacts.h"
#include "tests/UI/State/AppStateHarness.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSysInfo>
#include <QTimer>

#include <sched.h>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::Harness;

class SystemMonitorViewTest : public QObject {
    Q_OBJECT

    static QColor colour(QLabel* label) { return label->palette().color(QPalette::WindowText); }

private slots:
    void cpuFigureTurnsRedAboveEightyAndUpdatesLive() {
        Harness h;
        auto state = h.make();
        SystemMonitorView view(*state);
        QVERIFY(view.findChildren<QTimer*>().isEmpty());
        const std::vector<std::tuple<double, QString, QColor>> cases{
            {80.0, QStringLiteral("80.0%"), FernwickTheme::accentCyan()},
            {80.06, QStringLiteral("80.1%"), FernwickTheme::dangerRed()},
            // 80.05 is 80.0499… as a double: it prints as 80.0 but lies above 80.
            {80.05, QStringLiteral("80.0%"), FernwickTheme::dangerRed()}};
        for (const auto& [cpu, text, expected] : cases) {
            SystemMetrics metrics;
            metrics.cpuUsagePercent = cpu;
            state->setSystemMetrics(metrics);
            QCOMPARE(view.cpuFigure()->text(), text);
            QCOMPARE(colour(view.cpuFigure()), expected);
        }
    }

    void fitsTheModalWithEqualColumnsAndCardsOfTheirOwnHeight() {
        Harness h;
        auto state = h.make();
        MainWindow window(*state);
        window.resize(1300, 820);
        window.show();
        state->setActiveModal(ActiveModal::systemMonitor);
        QCoreApplication::processEvents();
        QWidget* sheet = window.sheet();
        QVERIFY(sheet != nullptr);
        for (const QSize size : {QSize(750, 520), QSize(1000, 700)}) {
            sheet->resize(size);
            QCoreApplication::processEvents();
            auto* view = sheet->findChild<SystemMonitorView*>();
            // Everything fits: no empty scroll bar at the edge.
            auto* scroll = view->findChild<QScrollArea*>();
            QVERIFY(!scroll->verticalScrollBar()->isVisible());
            // Processor, memory, disk and machine, in reading order.
            const auto cards = view->findChildren<CardFrame*>();
            QCOMPARE(cards.size(), 4);
            for (std::size_t row = 0; row < 2; ++row) {
                CardFrame* left = cards[static_cast<qsizetype>(2 * row)];
                CardFrame* right = cards[static_cast<qsizetype>(2 * row + 1)];
                QVERIFY2(std::abs(left->width() - right->width()) <= 1,
                         qPrintable(QStringLiteral("%1 / %2 at %3")
                                        .arg(left->width())
                                        .arg(right->width())
                                        .arg(size.width())));
                // Each as high as its content, centred against its neighbour.
                for (CardFrame* card : {left, right}) {
                    QCOMPARE(card->height(), card->hasHeightForWidth()
                                                 ? card->heightForWidth(card->width())
                                                 : card->sizeHint().height());
                }
                QVERIFY(std::abs(left->geometry().center().y() - right->geometry().center().y()) <=
                        1);
            }
        }
        // This platform's words.
        QStringList texts;
        for (QLabel* label : sheet->findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY(texts.contains(QStringLiteral("Multi-core aggregate load across all cores.")));
        QVERIFY(texts.contains(QStringLiteral("Memory (RAM)")));
        QVERIFY(texts.contains(QStringLiteral("Includes memory used by applications and the "
                                              "kernel; caches the kernel can free at once are not "
                                              "counted.")));
    }

    void barsStayInsideTheirTracksAndFactsAreThisMachines() {
        Harness h;
        auto state = h.make();
        SystemMonitorView view(*state);
        view.resize(900, 700);
        view.show();
        QCoreApplication::processEvents();
        SystemMetrics metrics;
        state->setSystemMetrics(metrics);
        QCOMPARE(view.memoryBar()->fillWidth(), 0.0);
        QVERIFY(view.memoryBar()->width() > 0);
        metrics.memoryUsedBytes = 5; // total 0
        metrics.cpuUsagePercent = 250;
        metrics.diskFreeBytes = 300'000'000'000;
        metrics.diskTotalBytes = 1'000'000'000'000;
        metrics.diskUsedBytes = 700'000'000'000;
        metrics.diskUsedPercent = 70;
        state->setSystemMetrics(metrics);
        QCOMPARE(view.memoryBar()->fillWidth(), double(view.memoryBar()->width()));
        QCOMPARE(view.cpuBar()->fillWidth(), double(view.cpuBar()->width()));
        QCOMPARE(view.diskFigure()->text(),
                 QString::fromStdString(metrics.formattedDiskFree()) + QStringLiteral(" Free"));
        QCOMPARE(view.diskFigure()->text(), QStringLiteral("300 GB Free"));
        QCOMPARE(view.diskTotal()->text(), QStringLiteral("Total: 1 TB"));
        QCOMPARE(view.diskUsed()->text(), QStringLiteral("Used: 700 GB"));
        QCOMPARE(view.processorCount()->text(),
                 QString::number(ProcessFacts::activeProcessorCount()) + QStringLiteral(" Cores"));
        QCOMPARE(view.operatingSystem()->text(),
                 QString::fromStdString(ProcessFacts::operatingSystemVersion()));
        QCOMPARE(view.architecture()->text(), QSysInfo::currentCpuArchitecture());
        QVERIFY(view.architecture()->text() != QStringLiteral("Apple Silicon (arm64)"));
    }

    // The machine's facts are read again with every sample: limited to one processor while the
    // monitor is open, the process shows that count at the next sample.
    void machineFactsAreReadWithEverySample() {
        cpu_set_t all;
        QCOMPARE(sched_getaffinity(0, sizeof all, &all), 0);
        Harness h;
        auto state = h.make();
        SystemMonitorView view(*state);
        QCOMPARE(view.processorCount()->text(), QString::number(CPU_COUNT(&all)) + " Cores");
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        QCOMPARE(sched_setaffinity(0, sizeof one, &one), 0);
        state->setSystemMetrics(SystemMetrics{});
        const QString limited = view.processorCount()->text();
        sched_setaffinity(0, sizeof all, &all);
        QCOMPARE(limited, QStringLiteral("1 Cores"));
        QCOMPARE(view.operatingSystem()->text(), QSysInfo::prettyProductName());
    }
};

QTEST_MAIN(SystemMonitorViewTest)
#include "SystemMonitorViewTest.moc"
