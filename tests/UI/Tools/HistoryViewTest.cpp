#include "FernwickUI/Tools/HistoryView.h"
#include "FernwickUI/Kit/PaintedCardList.h"
#include "tests/UI/Tools/ToolsHarness.h"

#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QScrollBar>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::findButton;
using fernwick::test::row;
using fernwick::test::ToolsHarness;

namespace {

CleanupAuditEntry entry(const std::filesystem::path& url, std::int64_t bytes, bool dryRun,
                        std::string status) {
    CleanupAuditEntry e;
    e.id = Uuid::random();
    e.originalURL = url;
    e.reclaimedBytes = bytes;
    e.wasDryRun = dryRun;
    e.status = std::move(status);
    return e;
}

} // namespace

class HistoryViewTest : public QObject {
    Q_OBJECT

private slots:
    void aFreshStartShowsBothEmptyTexts() {
        ToolsHarness w(false);
        w.open();
        w.openSheet(ActiveModal::history);
        auto* view = w.screen<HistoryView>();
        QVERIFY(view != nullptr);
        QVERIFY(view->auditEmptyLabel()->isVisibleTo(view));
        QCOMPARE(view->auditEmptyLabel()->text(),
                 QStringLiteral("No cleanups performed yet in this session."));
        QVERIFY(view->timelineEmptyLabel()->isVisibleTo(view));
        QCOMPARE(view->timelineEmptyLabel()->text(),
                 QStringLiteral("Snapshots are automatically recorded after each complete disk "
                                "scan."));
        QVERIFY(!view->auditList()->isVisibleTo(view));
    }

    void rowsLoadAuditFirstAndClearKeepsTheAudit() {
        ToolsHarness w(false);
        const std::vector<CleanupAuditEntry> log{
            entry("/home/u/.cache/thumbs", 7000, true, "Dry Run Verified (Passed Safety Check)"),
            entry("/home/u/Downloads/<b>setup<b>.run", 2500, false, "Successfully moved to Trash")};
        w.h.services.getAuditHistory = [&] {
            w.h.logLoad("audit");
            return log;
        };
        // Two snapshots an hour apart: 2026-03-04 09:05 and 10:05 UTC.
        w.h.clock->set(TimePoint(std::chrono::seconds(1772615100)));
        w.h.history->recordSnapshot(700, 300, {});
        w.h.clock->advance(std::chrono::hours(1));
        w.h.history->recordSnapshot(800, 200, {});
        w.open();
        w.openSheet(ActiveModal::history);
        auto* view = w.screen<HistoryView>();
        // The screen loads the audit log, then the timeline (openTool adds an audit load too).
        const auto loads = w.h.loadLog();
        const auto snapshots = std::find(loads.begin(), loads.end(), "snapshots");
        QVERIFY(snapshots != loads.begin() && snapshots != loads.end());
        QCOMPARE(*(snapshots - 1), std::string("audit"));
        QCOMPARE(std::count(loads.begin(), loads.end(), "snapshots"), 1);

        PaintedCardList* audit = view->auditList();
        QCOMPARE(audit->rowCount(), 2);
        QCOMPARE(row(audit, 0), (QStringList{"thumbs", "/home/u/.cache/thumbs", "7 KB",
                                             "Dry Run Verified (Passed Safety Check)"}));
        QCOMPARE(row(audit, 1), (QStringList{"<b>setup<b>.run", "/home/u/Downloads/<b>setup<b>.run",
                                             "2 KB", "Successfully moved to Trash"}));
        QCOMPARE(view->auditIconName(0), QStringLiteral("play.badge.checkmark"));
        QCOMPARE(view->auditIconName(1), QStringLiteral("trash.fill"));

        PaintedCardList* timeline = view->timelineList();
        QCOMPARE(timeline->rowCount(), 2);
        QCOMPARE(row(timeline, 0),
                 (QStringList{"Mar 4, 2026, 10:05 AM", "Used: 800 bytes \u2022 Free: 200 bytes"}));
        QCOMPARE(row(timeline, 1)[1], QStringLiteral("Used: 700 bytes \u2022 Free: 300 bytes"));

        const std::size_t before = w.h.loadLog().size();
        click(findButton(view, QStringLiteral("Clear History")));
        w.h.settle();
        QVERIFY(w.confirmation() == nullptr);
        QVERIFY(view->timelineEmptyLabel()->isVisibleTo(view));
        QVERIFY(!std::filesystem::exists(w.h.history->fileURL()));
        QCOMPARE(audit->rowCount(), 2);
        QVERIFY(audit->isVisibleTo(view));
        QCOMPARE(w.h.loadLog().size(), before);

        // Closing and opening again loads both once more.
        click(findButton(w.window->toolSheet(), QStringLiteral("Done")));
        w.h.settle();
        w.openSheet(ActiveModal::history);
        const auto again = w.h.loadLog();
        QCOMPARE(std::count(again.begin(), again.end(), "snapshots"), 2);
        QVERIFY(std::count(again.begin(), again.end(), "audit") >= 3);
    }

    // Two entries fit: no scroll bar. A long name wraps whole and its card grows; the path
    // keeps to one line, cut in its middle.
    void twoEntriesShowWithoutAScrollBarAndALongNameWraps() {
        ToolsHarness w(false);
        const std::string name = "Holiday recording from the summer trip to the northern coast, "
                                 "uncut, with every evening by the water, the harbour at dawn, "
                                 "the long walk over the dunes and the boat back home.mov";
        const std::string folder = "/home/u/" + std::string(300, 'f');
        const std::vector<CleanupAuditEntry> log{
            entry(folder + "/" + name, 7000, false, "Successfully moved to Trash"),
            entry(folder + "/short.mov", 2500, false, "Successfully moved to Trash")};
        w.h.services.getAuditHistory = [&] { return log; };
        w.open();
        w.openSheet(ActiveModal::history);
        auto* view = w.screen<HistoryView>();
        QVERIFY(!view->verticalScrollBar()->isVisible());
        PaintedCardList* audit = view->auditList();
        QVERIFY(audit->cardRect(0).height() > audit->cardRect(1).height());
        const QString painted = fernwick::test::paintedTexts(audit);
        QVERIFY2(painted.contains(QString::fromStdString(name)), qPrintable(painted));
        QVERIFY2(
            painted.contains(QRegularExpression(QStringLiteral("/home/u/f+\u2026f+/short\\.mov"))),
            qPrintable(painted));
    }

    void datesAreShortenedToTheMinuteInEveryLocale() {
        // 2026-03-04 09:05:29 UTC.
        const TimePoint at(std::chrono::seconds(1772615129));
        QCOMPARE(HistoryView::dateText(at), QStringLiteral("Mar 4, 2026, 9:05 AM"));
        QLocale::setDefault(QLocale::c());
        const QString plain = HistoryView::dateText(at);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(plain, QStringLiteral("Mar 4, 2026, 09:05"));
    }
};

int main(int argc, char** argv) {
    // The date text is pinned for one locale and one time zone.
    qputenv("TZ", "UTC");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    HistoryViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HistoryViewTest.moc"
