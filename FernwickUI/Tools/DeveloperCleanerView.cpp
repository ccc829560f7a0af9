#include "FernwickUI/Tools/DeveloperCleanerView.h"

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/Kit/Chip.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/Spinner.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Kit/ToolPage.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/DeveloperItemList.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr const char* kAllGroups = "All";

QString bytesText(std::int64_t bytes) {
    return plainText(DiskNode::formatBytes(bytes));
}

ButtonLook chipLook(bool selected) {
    ButtonLook look = selected ? Chip::selectedLook() : Chip::unselectedLook();
    look.paddingH = 12;
    look.paddingV = 5;
    return look;
}

ButtonLook cleanButtonLook(bool withSpinner) {
    ButtonLook look = buttonLook(ButtonStyle::borderedProminent, uiFont(13, QFont::Bold),
                                 FernwickTheme::developerGreen());
    look.icon = "sparkles";
    look.iconSize = 13;
    look.paddingH = 16;
    look.paddingV = 6;
    if (withSpinner) {
        // Room for the small spinner before the label, kept on both sides so the label stays
        // centred.
        look.paddingH += 20;
    }
    return look;
}

QWidget* makeLoadingState(const QString& text, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* column = new QVBoxLayout(widget);
    column->setSpacing(12);
    column->addStretch(1);
    column->addWidget(new Spinner(32, widget), 0, Qt::AlignHCenter);
    column->addWidget(makeLabel(text, uiFont(13), FernwickTheme::textSecondary(), widget), 0,
                      Qt::AlignHCenter);
    column->addStretch(1);
    return widget;
}

} // namespace

std::vector<std::string>
DeveloperCleanerView::groupChips(const std::vector<DeveloperStorageItem>& items) {
    std::vector<std::string> chips{kAllGroups};
    for (const auto& item : items) {
        if (std::find(chips.begin() + 1, chips.end(), item.groupName) == chips.end()) {
            chips.push_back(item.groupName);
        }
    }
    return chips;
}

DeveloperCleanerView::DeveloperCleanerView(AppState& state, const ToolSeams& /*seams*/,
                                           QWidget* parent)
    : QWidget(parent), m_state(state) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_page = new ToolPage(QStringLiteral("Developer Storage Cleaner"),
                          QStringLiteral("Reclaim tens of gigabytes from Xcode DerivedData, Docker "
                                         "VM caches, AI weights, and package managers."),
                          this);
    m_page->setTitleIcon("hammer.fill", FernwickTheme::developerGreen());
    layout->addWidget(m_page);

    ButtonLook rescanLook = buttonLook(ButtonStyle::bordered, uiFont(13));
    rescanLook.icon = "arrow.clockwise";
    rescanLook.iconSize = 13;
    auto* rescan = new StyledButton(QStringLiteral("Rescan Dev Tools"), rescanLook, m_page);
    connect(rescan, &StyledButton::clicked, this, [this] { m_state.scanDeveloperStorage(); });
    m_page->headerTrailing()->addWidget(rescan);

    m_page->addBar(buildGroupBar());
    m_content = new QStackedWidget(m_page);
    m_page->addContent(m_content);

    m_loading = makeLoadingState(QStringLiteral("Scanning Developer Caches, Xcode, and Models..."),
                                 m_content);
    m_model = new DeveloperItemModel(
        [this](const Uuid& id) { return m_view.selectedIDs.count(id) != 0; }, this);
    m_list = new RowList(m_model, new DeveloperItemDelegate(this), false, m_content);
    m_list->enableRowKeys();
    connect(m_list->rowDelegate(), &RowDelegate::triggered, this,
            [this](const QModelIndex& index, int action) {
                if (action == DeveloperItemDelegate::toggle) {
                    toggle(index.row());
                } else if (action == DeveloperItemDelegate::reveal) {
                    m_state.revealInFinder(m_model->item(index.row()).path);
                }
            });
    EmptyStateLook emptyLook;
    emptyLook.icon = "checkmark.circle.fill";
    emptyLook.iconSize = 48;
    emptyLook.iconColour = FernwickTheme::developerGreen();
    emptyLook.title = QStringLiteral("No Developer Artifacts Found");
    emptyLook.titleFont = headline();
    emptyLook.message = QStringLiteral(
        "Your developer toolchains (Xcode, Docker, Ollama, Gradle) have clean caches.");
    const EmptyState empty = makeEmptyState(emptyLook, m_content);
    empty.button->hide();
    m_empty = empty.widget;
    m_content->addWidget(m_loading);
    m_content->addWidget(m_list);
    m_content->addWidget(m_empty);

    buildFooter();

    connect(&m_state, &AppState::developerItemsChanged, this, &DeveloperCleanerView::itemsChanged);
    connect(&m_state, &AppState::isScanningDeveloperChanged, this,
            &DeveloperCleanerView::refreshContent);
    itemsChanged();
}

