#include "FernwickUI/MainWindow/ResultCanvas.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/MainWindow/CleanupPromptBar.h"
#include "FernwickUI/MainWindow/CrumbTrail.h"
#include "FernwickUI/MainWindow/ModeSwitcher.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/ListCanvas.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "FernwickUI/Visualisations/ViewPicture.h"
#include "FernwickUI/Visualisations/VisualModes.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace fernwick::ui {

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
    m_modes->installEventFilter(this);
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
    warmUpVisualModes();
    showMode(false);
}

const std::vector<StyledButton*>& ResultCanvas::breadcrumbButtons() const {
    return m_trail->crumbs();
}

QWidget* ResultCanvas::buildHeader() {
    auto* header = new QWidget(this);
    m_header = header;
    setBackground(header, Palette::chromeBackground());
    header->installEventFilter(this);
    auto* rows = new QVBoxLayout(header);
    rows->setContentsMargins(14, 7, 14, 7);
    rows->setSpacing(7);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    rows->addLayout(row);
    m_topRow = row;
    m_lowerRow = new QHBoxLayout;
    m_lowerRow->setSpacing(10);
    m_lowerRow->addStretch(1);
    rows->addLayout(m_lowerRow);

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

    m_trail = new CrumbTrail(header);
    connect(m_trail, &CrumbTrail::crumbChosen, this,
            [this](int index) { m_state.navigateBreadcrumb(index); });
    row->addWidget(m_trail);
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

    m_hint = new QWidget(header);
    auto* hint = new QHBoxLayout(m_hint);
    hint->setContentsMargins(0, 0, 0, 0);
    hint->setSpacing(4);
    hint->addWidget(new IconView("info.circle", 10, whiteAt(0.35), m_hint));
    hint->addWidget(
        makeLabel(QStringLiteral("Right-click for options"), uiFont(10), whiteAt(0.35), m_hint));
    m_hint->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->addWidget(m_hint);
    return header;
}

void ResultCanvas::rebuildBreadcrumbs() {
    const auto& trail = m_state.treemapBreadcrumbs();
    m_back->setVisible(trail.size() >= 2);
    std::vector<QString> names;
    names.reserve(trail.size());
    for (const auto& node : trail) {
        names.push_back(plainText(node->name()));
    }
    m_trail->setTrail(names);
    // The new crumbs follow the back button in the Tab order, as they do on the screen.
    QWidget* previous = m_back;
    for (StyledButton* crumb : m_trail->crumbs()) {
        QWidget::setTabOrder(previous, crumb);
        previous = crumb;
    }
    arrangeHeader();
}

bool ResultCanvas::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_header && event->type() == QEvent::Resize) {
        arrangeHeader();
    }
    // The first picture a mode draws at this size then finds its memory written already.
    if (watched == m_modes && event->type() == QEvent::Resize) {
        PictureMemory::expect((QSizeF(m_modes->size()) * devicePixelRatioF()).toSize());
    }
    return QWidget::eventFilter(watched, event);
}

void ResultCanvas::arrangeHeader() {
    if (m_hint == nullptr || m_trail == nullptr) {
        return; // still being built
    }
    // One line while the back button, the mode switcher, the theme button and the hint fit
    // whole beside the trail's last crumb (the trail scrolls for the others); else the trail
    // and the hint move to a second line, where the trail has more room.
    int needed = m_switcher->sizeHint().width() + m_theme->sizeHint().width() +
                 m_hint->sizeHint().width() + m_trail->minimumSizeHint().width() + 3 * 10;
    if (!m_back->isHidden()) {
        needed += m_back->sizeHint().width() + 10;
    }
    const QMargins margins = m_header->layout()->contentsMargins();
    const bool oneLine = needed <= m_header->width() - margins.left() - margins.right();
    const bool inTopRow = m_topRow->indexOf(m_trail) >= 0;
    if (oneLine == inTopRow) {
        return;
    }
    m_topRow->removeWidget(m_trail);
    m_topRow->removeWidget(m_hint);
    m_lowerRow->removeWidget(m_trail);
    m_lowerRow->removeWidget(m_hint);
    if (oneLine) {
        m_topRow->insertWidget(m_topRow->indexOf(m_back) + 1, m_trail);
        m_topRow->addWidget(m_hint);
    } else {
        m_lowerRow->insertWidget(0, m_trail);
        m_lowerRow->addWidget(m_hint);
    }
}

void ResultCanvas::updateTheme() {
    const TreemapTheme theme = m_state.currentTheme();
    ButtonLook look = m_theme->look();
    const auto colours = previewColors(theme);
    look.dots.assign(colours.begin(), colours.begin() + std::min<std::size_t>(3, colours.size()));
    m_theme->setLook(std::move(look));
    m_theme->setLabel(plainText(std::string(displayName(theme))));
    arrangeHeader();
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
    const auto index = static_cast<std::size_t>(mode);
    const DiskNodePtr& root = m_state.currentTreemapRoot();
    Shown& shown = m_shown.at(index);
    // A view shown again on the folder it showed, the tree unchanged since, keeps its layout,
    // texts and picture; the treemap its tiles (the list manages its own).
    const ModePage& page = m_pages.at(index);
    if ((page.view != nullptr || page.shownAgain) && root && root == shown.root &&
        shown.treeChanges == m_state.treeChanges()) {
        if (page.shownAgain) {
            page.shownAgain();
        }
        return;
    }
    shown = {root, m_state.treeChanges()};
    page.setRoot(root);
}

} // namespace fernwick::ui
