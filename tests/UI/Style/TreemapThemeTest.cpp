#include "FernwickUI/Style/TreemapTheme.h"

#include <QTest>

#include <cmath>
#include <set>
#include <string>

using fernwick::ui::TreemapTheme;

class TreemapThemeTest : public QObject {
    Q_OBJECT

private slots:
    void eightThemesInOrderWithTheirTexts() {
        const auto& themes = fernwick::ui::allTreemapThemes();
        QCOMPARE(themes.size(), std::size_t{8});
        QCOMPARE(themes.front(), TreemapTheme::kelvane);
        QCOMPARE(themes.back(), TreemapTheme::monochrome);
        QCOMPARE(fernwick::ui::displayName(TreemapTheme::kelvane), "Tarnbrook Classic");
        QCOMPARE(fernwick::ui::subtitle(TreemapTheme::kelvane),
                 "Amber, emerald, and clean slate (Original)");
        QCOMPARE(fernwick::ui::displayName(TreemapTheme::matrix), "Matrix Terminal");
        QCOMPARE(fernwick::ui::subtitle(TreemapTheme::nordic),
                 "Glacier blue, arctic ice, polar violet");
        std::set<std::string> names;
        for (TreemapTheme theme : themes) {
            names.emplace(fernwick::ui::displayName(theme));
            QCOMPARE(fernwick::ui::treemapThemeFromName(fernwick::ui::displayName(theme)), theme);
        }
        QCOMPARE(names.size(), std::size_t{8});
    }

    void lookupIsExact() {
        QCOMPARE(fernwick::ui::treemapThemeFromName("Deep Ocean"), TreemapTheme::ocean);
        QCOMPARE(fernwick::ui::treemapThemeFromName("deep ocean"), std::nullopt);
        QCOMPARE(fernwick::ui::treemapThemeFromName("Kelvane Classic"), std::nullopt);
        QCOMPARE(fernwick::ui::treemapThemeFromName(""), std::nullopt);
    }

    void previewSwatches() {
        const auto sunset = fernwick::ui::previewColors(TreemapTheme::sunset);
        QVERIFY(std::abs(sunset[0].redF() - 1.00) < 1e-3);
        QVERIFY(std::abs(sunset[0].greenF() - 0.40) < 1e-3);
        QVERIFY(std::abs(sunset[2].blueF() - 0.25) < 1e-3);
        const auto mono = fernwick::ui::previewColors(TreemapTheme::monochrome);
        QVERIFY(std::abs(mono[1].blueF() - 0.56) < 1e-3);
        QCOMPARE(mono[1].alphaF(), 1.0f);
    }
};

QTEST_GUILESS_MAIN(TreemapThemeTest)
#include "TreemapThemeTest.moc"