QWidget* DeveloperCleanerView::buildGroupBar() {
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    auto* strip = new QWidget;
    setBackground(strip, FernwickTheme::sidebarBackground());
    setBackground(scroll->viewport(), FernwickTheme::sidebarBackground());
    m_chipRow = new QHBoxLayout(strip);
    m_chipRow->setContentsMargins(18, 10, 18, 10);
    m_chipRow->setSpacing(8);
    m_chipRow->addStretch(1);
    scroll->setWidget(strip);
    scroll->setFixedHeight(strip->sizeHint().height() + 28);
    return scroll;
}

void DeveloperCleanerView::buildFooter() {
    QHBoxLayout* footer = m_page->footer();
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_totals = makeLabel(QString(), uiFont(11), FernwickTheme::textMuted(), m_page);
    m_status = makeLabel(QString(), headline(), FernwickTheme::developerGreen(), m_page);
    texts->addWidget(m_totals);
    texts->addWidget(m_status);
    footer->addLayout(texts);
    footer->addStretch(1);
    m_cleanButton =
        new StyledButton(QStringLiteral("Move Selected to Trash"), cleanButtonLook(false), m_page);
    m_cleanSpinner = new Spinner(32 * 0.6, m_cleanButton);
    m_cleanSpinner->hide();
    connect(m_cleanButton, &StyledButton::clicked, this, &DeveloperCleanerView::confirmClean);
    footer->addWidget(m_cleanButton);
    m_page->setFooterVisible(true);
}

void DeveloperCleanerView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    resetSelection();
}

std::vector<DeveloperStorageItem> DeveloperCleanerView::selectedItems() const {
    std::vector<DeveloperStorageItem> selected;
    for (const auto& item : m_state.developerItems()) {
        if (item.canClean && m_view.selectedIDs.count(item.id) != 0) {
            selected.push_back(item);
        }
    }
    return selected;
}

std::int64_t DeveloperCleanerView::selectedBytes() const {
    std::int64_t total = 0;
    for (const auto& item : selectedItems()) {
        total = saturatingAdd(total, item.size);
    }
    return total;
}

void DeveloperCleanerView::itemsChanged() {
    // The announcement also comes for an equal list: the ticks reset only when the ordered ids
    // changed (every scan gives fresh ids).
    std::vector<Uuid> ids;
    for (const auto& item : m_state.developerItems()) {
        ids.push_back(item.id);
    }
    if (ids != m_shownIds) {
        m_shownIds = std::move(ids);
        resetSelection();
    }
    rebuildChips();
    refreshList();
    refreshContent();
    refreshFooter();
}

void DeveloperCleanerView::resetSelection() {
    m_view.selectedIDs.clear();
    for (const auto& item : m_state.developerItems()) {
        if (item.canClean && item.isSelected) {
            m_view.selectedIDs.insert(item.id);
        }
    }
    m_model->refreshAllTicks();
    refreshFooter();
}

