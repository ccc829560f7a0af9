#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Style/TreemapTheme.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QTest>

#include <cmath>

using namespace fernwick::ui;

namespace {

bool near(const QColor& c, double r, double g, double b, double a = 1.0) {
    constexpr double kTolerance = 1e-3;
    return std::abs(c.redF() - r) < kTolerance && std::abs(c.greenF() - g) < kTolerance &&
           std::abs(c.blueF() - b) < kTolerance && std::abs(c.alphaF() - a) < kTolerance;
}

} // namespace

class StyleKitTest : public QObject {
    Q_OBJECT

private slots:
    void namedColoursKeepTheirValues() {
        QVERIFY(near(Palette::contentBackground(), 0.05, 0.05, 0.07));
        QVERIFY(near(Palette::sheetHeaderBackground(), 0.1, 0.1, 0.12));
        QVERIFY(near(Palette::systemBlue(), 0.0, 0.48, 1.0));
        QVERIFY(near(Palette::chromeBackground(), 0.07, 0.07, 0.09));
        QVERIFY(near(Palette::inspectorBackground(), 0.09, 0.09, 0.11, 0.96));
        // A place that uses a shared palette colour gets that very colour.
        QCOMPARE(Palette::dialogBackground(), FernwickTheme::cardBackground());
        QCOMPARE(Palette::legendDeveloper(), FernwickTheme::developerGreen());
        QCOMPARE(&Palette::contentBackground(), &Palette::contentBackground());
        // Opacity multiplies and stays within 0..1; mixing goes component-wise.
        QVERIFY(near(withOpacity(whiteAt(0.5), 0.5), 1, 1, 1, 0.25));
        QVERIFY(near(withOpacity(Qt::black, 3), 0, 0, 0, 1));
        QVERIFY(near(mixColours(srgb(0, 0, 0, 0), srgb(1, 0.5, 0.2, 1), 0.5), 0.5, 0.25, 0.1, 0.5));
    }

    void textStylesHaveTheirSizesAndWeights() {
        const struct {
            QFont font;
            double size;
            int weight;
        } styles[] = {{title2(), 17, QFont::Bold},
                      {title3(), 15, QFont::Normal},
                      {headline(), 13, QFont::DemiBold},
                      {subheadline(), 11, QFont::Normal},
                      {caption(), 10, QFont::Normal}};
        for (const auto& style : styles) {
            // One interface point is one logical pixel, as for uiFont.
            QCOMPARE(style.font.pointSizeF(), style.size * kPointScale);
            QCOMPARE(style.font.weight(), style.weight);
        }
    }

    void namedButtonLooks() {
        const QFont font = uiFont(13);
        const ButtonLook plain = buttonLook(ButtonStyle::plain, font, Palette::selectionBlue());
        QCOMPARE(plain.textColour, Palette::selectionBlue());
        QCOMPARE(plain.background.alpha(), 0);
        QCOMPARE(plain.paddingH, 0.0);

        const ButtonLook bordered = buttonLook(ButtonStyle::bordered, font);
        QCOMPARE(bordered.textColour, QColor(Qt::white));
        QVERIFY(near(bordered.background, 1, 1, 1, 0.12));
        QCOMPARE(bordered.paddingH, 10.0);
        QCOMPARE(bordered.paddingV, 4.0);

        const ButtonLook prominent =
            buttonLook(ButtonStyle::borderedProminent, font, FernwickTheme::developerGreen(),
                       ControlSize::small);
        QCOMPARE(prominent.background, FernwickTheme::developerGreen());
        QCOMPARE(prominent.textColour, QColor(Qt::white));
        QCOMPARE(prominent.paddingH, 8.0);
        QCOMPARE(prominent.paddingV, 3.0);
        // Untinted, the prominent fill is the platform's blue.
        QCOMPARE(buttonLook(ButtonStyle::borderedProminent, font).background,
                 Palette::systemBlue());
        // The older helpers are the small size of the same looks.
        QCOMPARE(borderedLook(font).paddingV, 3.0);
        QCOMPARE(borderedProminentLook(font, Palette::systemRed()).background,
                 Palette::systemRed());

        StyledButton mini(QStringLiteral("Reveal"), ButtonStyle::bordered, QColor(),
                          ControlSize::mini);
        QCOMPARE(mini.look().font.pointSizeF(), 9 * kPointScale);
        QCOMPARE(mini.look().paddingH, 6.0);
        QCOMPARE(mini.label(), QStringLiteral("Reveal"));
    }

