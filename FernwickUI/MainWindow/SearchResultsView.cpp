#include "FernwickUI/MainWindow/SearchResultsView.h"

#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace fernwick::ui {

SearchResultsView::SearchResultsView(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget(this);
    setBackground(header, Palette::toolbarBackground());
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(16, 10, 16, 10);
    headerRow->addWidget(new IconView("magnifyingglass", 13, Palette::accentBlue(), header));
    m_title = makeLabel(QString(), uiFont(13, QFont::Bold), Qt::white, header);
    headerRow->addWidget(m_title);
    headerRow->addStretch(1);
    m_count = makeLabel(QString(), uiFont(11), whiteAt(0.5), header);
    headerRow->addWidget(m_count);
    ButtonLook clear;
    clear.icon = "xmark.circle.fill";
    clear.iconSize = 13;
    clear.iconColour = whiteAt(0.5);
    clear.paddingH = 0;
    clear.paddingV = 0;
    auto* clearButton = new StyledButton(QString(), clear, header);
    connect(clearButton, &QAbstractButton::clicked, this, [this] { m_state.setSearchText(""); });
    headerRow->addWidget(clearButton);
    column->addWidget(header);
    column->addWidget(makeDivider(Qt::Horizontal, this));

    m_body = new QStackedWidget(this);
    auto* empty = new QWidget(m_body);
    auto* emptyColumn = new QVBoxLayout(empty);
    emptyColumn->setSpacing(8);
    emptyColumn->addStretch(1);
    auto* glass = new IconView("magnifyingglass", 28, whiteAt(0.3), empty);
    emptyColumn->addWidget(glass, 0, Qt::AlignHCenter);
    emptyColumn->addWidget(makeLabel(QStringLiteral("No Matching Files Found"),
                                     uiFont(13, QFont::DemiBold), whiteAt(0.7), empty),
                           0, Qt::AlignHCenter);
    m_emptyHint = makeLabel(QString(), uiFont(11), whiteAt(0.4), empty);
    emptyColumn->addWidget(m_emptyHint, 0, Qt::AlignHCenter);
    emptyColumn->addStretch(1);
    m_body->addWidget(empty);

    m_list = new QScrollArea(m_body);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setWidgetResizable(true);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* rows = new QWidget;
    setBackground(rows, Palette::contentBackground());
    m_rowColumn = new QVBoxLayout(rows);
    m_rowColumn->setContentsMargins(0, 0, 0, 0);
    m_rowColumn->setSpacing(1);
    m_rowColumn->addStretch(1);
    m_list->setWidget(rows);
    m_body->addWidget(m_list);
    column->addWidget(m_body, 1);

    // The rows are made and polished now, while no one types: a keystroke on a large tree
    // changes all of them, and making 50 rows then cost the window more than a frame.
    while (m_made.size() < static_cast<std::size_t>(AppState::kSearchLimit)) {
        addRow();
    }
    connect(&m_state, &AppState::searchTextChanged, this, &SearchResultsView::requery);
    connect(&m_state, &AppState::rootNodeChanged, this, &SearchResultsView::requery);
    connect(&m_state, &AppState::treeChanged, this, &SearchResultsView::requery);
    requery();
}

bool SearchResultsView::showsEmptyState() const {
    return m_body->currentIndex() == 0;
}

void SearchResultsView::requery() {
    m_title->setText(QStringLiteral("Search Results for \"") +
                     QString::fromStdString(m_state.searchText()) + QStringLiteral("\""));
    m_emptyHint->setText(
        m_state.rootNode()
            ? QStringLiteral("Try a different search query.")
            : QStringLiteral("Run a scan on your Home folder or drive first to search files."));
    if (QString::fromStdString(m_state.searchText()).trimmed().isEmpty()) {
        showResults({});
        return;
    }
    ++m_queries;
    m_state.searchAsync(m_state.searchText(), [self = QPointer<SearchResultsView>(this)](
                                                  std::vector<DiskNodePtr> results) {
        if (self) {
            self->showResults(std::move(results));
        }
    });
}

