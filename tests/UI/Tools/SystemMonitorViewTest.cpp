#include "FernwickUI/Tools/SystemMonitorView.h"
#include "FernwickUI/Kit/MetricBar.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Tools/ProcessFacts.h"
#include "tests/UI/State/AppStateHarness.h"

#include <QLabel>
#include <QSysInfo>
#include <QTimer>

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
};

QTEST_MAIN(SystemMonitorViewTest)
#include "SystemMonitorViewTest.moc"
