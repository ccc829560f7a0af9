#include "FernwickUI/MainWindow/SearchResultsView.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/Style/Palette.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::findButton;
using fernwick::test::makeNode;
using fernwick::test::WindowHarness;
using Content = MainWindow::Content;

class SearchResultsViewTest : public QObject {
    Q_OBJECT

    // /m/matchroot holding `files` files "match-<i>", a folder "folder" with one file, an
    // empty folder "empty" and the file "<b>x<b> & y".
    static DiskNodePtr tree(int files) {
        const std::filesystem::path root = "/m/matchroot";
        std::vector<DiskNodePtr> children;
        for (int i = 0; i < files; ++i) {
            children.push_back(makeNode(root / ("match-" + std::to_string(i)), false, 10));
        }
        children.push_back(makeNode(root / "folder", true, 0, StorageCategory::other,
                                    {makeNode(root / "folder/inner.txt", false, 5)}));
        children.push_back(makeNode(root / "empty", true));
        children.push_back(makeNode(root / "<b>x<b> & y", false, 3));
        return makeNode(root, true, 0, StorageCategory::other, std::move(children));
    }

    static void search(WindowHarness& w, const std::string& text) {
        w.state->setSearchText(text);
        w.h.settle();
    }

private slots:
    void titleKeepsTheSpacesAndBlankTextShowsTheScan() {
        WindowHarness w(false);
        w.open();
        SearchResultsView* view = w.window->searchResultsView();
        search(w, "anything");
        QVERIFY(view->showsEmptyState());
        QCOMPARE(view->emptyHint()->text(),
                 QStringLiteral("Run a scan on your Home folder or drive first to search files."));
        QCOMPARE(view->countLabel()->text(), QStringLiteral("0 matches"));
        w.state->setScanState(ScanState::scanning("x", 0, 0));
        search(w, " foo ");
        QCOMPARE(w.window->content(), Content::searchResults);
        QCOMPARE(view->titleLabel()->text(), QStringLiteral("Search Results for \" foo \""));
        search(w, "  \n");
        QCOMPARE(w.window->content(), Content::scanning);
        search(w, "");
        QCOMPARE(w.window->content(), Content::scanning);
    }

    void resultsAreCappedRootFirstAndShownLiterally() {
        WindowHarness w(false);
        w.open();
        w.h.publish(*w.state, tree(120));
        SearchResultsView* view = w.window->searchResultsView();
        search(w, "nomatch-anywhere");
        QCOMPARE(view->emptyHint()->text(), QStringLiteral("Try a different search query."));
        search(w, "MATCH");
        QCOMPARE(view->countLabel()->text(), QStringLiteral("50 matches"));
        QCOMPARE(view->rows().size(), std::size_t{50});
        // The root comes first; its "Drill Down" is filled with the standard blue.
        StyledButton* drill = findButton(view->rows()[0], QStringLiteral("Drill Down"));
        QVERIFY(drill != nullptr);
        QCOMPARE(drill->look().background, Palette::systemBlue());
        search(w, "match-7");
        // match-7 and match-70 … match-79.
        QCOMPARE(view->countLabel()->text(), QStringLiteral("11 matches"));
        search(w, "match-119");
        QCOMPARE(view->countLabel()->text(), QStringLiteral("1 matches"));
        QWidget* file = view->rows()[0];
        QVERIFY(findButton(file, QStringLiteral("Drill Down")) == nullptr);
        click(findButton(file, QStringLiteral("Reveal")));
        QCOMPARE(w.h.revealed, std::vector<std::filesystem::path>{"/m/matchroot/match-119"});
        search(w, "<b>x<b> &");
        QCOMPARE(view->rows().size(), std::size_t{1});
        bool literal = false;
        for (QLabel* label : view->rows()[0]->findChildren<QLabel*>()) {
            literal |= label->text() == QStringLiteral("<b>x<b> & y") &&
                       label->textFormat() == Qt::PlainText;
        }
        QVERIFY(literal);
    }

    void drillDownLeavesTheSearchThenShowsTheFolder() {
        WindowHarness w(false);
        w.open();
        const DiskNodePtr root = tree(3);
        w.h.publish(*w.state, root);
        search(w, "folder");
        SearchResultsView* view = w.window->searchResultsView();
        QCOMPARE(view->rows().size(), std::size_t{2}); // the folder and its file
        click(findButton(view->rows()[0], QStringLiteral("Drill Down")));
        w.h.settle();
        QCOMPARE(w.state->searchText(), std::string());
        QCOMPARE(w.state->currentTreemapRoot()->name(), std::string("folder"));
        QCOMPARE(w.state->treemapBreadcrumbs().back()->name(), std::string("folder"));
        QCOMPARE(w.window->content(), Content::completed);

        // A folder without children in the tree is rescanned first, five levels deep.
        auto asked = std::make_shared<std::vector<std::pair<std::filesystem::path, int>>>();
        w.h.scanBody = [asked](const std::filesystem::path& url, int depth, auto&&...) {
            asked->emplace_back(url, depth);
            return makeNode(url, true, 0, StorageCategory::other,
                            {makeNode(url / "found.txt", false, 1)});
        };
        search(w, "empty");
        click(findButton(view->rows()[0], QStringLiteral("Drill Down")));
        w.h.settle();
        QCOMPARE(asked->size(), std::size_t{1});
        QCOMPARE(asked->front().first, std::filesystem::path("/m/matchroot/empty"));
        QCOMPARE(asked->front().second, 5);
        QCOMPARE(w.state->currentTreemapRoot()->name(), std::string("empty"));
    }

