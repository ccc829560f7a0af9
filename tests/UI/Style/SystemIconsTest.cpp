#include "FernwickUI/Style/SystemIcons.h"
#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickUI/State/StorageVisualMode.h"

#include <QRawFont>
#include <QtTest>

using namespace fernwick;
using namespace fernwick::ui;

class SystemIconsTest : public QObject {
    Q_OBJECT
private slots:
    void everyNameDrawsAGlyphOfTheIconFont() {
        QVERIFY2(!systemIconFontFamily().isEmpty(), "the Material Icons font is not installed");
        const QRawFont raw = QRawFont::fromFont(systemIconFont(24));
        QVERIFY(raw.isValid());
        for (const auto name : knownSystemIconNames()) {
            const QString glyph = systemIconGlyph(name);
            QCOMPARE(glyph.size(), 1);
            QVERIFY2(raw.supportsCharacter(glyph.at(0)), name.data());
        }
    }

    void namesUsedByTheModelAndTheModesAreInTheTable() {
        for (const auto category : allStorageCategories()) {
            QVERIFY2(hasSystemIcon(systemIcon(category)), systemIcon(category).data());
        }
        for (const auto mode : allStorageVisualModes()) {
            QVERIFY2(hasSystemIcon(icon(mode)), icon(mode).data());
        }
        for (const auto* name :
             {"folder.fill", "doc.fill", "internaldrive.fill", "house.fill", "chevron.left",
              "paintpalette.fill", "sparkles", "exclamationmark.triangle.fill",
              "arrow.right.circle", "trash.fill", "magnifyingglass", "xmark.circle.fill",
              // The toolbar, banners, search results, prompt, modals and monitor.
              "keyboard", "app.badge.checkmark", "waveform.path.ecg", "arrow.down.circle.fill",
              "xmark", "lock.shield.fill", "checkmark.circle.fill", "cpu", "memorychip",
              "internaldrive", "macbook", "circle.hexagongrid.fill",
              // The smart cleanup, large files, duplicates and history screens.
              "checkmark.shield.fill", "play.badge.checkmark", "doc.badge.arrow.up",
              "arrow.up.forward.app", "trash", "doc.on.doc", "doc.on.doc.fill", "star.fill",
              "arrow.clockwise", "chart.xyaxis.line"}) {
            QVERIFY2(hasSystemIcon(name), name);
        }
    }

    void distinctShapesForFolderAndFileAndAVisibleFallback() {
        QVERIFY(systemIconGlyph("folder.fill") != systemIconGlyph("doc.fill"));
        QVERIFY(!hasSystemIcon("no.such.symbol"));
        QCOMPARE(systemIconGlyph("no.such.symbol").size(), 1);
    }
};

QTEST_MAIN(SystemIconsTest)
#include "SystemIconsTest.moc"
