#include "FernwickUI/MainWindow/CleanupPromptBar.h"

#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

constexpr std::int64_t kPromptThreshold = 100'000'001;

} // namespace

CleanupPromptBar::CleanupPromptBar(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bar = new QWidget(this);
    setBackground(bar, Palette::cleanupPromptBackground());
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(14, 7, 14, 7);
    row->setSpacing(10);
    row->addWidget(new IconView("sparkles", 13, Palette::sizeGreen(), bar));
    m_amount = makeLabel(QString(), uiFont(12, QFont::DemiBold), Qt::white, bar);
    row->addWidget(m_amount);
    m_items = new ElidedLabel(uiFont(11), whiteAt(0.55), bar);
    m_items->setElideMode(Qt::ElideRight);
    row->addWidget(m_items, 1);
    ButtonLook review;
    review.font = uiFont(11, QFont::Bold);
    review.textColour = Qt::black;
    review.paddingH = 12;
    review.paddingV = 5;
    review.background = Palette::sizeGreen();
    review.cornerRadius = 6;
    m_review = new StyledButton(QStringLiteral("Review & Clean"), review, bar);
    connect(m_review, &QAbstractButton::clicked, this,
            [this] { m_state.setActiveModal(ActiveModal::cleanup); });
    row->addWidget(m_review);
    ButtonLook close;
    close.icon = "xmark";
    close.iconSize = 9;
    close.iconColour = whiteAt(0.4);
    close.paddingH = 4;
    close.paddingV = 4;
    m_close = new StyledButton(QString(), close, bar);
    m_close->setToolTip(QStringLiteral("Hide for this session"));
    connect(m_close, &QAbstractButton::clicked, this, [this] {
        m_dismissed = true;
        refresh();
    });
    row->addWidget(m_close);
    column->addWidget(bar);
    column->addWidget(makeDivider(Qt::Horizontal, this));

    connect(&m_state, &AppState::cleanupPlanChanged, this, &CleanupPromptBar::refresh);
    connect(&m_state, &AppState::rootNodeChanged, this, &CleanupPromptBar::rootChanged);
    rememberRoot();
    refresh();
}

void CleanupPromptBar::rememberRoot() {
    const DiskNodePtr& root = m_state.rootNode();
    m_root = root;
    m_rootId = root ? root->id() : Uuid();
}

void CleanupPromptBar::rootChanged() {
    // The state announces equal assignments too: only another tree resets the dismissal. A
    // tree changed while it was read has a copied root with the same id.
    const DiskNodePtr& root = m_state.rootNode();
    const bool same =
        root == m_root.lock() || (root != nullptr && !m_rootId.isNil() && root->id() == m_rootId);
    if (!same) {
        m_dismissed = false;
    }
    rememberRoot();
    refresh();
}

void CleanupPromptBar::refresh() {
    const std::int64_t bytes = m_state.cleanupOpportunityBytes();
    const bool shown = !m_dismissed && bytes >= kPromptThreshold;
    if (shown) {
        m_amount->setText(QStringLiteral("Found ") +
                          QString::fromStdString(formatByteCount(bytes)) +
                          QStringLiteral(" you can review and clean"));
        m_items->setText(QString::number(m_state.cleanupPlan().candidates.size()) +
                         QStringLiteral(" items: caches, build data, old installers"));
    }
    setVisible(shown);
}

} // namespace fernwick::ui
