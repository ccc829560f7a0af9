#include "FernwickUI/Style/FernwickTheme.h"

#include <QTest>

#include <array>
#include <cmath>
#include <string>

using fernwick::StorageCategory;
using fernwick::ui::FernwickTheme;
using fernwick::ui::TreemapTheme;

namespace {

bool near(const QColor& c, double r, double g, double b, double a = 1.0) {
    constexpr double kTolerance = 1e-3;
    return c.spec() == QColor::Rgb && std::abs(c.redF() - r) < kTolerance &&
           std::abs(c.greenF() - g) < kTolerance && std::abs(c.blueF() - b) < kTolerance &&
           std::abs(c.alphaF() - a) < kTolerance;
}

QColor tile(const std::string& path, bool isLeaf, int depth, StorageCategory category,
            TreemapTheme theme) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return FernwickTheme::tileColor(path, name, isLeaf, depth, category, theme);
}

} // namespace

class FernwickThemeTest : public QObject {
    Q_OBJECT

private slots:
    void paletteHasItsValuesAndIsShared() {
        QVERIFY(near(FernwickTheme::appBackground(), 0.08, 0.08, 0.10));
        QVERIFY(near(FernwickTheme::sidebarBackground(), 0.11, 0.11, 0.13));
        QVERIFY(near(FernwickTheme::cardBackground(), 0.14, 0.14, 0.17));
        QVERIFY(near(FernwickTheme::panelBorder(), 1, 1, 1, 0.08));
        QVERIFY(near(FernwickTheme::primaryBlue(), 0.20, 0.50, 1.00));
        QVERIFY(near(FernwickTheme::accentCyan(), 0.00, 0.80, 0.82));
        QVERIFY(near(FernwickTheme::developerGreen(), 0.18, 0.80, 0.44));
        QVERIFY(near(FernwickTheme::libraryPurple(), 0.70, 0.32, 0.75));
        QVERIFY(near(FernwickTheme::containerMagenta(), 0.85, 0.25, 0.55));
        QVERIFY(near(FernwickTheme::cachesOrange(), 0.95, 0.55, 0.15));
        QVERIFY(near(FernwickTheme::modelsYellow(), 0.90, 0.75, 0.20));
        QVERIFY(near(FernwickTheme::videoTeal(), 0.10, 0.70, 0.70));
        QVERIFY(near(FernwickTheme::warningAmber(), 0.95, 0.65, 0.10));
        QVERIFY(near(FernwickTheme::dangerRed(), 0.95, 0.25, 0.25));
        QVERIFY(near(FernwickTheme::textSecondary(), 1, 1, 1, 0.65));
        QVERIFY(near(FernwickTheme::textMuted(), 1, 1, 1, 0.4));
        // One shared value, built once.
        QCOMPARE(&FernwickTheme::dangerRed(), &FernwickTheme::dangerRed());
    }

    void categoryColoursKeepTheirOpacities() {
        QCOMPARE(FernwickTheme::color(StorageCategory::xcode),
                 FernwickTheme::color(StorageCategory::developerData));
        QVERIFY(near(FernwickTheme::color(StorageCategory::nodeModules), 0.18, 0.80, 0.44, 0.85));
        QVERIFY(near(FernwickTheme::color(StorageCategory::trash), 0.95, 0.25, 0.25, 0.8));
        QCOMPARE(FernwickTheme::color(StorageCategory::appLeftovers), FernwickTheme::dangerRed());
        QVERIFY(near(FernwickTheme::color(StorageCategory::docker), 0.20, 0.50, 1.00, 0.9));
        QVERIFY(near(FernwickTheme::color(StorageCategory::installers), 0.20, 0.50, 1.00, 0.7));
        QVERIFY(
            near(FernwickTheme::color(StorageCategory::applicationSupport), 0.70, 0.32, 0.75, 0.8));
        QVERIFY(near(FernwickTheme::color(StorageCategory::photos), 0.90, 0.40, 0.60));
        QVERIFY(near(FernwickTheme::color(StorageCategory::systemData), 0.50, 0.50, 0.60));
        QVERIFY(near(FernwickTheme::color(StorageCategory::other), 0.40, 0.45, 0.50));
        QCOMPARE(FernwickTheme::color(StorageCategory::androidStudio),
                 FernwickTheme::cachesOrange());
        QCOMPARE(FernwickTheme::color(StorageCategory::temporaryFiles),
                 FernwickTheme::warningAmber());
    }

