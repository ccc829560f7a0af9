#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

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
};

QTEST_MAIN(StyleKitTest)
#include "StyleKitTest.moc"
