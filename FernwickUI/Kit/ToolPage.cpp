#include "FernwickUI/Kit/ToolPage.h"

#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

QWidget* makeBar(QWidget* parent, int padding, QHBoxLayout*& row) {
    auto* bar = new QWidget(parent);
    setBackground(bar, FernwickTheme::cardBackground());
    row = new QHBoxLayout(bar);
    row->setContentsMargins(padding, padding, padding, padding);
    return bar;
}

} // namespace

ToolPage::ToolPage(const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent), m_title(makeLabel(title, title2(), Qt::white)),
      m_subtitle(makeLabel(subtitle, subheadline(), FernwickTheme::textSecondary())),
      m_content(new QStackedWidget(this)) {
    setBackground(this, FernwickTheme::appBackground());
    auto* layout = new QVBoxLayout(this);
    m_column = layout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QHBoxLayout* header = nullptr;
    QWidget* headerBar = makeBar(this, 18, header);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    m_titleRow = new QHBoxLayout;
    m_titleRow->setSpacing(8);
    m_titleRow->addWidget(m_title);
    titles->addLayout(m_titleRow);
    titles->addWidget(m_subtitle);
    header->addLayout(titles);
    header->addStretch(1);
    m_headerTrailing = new QHBoxLayout;
    header->addLayout(m_headerTrailing);
    layout->addWidget(headerBar);
    layout->addWidget(makeDivider(Qt::Horizontal, this));
    m_barInsertAt = layout->count();

    layout->addWidget(m_content, 1);

    m_footerDivider = makeDivider(Qt::Horizontal, this);
    m_footerBar = makeBar(this, 16, m_footer);
    layout->addWidget(m_footerDivider);
    layout->addWidget(m_footerBar);
    setFooterVisible(false);
}

void ToolPage::setTitleIcon(const std::string& icon, const QColor& colour) {
    m_titleRow->insertWidget(0, new IconView(icon, 17, colour, this));
}

void ToolPage::addBar(QWidget* bar) {
    m_column->insertWidget(m_barInsertAt++, bar);
    m_column->insertWidget(m_barInsertAt++, makeDivider(Qt::Horizontal, this));
}

void ToolPage::addContent(QWidget* page) {
    m_content->addWidget(page);
}

void ToolPage::showContent(QWidget* page) {
    m_content->setCurrentWidget(page);
}

QWidget* ToolPage::currentContent() const {
    return m_content->currentWidget();
}

void ToolPage::setFooterVisible(bool visible) {
    m_footerDivider->setVisible(visible);
    m_footerBar->setVisible(visible);
}

RoundedFill::RoundedFill(const QColor& colour, double cornerRadius, QWidget* parent)
    : QWidget(parent), m_colour(colour), m_cornerRadius(cornerRadius) {}

void RoundedFill::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_colour);
    painter.drawRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
}

ButtonLook fadedLook(ButtonLook look) {
    look.background = withOpacity(look.background, 0.45);
    look.textColour = withOpacity(look.textColour, 0.45);
    look.iconColour = withOpacity(look.iconColour, 0.45);
    return look;
}

void setButtonEnabled(StyledButton* button, const ButtonLook& look, bool enabled) {
    button->setEnabled(enabled);
    button->setLook(enabled ? look : fadedLook(look));
}

EmptyState makeEmptyState(const EmptyStateLook& look, QWidget* parent) {
    EmptyState state;
    state.widget = new QWidget(parent);
    auto* column = new QVBoxLayout(state.widget);
    column->setSpacing(look.spacing);
    column->addStretch(1);
    auto* icon = new IconView(look.icon, look.iconSize, look.iconColour, state.widget);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addWidget(makeLabel(look.title, look.titleFont, Qt::white, state.widget), 0,
                      Qt::AlignHCenter);
    QLabel* message =
        makeLabel(look.message, subheadline(), FernwickTheme::textSecondary(), state.widget);
    message->setAlignment(Qt::AlignHCenter);
    if (look.messageMaxWidth > 0) {
        // Centred by stretches rather than by an alignment flag: an aligned item gets its size
        // hint's height, one line of a wrapped text; a row passes the height the wrapped lines
        // need at the width they get.
        message->setWordWrap(true);
        message->setMaximumWidth(look.messageMaxWidth);
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(message, 100);
        row->addStretch(1);
        column->addLayout(row);
    } else {
        column->addWidget(message, 0, Qt::AlignHCenter);
    }
    state.button = new StyledButton(look.buttonLabel, ButtonStyle::bordered, QColor(),
                                    ControlSize::regular, state.widget);
    column->addWidget(state.button, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return state;
}

} // namespace fernwick::ui