    void dependencyFoldersWinInEveryThemeAtAnyDepth() {
        const std::array<std::array<double, 3>, 8> leaves = {{{0.96, 0.55, 0.02},
                                                              {1.00, 0.08, 0.58},
                                                              {1.00, 0.42, 0.15},
                                                              {0.20, 0.85, 0.75},
                                                              {0.00, 0.95, 0.35},
                                                              {0.35, 0.75, 1.00},
                                                              {0.75, 0.25, 1.00},
                                                              {0.88, 0.88, 0.90}}};
        for (TreemapTheme theme : fernwick::ui::allTreemapThemes()) {
            const auto& c = leaves.at(static_cast<std::size_t>(theme));
            // A package inside a project's dependencies, three levels down, that also
            // mentions a cache: the dependency group is tested first.
            const QColor color = tile("/home/u/app/node_modules/cache-base", true, 3,
                                      StorageCategory::documents, theme);
            QVERIFY2(near(color, c[0], c[1], c[2]), fernwick::ui::displayName(theme).data());
        }
        // A name in capitals is compared lowercased.
        QVERIFY(near(FernwickTheme::tileColor("/p/NODE_MODULES", "NODE_MODULES", false, 0,
                                              StorageCategory::other, TreemapTheme::kelvane),
                     0.90, 0.50, 0.05));
    }

    void buildOutputByLeafAndNesting() {
        const std::string cached = "/home/u/.cache/thumbnails/x.png";
        QVERIFY(near(tile(cached, true, 0, StorageCategory::photos, TreemapTheme::kelvane), 0.30,
                     0.38, 0.34));
        QVERIFY(near(tile(cached, false, 4, StorageCategory::photos, TreemapTheme::kelvane), 0.42,
                     0.35, 0.55));
        QVERIFY(near(tile("/w/site/.next", false, 1, StorageCategory::other, TreemapTheme::ocean),
                     0.18, 0.40, 0.72));
        QVERIFY(near(
            tile("/w/webpack.config.js", true, 2, StorageCategory::other, TreemapTheme::monochrome),
            0.30, 0.32, 0.35));
    }

    void restByDepthAndCategory() {
        const std::string doc = "/home/u/Documents/report.pdf";
        // The first theme: shallow tiles share one colour whatever the category, deep tiles
        // take the category's colour with its opacity.
        QVERIFY(near(tile(doc, true, 0, StorageCategory::documents, TreemapTheme::kelvane), 0.20,
                     0.70, 0.38));
        QVERIFY(near(tile(doc, true, 1, StorageCategory::trash, TreemapTheme::kelvane), 0.20, 0.70,
                     0.38));
        QCOMPARE(tile(doc, true, 2, StorageCategory::documents, TreemapTheme::kelvane),
                 FernwickTheme::accentCyan());
        QVERIFY(near(tile(doc, true, 2, StorageCategory::nodeModules, TreemapTheme::kelvane), 0.18,
                     0.80, 0.44, 0.85));

        QVERIFY(near(tile(doc, true, 2, StorageCategory::applications, TreemapTheme::cyberpunk),
                     0.60, 0.15, 1.00));
        QVERIFY(near(tile(doc, true, 3, StorageCategory::xcode, TreemapTheme::sunset), 0.98, 0.65,
                     0.10));
        QVERIFY(near(tile(doc, false, 2, StorageCategory::caches, TreemapTheme::ocean), 0.10, 0.45,
                     0.85));
        QVERIFY(near(tile(doc, true, 2, StorageCategory::videos, TreemapTheme::cyberpunk), 0.00,
                     0.95, 1.00));
        QVERIFY(near(tile(doc, true, 2, StorageCategory::logs, TreemapTheme::sunset), 0.80, 0.35,
                     0.25));
        QVERIFY(
            near(tile(doc, true, 1, StorageCategory::logs, TreemapTheme::ocean), 0.15, 0.60, 0.98));

        // Four themes never look at the category.
        for (TreemapTheme theme : {TreemapTheme::matrix, TreemapTheme::nordic,
                                   TreemapTheme::amethyst, TreemapTheme::monochrome}) {
            QCOMPARE(tile(doc, true, 2, StorageCategory::applications, theme),
                     tile(doc, true, 2, StorageCategory::trash, theme));
        }
        QVERIFY(near(tile(doc, true, 2, StorageCategory::other, TreemapTheme::matrix), 0.05, 0.65,
                     0.25));
        QVERIFY(near(tile(doc, true, 0, StorageCategory::other, TreemapTheme::amethyst), 0.90, 0.45,
                     0.95));
    }
};

QTEST_GUILESS_MAIN(FernwickThemeTest)
#include "FernwickThemeTest.moc"
