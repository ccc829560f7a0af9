#include "FernwickUI/MainWindow/ThemePickerModal.h"

#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Kit/KeyChip.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/State/ActiveModal.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/KeyboardFocus.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

/// The strip of swatches on its dark rounded ground.
class SwatchStrip : public QWidget {
public:
    explicit SwatchStrip(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        CardFrame::paint(painter, QRectF(rect()), 5, blackAt(0.4), Qt::transparent, 0);
    }
};

void passClicksThrough(QWidget* widget) {
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

} // namespace

ThemeCard::ThemeCard(TreemapTheme theme, QWidget* parent)
    : QAbstractButton(parent), m_theme(theme) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(12);
    auto* strip = new SwatchStrip(this);
    auto* swatches = new QHBoxLayout(strip);
    swatches->setContentsMargins(3, 3, 3, 3);
    swatches->setSpacing(4);
    for (const QColor& colour : previewColors(theme)) {
        QWidget* swatch = makeRoundedBar(QSize(14, 26), colour, 3, strip);
        swatches->addWidget(swatch);
        if (m_firstSwatch == nullptr) {
            m_firstSwatch = swatch;
        }
    }
    row->addWidget(strip);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(6);
    nameRow->addWidget(makeLabel(plainText(std::string(displayName(theme))),
                                 uiFont(12, QFont::DemiBold), Qt::white, this));
    ButtonLook badge;
    badge.font = uiFont(9, QFont::Bold);
    badge.textColour = Palette::sizeGreen();
    badge.paddingH = 5;
    badge.paddingV = 1;
    badge.background = withOpacity(Palette::sizeGreen(), 0.15);
    badge.cornerRadius = 3;
    m_badge = makeKeyChip(QStringLiteral("ACTIVE"), badge, this);
    nameRow->addWidget(m_badge);
    nameRow->addStretch(1);
    texts->addLayout(nameRow);
    texts->addWidget(
        makeLabel(plainText(std::string(subtitle(theme))), uiFont(10), whiteAt(0.5), this));
    row->addLayout(texts, 1);
    m_check = new IconView("checkmark.circle.fill", 16, Palette::sizeGreen(), this);
    row->addWidget(m_check);
    passClicksThrough(this);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setActive(false);
}

void ThemeCard::setActive(bool active) {
    m_active = active;
    m_badge->setVisible(active);
    m_check->setVisible(active);
    update();
}

void ThemeCard::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    CardFrame::paint(painter, QRectF(rect()), 8, whiteAt(m_active ? 0.12 : 0.04),
                     m_active ? Palette::accentBlue() : whiteAt(0.08), 1);
    if (showsFocusRing(this)) {
        drawFocusRing(painter, QRectF(rect()), 8);
    }
}

void ThemeCard::keyPressEvent(QKeyEvent* event) {
    if (returnPressesFocusedButton(event, this)) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

ThemePickerModal::ThemePickerModal(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setWindowTitle(modalTitle(ActiveModal::theme));
    setFixedSize(460, 520);
    setBackground(this, Palette::themePickerBackground());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    auto* header = new QHBoxLayout;
    header->addWidget(new IconView("paintpalette.fill", 16, Palette::accentBlue(), this));
    header->addWidget(
        makeLabel(modalTitle(ActiveModal::theme), uiFont(15, QFont::Bold), Qt::white, this));
    header->addStretch(1);
    ButtonLook close;
    close.icon = "xmark.circle.fill";
    close.iconSize = 14;
    close.iconColour = whiteAt(0.4);
    close.paddingH = 0;
    close.paddingV = 0;
    m_close = new StyledButton(QString(), close, this);
    connect(m_close, &QAbstractButton::clicked, this, &ThemePickerModal::finish);
    header->addWidget(m_close);
    column->addLayout(header);

    QLabel* description =
        makeLabel(QStringLiteral("Select any of the 8 palettes to customize the interactive disk "
                                 "treemap visualization in real time."),
                  uiFont(12), whiteAt(0.6), this);
    description->setWordWrap(true);
    column->addWidget(description);

    m_list = new QScrollArea(this);
    // Tab goes from card to card; a click lets the keys scroll the list.
    m_list->setFocusPolicy(Qt::ClickFocus);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setWidgetResizable(true);
    m_list->setMaximumHeight(380);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* cards = new QWidget;
    setBackground(cards, Palette::themePickerBackground());
    auto* cardColumn = new QVBoxLayout(cards);
    cardColumn->setContentsMargins(0, 2, 0, 2);
    cardColumn->setSpacing(8);
    for (const TreemapTheme theme : allTreemapThemes()) {
        auto* card = new ThemeCard(theme, cards);
        connect(card, &QAbstractButton::clicked, this, [this, theme] {
            m_state.setCurrentTheme(theme);
            m_state.computeTreemapLayout(Rect{0, 0, 900, 550});
        });
        cardColumn->addWidget(card);
        m_cards.push_back(card);
    }
    m_list->setWidget(cards);
    column->addWidget(m_list, 1);

    auto* done = new StyledButton(
        QStringLiteral("Done"),
        buttonLook(ButtonStyle::borderedProminent, uiFont(13), Palette::systemBlue()), this);
    done->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(done, &QAbstractButton::clicked, this, &ThemePickerModal::finish);
    column->addSpacing(4);
    column->addWidget(done);

    connect(&m_state, &AppState::currentThemeChanged, this, &ThemePickerModal::refresh);
    refresh();
}

void ThemePickerModal::refresh() {
    for (ThemeCard* card : m_cards) {
        card->setActive(card->theme() == m_state.currentTheme());
    }
}

void ThemePickerModal::finish() {
    m_state.setActiveModal(std::nullopt);
    reject();
}

} // namespace fernwick::ui
