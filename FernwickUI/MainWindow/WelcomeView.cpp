#include "FernwickUI/MainWindow/WelcomeView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

/// The 68-point rounded square with the drive symbol, and room for its shadow below.
class AppMark : public QWidget {
public:
    explicit AppMark(QWidget* parent) : QWidget(parent) { setFixedSize(100, 100); }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF square((width() - 68) / 2.0, 10, 68, 68);
        drawSoftShadow(painter, square, 18, withOpacity(Palette::scanButtonBlue(), 0.35), 16, 6);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::scanButtonBlue());
        painter.drawRoundedRect(square, 18, 18);
        drawSystemIcon(painter, square, "internaldrive.fill", 32, Qt::white);
    }
};

} // namespace

WelcomeView::WelcomeView(const std::function<void()>& scanHome,
                         const std::function<void()>& chooseFolderAndScan, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 16);
    layout->setSpacing(16);
    layout->addStretch(1);

    // The mark's frame keeps 22 points below the square for its shadow: its 6 points of
    // padding and the stack's spacing of 16, so the title follows it directly.
    auto* markAndTitle = new QVBoxLayout;
    markAndTitle->setSpacing(0);
    markAndTitle->addWidget(new AppMark(this), 0, Qt::AlignHCenter);
    markAndTitle->addWidget(
        makeLabel(QStringLiteral("Tarnbrook Ridar"), uiFont(26, QFont::Bold), Qt::white, this), 0,
        Qt::AlignHCenter);
    layout->addLayout(markAndTitle);
    auto* subtitle =
        makeLabel(QStringLiteral("Visualize your disk usage with an interactive treemap."),
                  uiFont(13), whiteAt(0.6), this);
    subtitle->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(subtitle, 0, Qt::AlignHCenter);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(14);
    ButtonLook primary;
    primary.icon = "house.fill";
    primary.iconSize = 13;
    primary.font = uiFont(13, QFont::DemiBold);
    primary.spacing = 8;
    primary.paddingH = 18;
    primary.paddingV = 10;
    primary.background = Palette::scanButtonBlue();
    primary.cornerRadius = 8;
    primary.shadow = withOpacity(Palette::systemBlue(), 0.3);
    primary.shadowRadius = 6;
    primary.shadowOffsetY = 2;
    auto* home = new StyledButton(QStringLiteral("Scan Home Folder"), primary, this);
    connect(home, &QAbstractButton::clicked, this, [scanHome] { scanHome(); });
    ButtonLook secondary = primary;
    secondary.icon = "folder.fill";
    secondary.iconColour = whiteAt(0.7);
    secondary.font = uiFont(13, QFont::Medium);
    secondary.background = whiteAt(0.06);
    secondary.outline = whiteAt(0.14);
    secondary.shadow = Qt::transparent;
    secondary.shadowRadius = 0;
    auto* choose = new StyledButton(QStringLiteral("Choose Folder"), secondary, this);
    connect(choose, &QAbstractButton::clicked, this,
            [chooseFolderAndScan] { chooseFolderAndScan(); });
    buttons->addStretch(1);
    buttons->addWidget(home, 0, Qt::AlignVCenter);
    buttons->addWidget(choose, 0, Qt::AlignVCenter);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    layout->addWidget(makeRoundedBar(QSize(32, 4), whiteAt(0.15), 2, this), 0, Qt::AlignHCenter);
}

} // namespace fernwick::ui