void SearchResultsView::showResults(std::vector<DiskNodePtr> results) {
    m_count->setText(QString::number(results.size()) + QStringLiteral(" matches"));
    m_body->setCurrentIndex(results.empty() ? 0 : 1);
    // The rows are filled again. The same nodes (by id: a change made while the tree was read
    // copies them) keep the scroll position; a change may still have resized them.
    const bool same = std::equal(results.begin(), results.end(), m_shown.begin(), m_shown.end(),
                                 [](const DiskNodePtr& a, const DiskNodePtr& b) {
                                     return a == b || (!a->id().isNil() && a->id() == b->id());
                                 });
    m_shown = std::move(results);
    while (m_made.size() < m_shown.size()) {
        addRow();
    }
    m_rows.clear();
    for (std::size_t i = 0; i < m_made.size(); ++i) {
        Row& row = m_made[i];
        if (i < m_shown.size()) {
            fill(row, *m_shown[i]);
            row.widget->show();
            m_rows.push_back(row.widget);
        } else {
            row.widget->hide();
        }
    }
    if (!same) {
        m_list->verticalScrollBar()->setValue(0);
    }
}

void SearchResultsView::fill(Row& row, const DiskNode& node) {
    const bool folder = node.isDirectory();
    row.icon->setName(folder ? "folder.fill" : "doc.fill");
    row.icon->setColour(folder ? Palette::folderIcon() : Palette::fileIcon());
    row.name->setText(plainText(node.name()));
    row.path->setText(plainText(node.path()));
    row.size->setText(plainText(node.formattedSize()));
    row.drill->setVisible(folder);
}

void SearchResultsView::addRow() {
    const std::size_t index = m_made.size();
    Row row;
    row.widget = new QWidget;
    setBackground(row.widget, whiteAt(0.02));
    auto* layout = new QHBoxLayout(row.widget);
    layout->setContentsMargins(14, 6, 14, 6);
    layout->setSpacing(10);
    row.icon = new IconView("doc.fill", 13, Palette::fileIcon(), row.widget);
    row.icon->setFrameWidth(16);
    layout->addWidget(row.icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    row.name = makeLabel(QString(), uiFont(12, QFont::Medium), Qt::white, row.widget);
    row.name->setWordWrap(true);
    texts->addWidget(row.name);
    row.path = new ElidedLabel(uiFont(10, QFont::Normal, FontDesign::monospaced), whiteAt(0.4),
                               row.widget);
    texts->addWidget(row.path);
    layout->addLayout(texts, 1);
    row.size = makeLabel(QString(), uiFont(11, QFont::Normal, FontDesign::monospaced),
                         Palette::sizeGreen(), row.widget);
    layout->addWidget(row.size);
    auto* reveal = new StyledButton(
        QStringLiteral("Reveal"),
        buttonLook(ButtonStyle::bordered, uiFont(10), QColor(), ControlSize::small), row.widget);
    connect(reveal, &QAbstractButton::clicked, this, [this, index] {
        if (index < m_shown.size()) {
            m_state.revealInFinder(m_shown[index]->url());
        }
    });
    layout->addWidget(reveal);
    row.drill = new StyledButton(QStringLiteral("Drill Down"),
                                 buttonLook(ButtonStyle::borderedProminent, uiFont(10),
                                            Palette::systemBlue(), ControlSize::small),
                                 row.widget);
    // The search is left first, so the drilled folder is what the window shows. Leaving it
    // empties the rows, so the node is taken before.
    connect(row.drill, &QAbstractButton::clicked, this, [this, index] {
        if (index < m_shown.size()) {
            const DiskNodePtr node = m_shown[index];
            m_state.setSearchText("");
            m_state.drillDownIntoNode(node);
        }
    });
    layout->addWidget(row.drill);
    m_rowColumn->insertWidget(static_cast<int>(index), row.widget);
    row.widget->hide();
    row.widget->ensurePolished();
    m_made.push_back(row);
}

} // namespace fernwick::ui
