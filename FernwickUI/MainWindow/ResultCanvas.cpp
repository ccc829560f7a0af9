#include "FernwickUI/MainWindow/ResultCanvas.h"

#include "FernwickUI/MainWindow/CleanupPromptBar.h"
#include "FernwickUI/MainWindow/ModeSwitcher.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/PlainLabel.h"
#include "FernwickUI/Style/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/ListCanvas.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "FernwickUI/Visualisations/VisualModes.h"
#include "FernwickUI/Visualisations/VisualPainting.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {} // namespace

ResultCanvas::ResultCanvas(AppState& state, QWidget* parent) : QWidget(parent), m_state(state) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(makeDivider(Qt::Horizontal, this));
    // Built once per window: its dismissal lasts while the same tree is shown.
    m_prompt = new CleanupPromptBar(m_state, this);
    layout->addWidget(m_prompt);
    m_modes = new QStackedWidget(this);
    layout->addWidget(m_modes, 1);
    for (StorageVisualMode mode : allStorageVisualModes()) {
        auto* slot = new QWidget(m_modes);
        auto* slotLayout = new QVBoxLayout(slot);
        slotLayout->setContentsMargins(0, 0, 0, 0);
        m_modes->addWidget(slot);
        (void)mode;
    }

    connect(&m_state, &AppState::treemapBreadcrumbsChanged, this,
            &ResultCanvas::rebuildBreadcrumbs);
    connect(&m_state, &AppState::currentTreemapRootChanged, this, &ResultCanvas::refreshCanvas);
    // A change of the tree (a move to or from the Trash, a cleanup, a graft) is announced once.
    connect(&m_state, &AppState::treeChanged, this, &ResultCanvas::refreshCanvas);
    connect(&m_state, &AppState::storageVisualModeChanged, this, [this] { showMode(true); });
    connect(&m_state, &AppState::currentThemeChanged, this, &ResultCanvas::updateTheme);
    rebuildBreadcrumbs();
    updateTheme();
    showMode(false);
}

QWidget* ResultCanvas::buildHeader() {
    auto* header = new QWidget(this);
    setBackground(header, Palette::chromeBackground());
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 7, 14, 7);
    row->setSpacing(10);

    ButtonLook back;
    back.icon = "chevron.left";
    back.iconSize = 10;
    back.font = uiFont(11, QFont::DemiBold);
    back.spacing = 5;
    back.paddingH = 9;
    back.paddingV = 4;
    back.background = Palette::selectionBlue();
    back.cornerRadius = 5;
    back.shadow = withOpacity(Palette::systemBlue(), 0.3);
    back.shadowRadius = 3;
    back.shadowOffsetY = 1;
    m_back = new StyledButton(QStringLiteral("Back"), back, header);
    m_back->setToolTip(QStringLiteral("Navigate up to parent directory"));
    connect(m_back, &QAbstractButton::clicked, this, [this] { m_state.navigateBack(); });
    row->addWidget(m_back);

    m_crumbArea = new QScrollArea(header);
    m_crumbArea->setFrameShape(QFrame::NoFrame);
    m_crumbArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_crumbArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_crumbArea->setWidgetResizable(false);
    m_crumbArea->setMaximumWidth(380);
    m_crumbArea->viewport()->setAutoFillBackground(false);
    m_crumbArea->setAutoFillBackground(false);
    // At the window's smallest width the trail gives way first (it scrolls).
    m_crumbArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_crumbArea->setMinimumWidth(0);
    row->addWidget(m_crumbArea);
    row->addStretch(1);

    m_switcher = new ModeSwitcher(header);
    connect(m_switcher, &ModeSwitcher::modeChosen, this, [this](StorageVisualMode mode) {
        if (mode != m_state.storageVisualMode()) {
            m_state.setStorageVisualMode(mode);
        }
    });
    row->addWidget(m_switcher);

    ButtonLook theme;
    theme.font = uiFont(11, QFont::DemiBold);
    theme.spacing = 6;
    theme.trailingIcon = "paintpalette.fill";
    theme.trailingIconSize = 9;
    theme.trailingIconColour = Palette::themeButtonIcon();
    theme.paddingH = 10;
    theme.paddingV = 4.5;
    theme.background = Palette::themeButtonBackground();
    theme.cornerRadius = 6;
    theme.outline = whiteAt(0.14);
    theme.outlineWidth = 0.9;
    m_theme = new StyledButton(QString(), theme, header);
    m_theme->setToolTip(QStringLiteral("Change Color Theme: 8 Themes Available"));
    connect(m_theme, &QAbstractButton::clicked, this,
            [this] { m_state.setActiveModal(ActiveModal::theme); });
    row->addWidget(m_theme);

    auto* hint = new QHBoxLayout;
    hint->setSpacing(4);
    hint->addWidget(new IconView("info.circle", 10, whiteAt(0.35), header));
    auto* hintText = new ElidedLabel(uiFont(10), whiteAt(0.35), header);
    hintText->setElideMode(Qt::ElideRight);
    hintText->setText(QStringLiteral("Right-click for options"));
    hint->addWidget(hintText);
    row->addLayout(hint);
    return header;
}