    // A folder found deep in another branch is entered at its real place, from the scan root
    // and from inside another folder alike: the trail runs from the root through every folder
    // above it, and Back leads to the folder that holds it.
    void drillDownEntersAFolderAtItsRealPlace() {
        WindowHarness w(false);
        w.open();
        const std::filesystem::path home = "/m/home";
        const std::filesystem::path at = home / "Documents/Work/Clients/Quarterly Reports";
        const DiskNodePtr reports =
            makeNode(at, true, 0, StorageCategory::other, {makeNode(at / "q3.pdf", false, 40)});
        const DiskNodePtr clients =
            makeNode(at.parent_path(), true, 0, StorageCategory::other, {reports});
        const DiskNodePtr work =
            makeNode(home / "Documents/Work", true, 0, StorageCategory::other, {clients});
        const DiskNodePtr documents =
            makeNode(home / "Documents", true, 0, StorageCategory::other, {work});
        const DiskNodePtr downloads = makeNode(home / "Downloads", true, 0, StorageCategory::other,
                                               {makeNode(home / "Downloads/setup.zip", false, 20)});
        const DiskNodePtr root =
            makeNode(home, true, 0, StorageCategory::other, {documents, downloads});
        w.h.publish(*w.state, root);
        ResultCanvas* canvas = w.window->resultCanvas();
        for (const DiskNodePtr& from : {root, downloads}) {
            w.state->navigateBreadcrumb(0);
            if (from != root) {
                w.state->drillDownIntoNode(from);
            }
            search(w, "Quarterly");
            click(
                findButton(w.window->searchResultsView()->rows()[0], QStringLiteral("Drill Down")));
            w.h.settle();
            const QByteArray where = QByteArray::fromStdString("from " + from->name());
            QVERIFY2(w.state->treemapBreadcrumbs() ==
                         (std::vector<DiskNodePtr>{root, documents, work, clients, reports}),
                     where.constData());
            QStringList crumbs;
            for (StyledButton* crumb : canvas->breadcrumbButtons()) {
                crumbs.push_back(crumb->label());
            }
            QCOMPARE(crumbs,
                     (QStringList{"home", "Documents", "Work", "Clients", "Quarterly Reports"}));
            click(canvas->backButton());
            w.h.settle();
            QCOMPARE(w.state->currentTreemapRoot(), clients);
        }
    }

    // Only the query, the root and the tree search again (no layout, no monitor tick). A
    // change that leaves the shown nodes in place keeps the scroll position and still resizes
    // their rows; other results start at the top.
    void rowsFollowTheTreeAndNothingElseSearches() {
        WindowHarness w;
        for (int i = 0; i < 55; ++i) {
            w.h.tree.denseFile("fixture/Many/m" + std::to_string(i) + ".dat", 100000);
        }
        w.open();
        QVERIFY(w.scanFixture());
        search(w, "fixture");
        SearchResultsView* view = w.window->searchResultsView();
        QCOMPARE(view->rows().size(), std::size_t{50});
        QWidget* const first = view->rows()[0];
        QScrollBar* scroll = view->list()->verticalScrollBar();
        QCoreApplication::processEvents();
        QVERIFY(scroll->maximum() > 0);
        scroll->setValue(scroll->maximum());
        const std::vector<DiskNodePtr> shown = w.state->searchMatchingNodes("fixture");
        DiskNodePtr left;
        for (const auto& folder : w.state->rootNode()->children.get()) {
            for (const auto& node : folder->children.get()) {
                if (std::find(shown.begin(), shown.end(), node) == shown.end()) {
                    left = node;
                }
            }
        }
        QVERIFY(left != nullptr);
        const std::string before = w.state->rootNode()->formattedSize();

        const int queries = view->queryCount();
        w.state->computeTreemapLayout();
        w.state->setSystemMetrics({});
        w.state->setCurrentTreemapRoot(w.state->rootNode());
        w.h.settle();
        QCOMPARE(view->queryCount(), queries);
        {
            // Read meanwhile, so the change copies the nodes it touches (same ids).
            const ScanTree::View reading = w.state->scanTree().view();
            w.state->trashNode(left);
            QTRY_VERIFY(w.state->lastTrashed().has_value());
            w.h.settle();
        }
        QCOMPARE(view->queryCount(), queries + 1);
        const DiskNodePtr root = w.state->rootNode();
        QVERIFY(root->formattedSize() != before);
        QCOMPARE(scroll->value(), scroll->maximum());
        QStringList texts;
        for (QLabel* label : first->findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY2(texts.contains(QString::fromStdString(root->formattedSize())),
                 qPrintable(texts.join('|')));
        search(w, "fixture/Many");
        QCOMPARE(view->queryCount(), queries + 2);
        QCOMPARE(scroll->value(), 0);
    }
};

QTEST_MAIN(SearchResultsViewTest)
#include "SearchResultsViewTest.moc"