void DeveloperCleanerView::rebuildChips() {
    std::vector<std::string> names = groupChips(m_state.developerItems());
    if (names != m_chipNames) {
        for (Chip* chip : m_chips) {
            delete chip;
        }
        m_chips.clear();
        m_chipNames = std::move(names);
        for (const std::string& name : m_chipNames) {
            auto* chip = new Chip(plainText(name), chipLook(true), chipLook(false));
            connect(chip, &Chip::clicked, this, [this, name] { chooseGroup(name); });
            m_chipRow->insertWidget(m_chipRow->count() - 1, chip);
            m_chips.push_back(chip);
        }
    }
    for (std::size_t i = 0; i < m_chips.size(); ++i) {
        m_chips[i]->setSelected(m_chipNames[i] == m_view.selectedGroup);
    }
}

void DeveloperCleanerView::chooseGroup(const std::string& group) {
    m_view.selectedGroup = group;
    rebuildChips();
    refreshList();
}

void DeveloperCleanerView::refreshList() {
    std::vector<DeveloperStorageItem> visible;
    for (const auto& item : m_state.developerItems()) {
        if (m_view.selectedGroup == kAllGroups || item.groupName == m_view.selectedGroup) {
            visible.push_back(item);
        }
    }
    m_model->setItems(std::move(visible));
}

void DeveloperCleanerView::refreshContent() {
    if (m_state.isScanningDeveloper()) {
        m_content->setCurrentWidget(m_loading);
    } else if (!m_state.developerItems().empty()) {
        m_content->setCurrentWidget(m_list);
    } else {
        m_content->setCurrentWidget(m_empty);
    }
}

void DeveloperCleanerView::refreshFooter() {
    const std::int64_t detected = [this] {
        std::int64_t total = 0;
        for (const auto& item : m_state.developerItems()) {
            total = saturatingAdd(total, item.size);
        }
        return total;
    }();
    const std::size_t count = selectedItems().size();
    m_totals->setText(QStringLiteral("Detected: ") + bytesText(detected) +
                      QStringLiteral(" • Selected: ") + bytesText(selectedBytes()));
    m_status->setText(count > 0
                          ? QString::number(count) + QStringLiteral(" items ready to move to Trash")
                          : QStringLiteral("Tick the items you want to remove"));
    setButtonEnabled(m_cleanButton, cleanButtonLook(m_view.isCleaning),
                     count > 0 && !m_view.isCleaning);
    m_cleanSpinner->setVisible(m_view.isCleaning);
    if (m_view.isCleaning) {
        const QSize spinner = m_cleanSpinner->sizeHint();
        m_cleanSpinner->move(16, (m_cleanButton->sizeHint().height() - spinner.height()) / 2);
    }
}

void DeveloperCleanerView::toggle(int row) {
    const DeveloperStorageItem& item = m_model->item(row);
    if (!item.canClean) {
        return;
    }
    if (m_view.selectedIDs.erase(item.id) == 0) {
        m_view.selectedIDs.insert(item.id);
    }
    m_model->refreshTick(item.id);
    refreshFooter();
}

void DeveloperCleanerView::confirmClean() {
    const std::size_t count = selectedItems().size();
    if (count == 0 || m_view.isCleaning) {
        return;
    }
    m_view.showConfirm = true;
    m_confirmation = new ConfirmationDialog(
        QStringLiteral("Move ") + bytesText(selectedBytes()) +
            QStringLiteral(" of developer files to Trash?"),
        QStringLiteral("Build caches are regenerated automatically the next time you build. "
                       "Everything stays in the Trash until you empty it."),
        QStringLiteral("Move ") + QString::number(count) + QStringLiteral(" items to Trash"), this);
    m_confirmation->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_confirmation, &QDialog::finished, this, [this](int result) {
        m_view.showConfirm = false;
        if (result == QDialog::Accepted) {
            cleanSelected();
        }
    });
    m_confirmation->open();
}

void DeveloperCleanerView::cleanSelected() {
    // The items are taken now; ticks changed while the clean runs do not join it.
    std::vector<DeveloperStorageItem> items = selectedItems();
    m_view.isCleaning = true;
    refreshFooter();
    m_state.cleanDeveloperItems(std::move(items), [self = QPointer<DeveloperCleanerView>(this)] {
        if (self) {
            self->m_view.isCleaning = false;
            self->refreshFooter();
        }
    });
}

} // namespace fernwick::ui
