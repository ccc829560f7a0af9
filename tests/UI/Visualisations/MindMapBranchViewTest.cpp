#include "FernwickUI/Visualisations/MindMapBranchView.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Visualisations/MindMapLayout.h"
#include "tests/Support/TreeBuilder.h"
#include "tests/UI/Visualisations/VisualTestSupport.h"

#include <QtTest>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::makeFile;
using fernwick::test::makeFolder;

namespace {

QPoint centre(const Rect& rect) {
    return QPointF(rect.midX(), rect.midY()).toPoint();
}

} // namespace

class MindMapBranchViewTest : public QObject {
    Q_OBJECT
private slots:
    void rootCardBesideAColumnOfBranches() {
        const auto root =
            makeFolder("/r", {makeFile("/r/a", 10), makeFolder("/r/b", {makeFile("/r/b/x", 30)}),
                              makeFile("/r/c", 20)});
        const auto layout = MindMapLayout::compute(root, 1000, 100);
        // Root 128 × 113; column of three 300-wide cards 150 high; the map 500 wide, centred.
        QCOMPARE(layout.rootCard(), (Rect{250, 20 + (150 - 113) / 2.0, 128, 113}));
        const auto& branches = layout.branches();
        QCOMPARE(branches.size(), std::size_t{3});
        QCOMPARE(branches[0].node->name(), std::string("b"));
        QCOMPARE(branches[0].connector, (Rect{418, 40, 20, 2}));
        QCOMPARE(branches[0].card, (Rect{450, 20, 300, 42}));
        QCOMPARE(branches[2].card.y, 20.0 + 2 * (42 + 12));
        QCOMPARE(layout.contentHeight(), 190.0);
        QCOMPARE(layout.contentWidth(), 799.0);

        QCOMPARE(layout.branchAt(600, 40), 0);
        QCOMPARE(layout.branchAt(425, 41), -1);  // a connector
        QCOMPARE(layout.branchAt(300, 100), -1); // the root card
        // Narrow views keep cards at least 200 wide.
        QCOMPARE(MindMapLayout::compute(root, 300, 100).branches()[0].card.width, 300.0);
        QCOMPARE(MindMapLayout::compute(root, 300, 500).branches()[0].card.width, 200.0);
    }

    void tenLargestInStableOrderFilesAndEmptyItemsIncluded() {
        std::vector<DiskNodePtr> children;
        for (int i = 0; i < 12; ++i) {
            children.push_back(makeFile("/r/f" + std::to_string(i), i < 6 ? 5 : 0));
        }
        const auto layout = MindMapLayout::compute(makeFolder("/r", children), 1000, 50);
        QCOMPARE(layout.branches().size(), std::size_t{10});
        QCOMPARE(layout.branches()[0].node->name(), std::string("f0"));
        QCOMPARE(layout.branches()[6].node->name(), std::string("f6"));
        QCOMPARE(layout.branches()[9].node->name(), std::string("f9"));

        const auto alone = MindMapLayout::compute(makeFolder("/r", {}), 1000, 50);
        QVERIFY(alone.branches().empty());
        QCOMPARE(alone.rootCard().x, (1000 - 78) / 2.0);
    }

    void emptyRootNameShowsTilde() {
        DiskNode::Fields fields;
        fields.id = Uuid::random();
        fields.url = "/";
        fields.name = std::string();
        fields.isDirectory = true;
        MindMapBranchView view;
        view.setRoot(DiskNode::make(std::move(fields)));
        QCOMPARE(view.rootTitle(), QString("~"));
    }

    void paintsConnectorsAndCards() {
        MindMapBranchView view;
        view.resize(1000, 300);
        view.setRoot(makeFolder("/r", {makeFile("/r/a", 10, StorageCategory::audio)}));
        const QImage image = fernwick::test::render(view);
        const auto& branch = view.layout().branches()[0];
        const QColor audio = FernwickTheme::color(StorageCategory::audio);
        QVERIFY(fernwick::test::near(
            image.pixelColor(int(branch.connector.midX()), int(branch.connector.y + 1)),
            QColor::fromRgbF(audio.redF() * 0.6f, audio.greenF() * 0.6f, audio.blueF() * 0.6f)));
        QVERIFY(fernwick::test::near(
            image.pixelColor(int(branch.card.midX()), int(branch.card.maxY() - 4)),
            QColor(26, 28, 36)));
    }

    void branchClicksOnlyAndNoMenu() {
        MindMapBranchView view;
        view.resize(1000, 300);
        const auto folder = makeFolder("/r/d", {makeFile("/r/d/x", 60)});
        const auto file = makeFile("/r/f", 40);
        view.setRoot(makeFolder("/r", {folder, file}));
        const auto& branches = view.layout().branches();
        fernwick::test::checkClicks(view, centre(branches[1].card), file, centre(branches[0].card),
                                    folder, centre(view.layout().rootCard()));
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(!view.contextMenuAt(centre(branches[0].card)));
    }
};

QTEST_MAIN(MindMapBranchViewTest)
#include "MindMapBranchViewTest.moc"
