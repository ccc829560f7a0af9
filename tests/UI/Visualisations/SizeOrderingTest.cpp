#include "FernwickUI/Visualisations/SizeOrdering.h"
#include "tests/Support/TreeBuilder.h"

#include <QtTest>

#include <string>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::makeFile;
using fernwick::test::makeFolder;
using fernwick::test::writable;

class SizeOrderingTest : public QObject {
    Q_OBJECT
private slots:
    // A large folder's order is kept for the next mode that asks; it must follow every change
    // of the tree: a child that grows, one replaced by another of the same size, one emptied.
    void theOrderFollowsChangesOfTheFolder() {
        std::vector<DiskNodePtr> files;
        for (int i = 0; i < 100; ++i) {
            files.push_back(makeFile("/k/f" + std::to_string(i), 1000 + i));
        }
        const auto folder = makeFolder("/k", files);
        QCOMPARE(childrenBySize(*folder).front(), files[99]);
        QCOMPARE(positiveChildrenBySize(*folder).size(), std::size_t{100});

        writable(files[3]->size) = 5000;
        folder->recalculateTotalSize();
        QCOMPARE(childrenBySize(*folder).front(), files[3]);

        const auto replacement = makeFile("/k/new", 5000);
        writable(folder->children)[3] = replacement;
        QCOMPARE(childrenBySize(*folder).front(), replacement);

        writable(files[99]->size) = 0;
        folder->recalculateTotalSize();
        const auto positive = positiveChildrenBySize(*folder);
        QCOMPARE(positive.size(), std::size_t{99});
        QCOMPARE(positive[1], files[98]);
        QCOMPARE(childrenBySize(*folder).back(), files[99]);
    }
};

QTEST_MAIN(SizeOrderingTest)
#include "SizeOrderingTest.moc"
