#include "FernwickUI/Visualisations/InspectorBar.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {
// Room around the bar for its shadow (radius 8, 3 points down).
constexpr int kShadowSide = 8;
constexpr int kShadowBelow = 11;
} // namespace

InspectorBar::InspectorBar(QWidget* parent)
    : QWidget(parent), m_icon(new IconView("doc.fill", 14, Qt::white, this)),
      m_name(new ElidedLabel(uiFont(11, QFont::Bold), Qt::white, this)),
      m_category(makeLabel(QString(), uiFont(9, QFont::DemiBold), whiteAt(0.8), this)),
      m_path(
          new ElidedLabel(uiFont(9.5, QFont::Normal, FontDesign::monospaced), whiteAt(0.5), this)),
      m_size(makeLabel(QString(), uiFont(11, QFont::Bold, FontDesign::monospaced),
                       Palette::sizeGreen(), this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kShadowSide + 14, kShadowSide + 8, kShadowSide + 14,
                               kShadowBelow + 8);
    layout->setSpacing(12);
    layout->addWidget(m_icon);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(6);
    m_name->setElideMode(Qt::ElideRight);
    nameRow->addWidget(m_name, 0);
    m_category->setContentsMargins(5, 1, 5, 1);
    m_category->setAutoFillBackground(false);
    m_category->setStyleSheet(
        QStringLiteral("background-color: rgba(255, 255, 255, 20); border-radius: 3px;"));
    nameRow->addWidget(m_category, 0);
    nameRow->addStretch(1);
    texts->addLayout(nameRow);
    texts->addWidget(m_path);
    layout->addLayout(texts, 1);
    layout->addWidget(m_size);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    const QFont buttonFont = uiFont(10, QFont::Medium);
    m_reveal = new StyledButton(QStringLiteral("Reveal"), borderedLook(buttonFont), this);
    m_trash = new StyledButton(QStringLiteral("Trash"),
                               borderedLook(buttonFont, Palette::systemRed()), this);
    m_drillDown =
        new StyledButton(QStringLiteral("Drill Down"),
                         borderedProminentLook(buttonFont, Palette::selectionBlue()), this);
    buttons->addWidget(m_reveal);
    buttons->addWidget(m_trash);
    buttons->addWidget(m_drillDown);
    layout->addLayout(buttons);

    connect(m_reveal, &QAbstractButton::clicked, this, [this] {
        if (m_node) {
            emit revealRequested(m_node);
        }
    });
    connect(m_trash, &QAbstractButton::clicked, this, [this] {
        if (m_node) {
            emit trashRequested(m_node);
        }
    });
    connect(m_drillDown, &QAbstractButton::clicked, this, [this] {
        if (m_node) {
            emit drillDownRequested(m_node);
        }
    });
}

void InspectorBar::setNode(const DiskNodePtr& node) {
    m_node = node;
    if (!node) {
        return;
    }
    m_icon->setName(node->isDirectory() ? "folder.fill" : "doc.fill");
    m_icon->setColour(node->isDirectory() ? Palette::folderIcon() : Palette::fileIcon());
    m_name->setText(plainText(node->name()));
    m_category->setText(plainText(std::string(displayName(node->category))));
    m_path->setText(plainText(node->path()));
    m_size->setText(plainText(node->formattedSize()));
    m_drillDown->setVisible(node->isDirectory());
}

void InspectorBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body =
        QRectF(rect()).adjusted(kShadowSide, kShadowSide, -kShadowSide, -kShadowBelow);
    drawSoftShadow(painter, body, 8, blackAt(0.5), 8, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::inspectorBackground());
    painter.drawRoundedRect(body, 8, 8);
    painter.setPen(QPen(whiteAt(0.14), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

} // namespace fernwick::ui