    void cardPaintsFillAndBorderInsideItsRectangle() {
        CardFrame card;
        QCOMPARE(card.radius(), 10.0);
        QCOMPARE(card.column()->contentsMargins(), QMargins(12, 12, 12, 12));
        card.resize(80, 60);
        QImage image(80, 60, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        card.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const QColor centre = image.pixelColor(40, 30);
        QCOMPARE(centre.rgb(), FernwickTheme::cardBackground().rgb());
        // The top edge's middle is the 1-point border: the card colour lifted by white at 0.08.
        const QColor edge = image.pixelColor(40, 0);
        QVERIFY(edge.red() > centre.red());
        // The rounded corner leaves the backdrop.
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));

        QImage small(20, 20, QImage::Format_ARGB32_Premultiplied);
        small.fill(Qt::transparent);
        QPainter painter(&small);
        CardFrame::paint(painter, QRectF(5, 5, 10, 10), 2, Qt::red, Qt::white, 2);
        painter.end();
        // Nothing outside the rectangle.
        QCOMPARE(small.pixelColor(4, 10).alpha(), 0);
        QCOMPARE(small.pixelColor(15, 10).alpha(), 0);
        QCOMPARE(small.pixelColor(10, 10), QColor(Qt::red));
    }

    // A line of text drawn at the left of a box, centred upright, has the pixels of the painter's
    // own aligned drawing: for fonts of the visual modes' kind, fractional boxes, device pixel
    // ratios of 1 and 2 and (the long way) 1.5, texts that fit, a box lower than the line and a
    // text with a line break.
    void leftTextHasThePixelsOfAnAlignedDrawing() {
        const QStringList texts = {QStringLiteral("file-5.mkv"),
                                   QStringLiteral("Dokumente"),
                                   QStringLiteral("<b>bold<b> & more.txt"),
                                   QStringLiteral("1.2 GB"),
                                   QStringLiteral("Ä straße 42 …"),
                                   QStringLiteral("two\nlines")};
        int compared = 0;
        for (const qreal ratio : {1.0, 1.5, 2.0}) {
            for (int k = 0; k < 60; ++k) {
                const QFont font =
                    uiFont(7 + k % 11 * 0.5, k % 3 == 0 ? QFont::Bold : QFont::Normal,
                           k % 4 == 0 ? FontDesign::monospaced : FontDesign::standard);
                const QString& text = texts[k % texts.size()];
                const QFontMetricsF metrics(font);
                // Fractional places; one box in six lower than the line.
                const QRectF box(3.37 + k * 0.29, 2.11 + k * 0.173,
                                 metrics.horizontalAdvance(text) + 0.3 + k % 5,
                                 metrics.height() + (k % 6 == 5 ? -2.5 : k * 0.07));
                QImage aligned(QSize(200, 40) * ratio, QImage::Format_ARGB32_Premultiplied);
                aligned.setDevicePixelRatio(ratio);
                aligned.fill(Qt::transparent);
                QImage left = aligned.copy();
                for (QImage* image : {&aligned, &left}) {
                    QPainter painter(image);
                    painter.setRenderHint(QPainter::Antialiasing);
                    painter.setFont(font);
                    painter.setPen(Qt::white);
                    // Shifted as a band of a picture is, by whole device pixels.
                    painter.translate(-1 / ratio, -3 / ratio);
                    if (image == &aligned) {
                        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                                         text);
                    } else {
                        drawLeftText(painter, box, text);
                    }
                }
                QVERIFY2(left == aligned, qPrintable(QStringLiteral("%1 at %2").arg(k).arg(ratio)));
                ++compared;
            }
        }
        QCOMPARE(compared, 180);
    }

    // A number shows only after at least four letters of its name (all of a shorter name, a
    // letter with its marks counting once); otherwise the name alone, elided to the whole room.
    void aNumberFollowsAtLeastFourLettersOfItsName() {
        const QFontMetricsF metrics(uiFont(10, QFont::Bold));
        const QString number = QStringLiteral("666.4 MB");
        const double numberWidth = metrics.horizontalAdvance(number);
        const QString accented = QStringLiteral("Cafe\u0301 Photos"); // "e" and its accent
        for (const QString& name : {QStringLiteral("Music"), QStringLiteral("Pictures"),
                                    QStringLiteral("Doc"), accented}) {
            const qsizetype least = name == accented ? 5 : std::min<qsizetype>(name.size(), 4);
            bool sawNumber = false;
            bool sawNameAlone = false;
            for (double room = 0; room <= 200; room += 0.5) {
                const auto fitted = fitNameAndNumber(name, metrics, number, metrics, room, 4);
                const QByteArray where = name.toUtf8() + " in " + QByteArray::number(room) + ": " +
                                         fitted.name.toUtf8() + " / " + fitted.number.toUtf8();
                if (!fitted.number.isEmpty()) {
                    QVERIFY2(fitted.name.startsWith(name.left(least)), where.constData());
                    QVERIFY2(metrics.horizontalAdvance(fitted.name) + 4 + numberWidth <=
                                 room + 1e-9,
                             where.constData());
                    sawNumber = true;
                } else {
                    QCOMPARE(fitted.name, fittedName(name, metrics, room));
                    sawNameAlone = sawNameAlone || !fitted.name.isEmpty();
                }
            }
            QVERIFY(sawNumber && sawNameAlone);
        }
        // Where nothing fits, nothing shows; a missing number leaves the room to the name.
        QCOMPARE(fitNameAndNumber(QStringLiteral("Music"), metrics, number, metrics, 2, 4).name,
                 QString());
        QCOMPARE(
            fitNameAndNumber(QStringLiteral("Music"), metrics, QString(), metrics, 200, 4).name,
            QStringLiteral("Music"));
    }

    // On every fill of every treemap theme the label stands out by at least 2 : 1, and it is
    // white wherever white does.
    void labelsStandOutOnEveryThemeFill() {
        struct Place {
            const char* path;
            const char* name;
        };
        const Place places[] = {{"/home/u/app/node_modules/x", "x"},
                                {"/home/u/.cache/y", "y"},
                                {"/home/u/Documents/z", "z"}};
        int checked = 0;
        int darkened = 0;
        for (TreemapTheme theme : allTreemapThemes()) {
            for (const Place& place : places) {
                for (bool isLeaf : {true, false}) {
                    for (int depth : {0, 1, 2, 3}) {
                        for (fernwick::StorageCategory category :
                             fernwick::allStorageCategories()) {
                            const QColor fill = FernwickTheme::tileColor(
                                place.path, place.name, isLeaf, depth, category, theme);
                            const QColor label = labelColourOn(fill);
                            const QByteArray where =
                                QByteArray(displayName(theme).data()) + " " + fill.name().toUtf8();
                            QVERIFY2(contrastRatio(label, fill) >= 2, where.constData());
                            if (contrastRatio(Qt::white, fill) >= 2) {
                                QVERIFY2(label == QColor(Qt::white), where.constData());
                            } else {
                                QCOMPARE(label, Palette::labelOnLightFill());
                                ++darkened;
                            }
                            ++checked;
                        }
                    }
                }
            }
        }
        QVERIFY(checked > 0 && darkened > 0);
        // The cyan tiles of "Cyberpunk Neon" take the dark label; the measure itself holds.
        QCOMPARE(labelColourOn(srgb(0.00, 0.95, 1.00)), Palette::labelOnLightFill());
        QCOMPARE(contrastRatio(Qt::black, Qt::white), 21.0);
        QVERIFY(std::abs(contrastRatio(srgb(0.5, 0.5, 0.5), Qt::white) - 3.95) < 0.02);
    }
};

QTEST_MAIN(StyleKitTest)
#include "StyleKitTest.moc"