void ResultCanvas::rebuildBreadcrumbs() {
    const auto& trail = m_state.treemapBreadcrumbs();
    m_back->setVisible(trail.size() >= 2);
    m_crumbs.clear();
    auto* crumbRow = new QWidget;
    crumbRow->setAutoFillBackground(false);
    auto* layout = new QHBoxLayout(crumbRow);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (std::size_t index = 0; index < trail.size(); ++index) {
        const bool last = index + 1 == trail.size();
        ButtonLook look;
        if (index == 0) {
            look.icon = "house.fill";
            look.iconSize = 9;
        }
        look.iconColour = last ? QColor(Qt::white) : whiteAt(0.6);
        look.font = uiFont(11, last ? QFont::DemiBold : QFont::Normal);
        look.textColour = look.iconColour;
        look.spacing = 3;
        look.paddingH = 4;
        look.paddingV = 2;
        look.background = last ? whiteAt(0.08) : QColor(Qt::transparent);
        look.cornerRadius = 4;
        const std::string& name = trail[index]->name();
        auto* crumb =
            new StyledButton(name.empty() ? QStringLiteral("~") : plainText(name), look, crumbRow);
        connect(crumb, &QAbstractButton::clicked, this,
                [this, index] { m_state.navigateBreadcrumb(static_cast<int>(index)); });
        layout->addWidget(crumb);
        m_crumbs.push_back(crumb);
        if (!last) {
            layout->addWidget(makeLabel(QStringLiteral("\u203A"), uiFont(11), whiteAt(0.35)));
        }
    }
    crumbRow->adjustSize();
    // The old row goes with setWidget's replacement.
    m_crumbArea->setWidget(crumbRow);
    m_crumbArea->setFixedHeight(crumbRow->height());
    m_crumbArea->setMaximumWidth(std::min(380, crumbRow->width()));
}

void ResultCanvas::updateTheme() {
    const TreemapTheme theme = m_state.currentTheme();
    ButtonLook look = m_theme->look();
    const auto colours = previewColors(theme);
    look.dots.assign(colours.begin(), colours.begin() + std::min<std::size_t>(3, colours.size()));
    m_theme->setLook(std::move(look));
    m_theme->setLabel(plainText(std::string(displayName(theme))));
}

void ResultCanvas::connectVisualisation(VisualisationView* view) {
    connect(view, &VisualisationView::selectRequested, this,
            [this](const DiskNodePtr& node) { m_state.setSelectedNodeForInspection(node); });
    connect(view, &VisualisationView::drillDownRequested, this,
            [this](const DiskNodePtr& node) { m_state.drillDownIntoNode(node); });
    connect(view, &VisualisationView::revealRequested, this,
            [this](const DiskNodePtr& node) { m_state.revealInFinder(node->url()); });
    connect(view, &VisualisationView::trashRequested, this,
            [this](const DiskNodePtr& node) { m_state.trashNode(node); });
}

QWidget* ResultCanvas::canvas(StorageVisualMode mode) {
    ModePage& page = m_pages.at(static_cast<std::size_t>(mode));
    if (page.widget == nullptr) {
        page = visualModeEntry(mode).build(m_state);
        if (page.view != nullptr) {
            connectVisualisation(page.view);
        }
        m_modes->widget(static_cast<int>(mode))->layout()->addWidget(page.widget);
    }
    return page.widget;
}

VisualisationView* ResultCanvas::visualisation(StorageVisualMode mode) {
    canvas(mode);
    return m_pages.at(static_cast<std::size_t>(mode)).view;
}

TreemapCanvas* ResultCanvas::treemapCanvas() {
    canvas(StorageVisualMode::treemap);
    return qobject_cast<TreemapCanvas*>(
        m_pages.at(static_cast<std::size_t>(StorageVisualMode::treemap)).canvas);
}

ListCanvas* ResultCanvas::listCanvas() {
    canvas(StorageVisualMode::list);
    return qobject_cast<ListCanvas*>(
        m_pages.at(static_cast<std::size_t>(StorageVisualMode::list)).canvas);
}

void ResultCanvas::showMode(bool animated) {
    const StorageVisualMode mode = m_state.storageVisualMode();
    m_switcher->setMode(mode, animated);
    canvas(mode);
    m_modes->setCurrentIndex(static_cast<int>(mode));
    refreshCanvas();
}

void ResultCanvas::refreshCanvas() {
    ++m_refreshes;
    const StorageVisualMode mode = m_state.storageVisualMode();
    canvas(mode);
    m_pages.at(static_cast<std::size_t>(mode)).setRoot(m_state.currentTreemapRoot());
}

} // namespace fernwick::ui
