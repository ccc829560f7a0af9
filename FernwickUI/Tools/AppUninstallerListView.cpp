#include "FernwickUI/Tools/AppUninstallerListView.h"

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/PaintedCardList.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/Spinner.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/InstalledAppList.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

namespace {

constexpr int kSectionInset = 18;
constexpr double kLeftoverIconWidth = 16;

QHBoxLayout* makeValueRow(const QString& title, const QString& value, const QColor& valueColour,
                          QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(makeLabel(title, uiFont(12), Qt::white, parent));
    row->addStretch(1);
    row->addWidget(makeLabel(value, uiFont(12, QFont::Bold), valueColour, parent));
    return row;
}

// A leftover card: the symbol, the name (wrapping) over the path (one line), and the size.
struct LeftoverFonts {
    QFont name = uiFont(11, QFont::DemiBold);
    QFont path = uiFont(9);
    QFont size = uiFont(11, QFont::Bold);
    int rowHeight() const {
        return static_cast<int>(
            std::ceil(QFontMetricsF(name).height() + 1 + QFontMetricsF(path).height()));
    }
    // The width of the name and the path in a card's content `width` wide.
    double textWidth(const AppAssociatedItem& item, double width) const {
        const double sizeWidth =
            QFontMetricsF(size).horizontalAdvance(plainText(item.formattedSize()));
        return std::max(0.0, width - kLeftoverIconWidth - 8 - sizeWidth - 8);
    }
    double contentHeight(const AppAssociatedItem& item, double width) const {
        return wrappedTextSize(plainText(item.name), name, textWidth(item, width)).height() + 1 +
               QFontMetricsF(path).height();
    }
};

void paintLeftover(QPainter& painter, const QRectF& card, const AppAssociatedItem& item) {
    const LeftoverFonts f;
    const QRectF icon(card.left(), card.top(), kLeftoverIconWidth, card.height());
    drawSystemIcon(painter, icon, "folder.badge.gearshape", 13, FernwickTheme::libraryPurple());
    const QString size = plainText(item.formattedSize());
    const double sizeWidth = QFontMetricsF(f.size).horizontalAdvance(size);
    painter.setFont(f.size);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(card.right() - sizeWidth - 1, card.top(), sizeWidth + 1, card.height()),
                     Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, size);
    const double left = icon.right() + 8;
    const double width = f.textWidth(item, card.width());
    const QString name = plainText(item.name);
    const double nameHeight = wrappedTextSize(name, f.name, width).height();
    const double pathHeight = QFontMetricsF(f.path).height();
    const double top = card.center().y() - (nameHeight + 1 + pathHeight) / 2;
    drawWrapped(painter, QRectF(left, top, width, nameHeight), name, f.name, Qt::white);
    drawPathLine(painter, QRectF(left, top + nameHeight + 1, width, pathHeight),
                 plainText(item.url.string()), f.path, FernwickTheme::textMuted());
}

} // namespace

std::vector<InstalledApp> AppUninstallerListView::visibleApps(const std::vector<InstalledApp>& apps,
                                                              const std::string& searchText) {
    if (searchText.empty()) {
        return apps;
    }
    const QString needle = plainText(searchText);
    std::vector<InstalledApp> visible;
    for (const auto& app : apps) {
        if (plainText(app.name).contains(needle, Qt::CaseInsensitive) ||
            (app.bundleIdentifier &&
             plainText(*app.bundleIdentifier).contains(needle, Qt::CaseInsensitive))) {
            visible.push_back(app);
        }
    }
    return visible;
}

AppUninstallerListView::AppUninstallerListView(AppState& state, const ToolSeams& /*seams*/,
                                               QWidget* parent)
    : QWidget(parent), m_state(state) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(1);
    setBackground(splitter, FernwickTheme::sidebarBackground());
    layout->addWidget(splitter);

    splitter->addWidget(buildLeftPane());
    m_right = new QStackedWidget;
    m_right->setMinimumWidth(350);
    setBackground(m_right, FernwickTheme::appBackground());
    m_noSelection = new QWidget(m_right);
    {
        auto* column = new QVBoxLayout(m_noSelection);
        column->setSpacing(12);
        column->addStretch(1);
        column->addWidget(
            new IconView("app.badge.checkmark", 44, FernwickTheme::textMuted(), m_noSelection), 0,
            Qt::AlignHCenter);
        QLabel* text = makeLabel(QStringLiteral("Select an application from the list to view "
                                                "leftover files and uninstall options."),
                                 subheadline(), FernwickTheme::textSecondary(), m_noSelection);
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignHCenter);
        text->setFixedWidth(300);
        column->addWidget(text, 0, Qt::AlignHCenter);
        column->addStretch(1);
    }
    m_right->addWidget(m_noSelection);
    splitter->addWidget(m_right);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({380, 420});

    connect(&m_state, &AppState::installedAppsChanged, this, &AppUninstallerListView::refreshList);
    connect(&m_state, &AppState::isScanningAppsChanged, this,
            &AppUninstallerListView::refreshLoading);
    connect(&m_state, &AppState::selectedAppForInspectionChanged, this, [this] {
        m_model->refreshHighlight();
        refreshInspector();
    });
    refreshList();
    refreshLoading();
    refreshInspector();
}

QWidget* AppUninstallerListView::buildLeftPane() {
    auto* pane = new QWidget;
    pane->setMinimumWidth(320);
    setBackground(pane, FernwickTheme::sidebarBackground());
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget(pane);
    setBackground(header, FernwickTheme::cardBackground());
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 14, 14, 14);
    row->addWidget(new IconView("magnifyingglass", 13, FernwickTheme::textMuted(), header));
    m_search = new QLineEdit(header);
    m_search->setFrame(false);
    m_search->setPlaceholderText(QStringLiteral("Search installed apps..."));
    m_search->setFont(uiFont(13));
    QPalette palette = m_search->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::PlaceholderText, FernwickTheme::textMuted());
    m_search->setPalette(palette);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_view.searchText = text.toStdString();
        refreshList();
    });
    row->addWidget(m_search, 1);
    ButtonLook refreshLook = buttonLook(ButtonStyle::plain, uiFont(13));
    refreshLook.icon = "arrow.clockwise";
    refreshLook.iconSize = 13;
    refreshLook.paddingH = 2;
    auto* refresh = new StyledButton(QString(), refreshLook, header);
    refresh->setObjectName(QStringLiteral("rescanApps"));
    connect(refresh, &StyledButton::clicked, this, [this] { m_state.scanInstalledApps(); });
    row->addWidget(refresh);
    column->addWidget(header);
    column->addWidget(makeDivider(Qt::Horizontal, pane));

    m_leftContent = new QStackedWidget(pane);
    m_loading = new QWidget(m_leftContent);
    {
        auto* loading = new QVBoxLayout(m_loading);
        loading->addStretch(1);
        loading->addWidget(new Spinner(32, m_loading), 0, Qt::AlignHCenter);
        loading->addWidget(makeLabel(QStringLiteral("Locating Applications & Leftovers..."),
                                     uiFont(13), FernwickTheme::textSecondary(), m_loading),
                           0, Qt::AlignHCenter);
        loading->addStretch(1);
    }
    m_model = new InstalledAppModel(
        [this]() -> std::optional<Uuid> {
            const auto& selected = m_state.selectedAppForInspection();
            return selected ? std::optional(selected->id) : std::nullopt;
        },
        this);
    m_list = new RowList(m_model, new InstalledAppDelegate(this), true, m_leftContent);
    setBackground(m_list->viewport(), FernwickTheme::sidebarBackground());
    // The list is the selection: Tab reaches it and the arrow keys move through it.
    m_list->setFocusPolicy(Qt::StrongFocus);
    m_list->installEventFilter(this);
    connect(m_list->rowDelegate(), &RowDelegate::triggered, this,
            [this](const QModelIndex& index, int /*action*/) {
                m_state.setSelectedAppForInspection(m_model->app(index.row()));
            });
    m_leftContent->addWidget(m_loading);
    m_leftContent->addWidget(m_list);
    column->addWidget(m_leftContent, 1);
    return pane;
}

bool AppUninstallerListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && moveSelection(key->key())) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool AppUninstallerListView::moveSelection(int key) {
    const int count = m_model->rowCount();
    const auto& selected = m_state.selectedAppForInspection();
    // A selection that is not among the rows shown (filtered out, uninstalled) counts as none.
    const int current = selected ? m_model->rowOf(selected->id) : -1;
    int next = -1;
    switch (key) {
    case Qt::Key_Up:
        next = current < 0 ? count - 1 : std::max(0, current - 1);
        break;
    case Qt::Key_Down:
        next = current < 0 ? 0 : std::min(count - 1, current + 1);
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = count - 1;
        break;
    default:
        return false;
    }
    if (count > 0 && next != current) {
        m_state.setSelectedAppForInspection(m_model->app(next));
        m_list->scrollTo(m_model->index(next, 0));
    }
    return true;
}

void AppUninstallerListView::refreshList() {
    m_model->setApps(visibleApps(m_state.installedApps(), m_view.searchText));
}

void AppUninstallerListView::refreshLoading() {
    m_leftContent->setCurrentWidget(m_state.isScanningApps() ? m_loading : m_list);
}

void AppUninstallerListView::refreshInspector() {
    if (m_inspector != nullptr) {
        m_right->removeWidget(m_inspector);
        m_inspector->deleteLater();
        m_inspector = nullptr;
    }
    const auto& selected = m_state.selectedAppForInspection();
    if (!selected) {
        m_right->setCurrentWidget(m_noSelection);
        return;
    }
    m_inspector = buildInspector(*selected);
    m_right->addWidget(m_inspector);
    m_right->setCurrentWidget(m_inspector);
}

QWidget* AppUninstallerListView::buildInspector(const InstalledApp& app) {
    auto* inspector = new QWidget;
    inspector->setObjectName(QStringLiteral("appInspector"));
    auto* column = new QVBoxLayout(inspector);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    auto* header = new QWidget(inspector);
    setBackground(header, FernwickTheme::cardBackground());
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(18, 18, 18, 18);
    headerRow->setSpacing(16);
    headerRow->addWidget(new IconView("app.fill", 36, FernwickTheme::primaryBlue(), header));
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    QFont title = title3();
    title.setBold(true);
    // A long name, version or identifier wraps beside the button rather than being cut.
    names->addWidget(new WrappedLabel(plainText(app.name), title, Qt::white, header));
    if (app.version) {
        names->addWidget(new WrappedLabel(QStringLiteral("Version ") + plainText(*app.version),
                                          subheadline(), FernwickTheme::textSecondary(), header));
    }
    if (app.bundleIdentifier) {
        names->addWidget(new WrappedLabel(plainText(*app.bundleIdentifier), uiFont(11),
                                          FernwickTheme::textMuted(), header));
    }
    headerRow->addLayout(names);
    headerRow->addStretch(1);
    ButtonLook uninstallLook = buttonLook(ButtonStyle::borderedProminent, uiFont(13, QFont::Bold),
                                          FernwickTheme::dangerRed());
    uninstallLook.icon = "trash.fill";
    uninstallLook.iconSize = 13;
    auto* uninstall = new StyledButton(QStringLiteral("Uninstall"), uninstallLook, header);
    connect(uninstall, &StyledButton::clicked, this, [this, app] { confirmUninstall(app); });
    headerRow->addWidget(uninstall);
    column->addWidget(header);
    column->addWidget(makeDivider(Qt::Horizontal, inspector));
    column->addWidget(buildStorageCard(app));
    QWidget* leftovers = buildLeftovers(app);
    column->addWidget(leftovers, app.relatedItems.empty() ? 0 : 1);
    if (app.relatedItems.empty()) {
        column->addStretch(1);
    }
    return inspector;
}

QWidget* AppUninstallerListView::buildStorageCard(const InstalledApp& app) {
    auto* inset = new QWidget;
    auto* insetLayout = new QVBoxLayout(inset);
    insetLayout->setContentsMargins(kSectionInset, 0, kSectionInset, 0);
    auto* card = new CardFrame(10, 12, inset);
    card->column()->setSpacing(8);
    card->column()->addWidget(makeLabel(QStringLiteral("STORAGE BREAKDOWN"),
                                        uiFont(10, QFont::Bold), FernwickTheme::textMuted(), card));
    card->column()->addLayout(makeValueRow(QStringLiteral("Application Binary"),
                                           plainText(DiskNode::formatBytes(app.appSize)), Qt::white,
                                           card));
    card->column()->addLayout(
        makeValueRow(QStringLiteral("Associated Files & Leftovers"),
                     plainText(DiskNode::formatBytes(app.totalSize() - app.appSize)),
                     FernwickTheme::warningAmber(), card));
    insetLayout->addWidget(card);
    return inset;
}

QWidget* AppUninstallerListView::buildLeftovers(const InstalledApp& app) {
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(kSectionInset, 0, kSectionInset, 0);
    column->setSpacing(8);
    column->addWidget(makeLabel(QStringLiteral("ASSOCIATED DATA & LEFTOVERS (") +
                                    QString::number(app.relatedItems.size()) + QStringLiteral(")"),
                                uiFont(10, QFont::Bold), FernwickTheme::textMuted(), section));
    if (app.relatedItems.empty()) {
        column->addWidget(makeLabel(QStringLiteral("No associated leftover files detected."),
                                    uiFont(12), FernwickTheme::textSecondary(), section));
        return section;
    }
    const std::vector<AppAssociatedItem> items = app.relatedItems;
    auto* cards = new PaintedCardList(
        LeftoverFonts().rowHeight() + 16, 6, 8, 6,
        [items](QPainter& painter, const QRectF& card, int row) {
            paintLeftover(painter, card, items[static_cast<std::size_t>(row)]);
        },
        [items](int row) {
            const auto& item = items[static_cast<std::size_t>(row)];
            return QStringList{plainText(item.name), plainText(item.url.string()),
                               plainText(item.formattedSize())};
        });
    cards->setContentHeight([items](int row, double width) {
        return LeftoverFonts().contentHeight(items[static_cast<std::size_t>(row)], width);
    });
    cards->setObjectName(QStringLiteral("leftovers"));
    cards->setRowCount(static_cast<int>(items.size()));
    auto* scroll = new QScrollArea(section);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBackground(scroll->viewport(), FernwickTheme::appBackground());
    auto* holder = new QWidget;
    setBackground(holder, FernwickTheme::appBackground());
    auto* holderColumn = new QVBoxLayout(holder);
    holderColumn->setContentsMargins(0, 0, 0, 0);
    holderColumn->addWidget(cards);
    holderColumn->addStretch(1);
    scroll->setWidget(holder);
    column->addWidget(scroll, 1);
    return section;
}

void AppUninstallerListView::confirmUninstall(const InstalledApp& app) {
    m_view.appToUninstall = app;
    m_view.showConfirmUninstall = true;
    const QString name =
        m_view.appToUninstall ? plainText(m_view.appToUninstall->name) : QStringLiteral("App");
    QString message =
        QStringLiteral("The application bundle and its associated support containers, caches, "
                       "and preference files will be moved safely to Trash.");
    QString destructive = QStringLiteral("Move App and Leftovers to Trash");
    if (m_view.appToUninstall && m_view.appToUninstall->isAppImage()) {
        // An AppImage's leftovers are listed, not moved: only the file and its launchers (the
        // leftovers listed as selected) go.
        const auto& items = m_view.appToUninstall->relatedItems;
        const bool launcher =
            std::any_of(items.begin(), items.end(),
                        [](const AppAssociatedItem& item) { return item.isSelected; });
        message = (launcher ? QStringLiteral("The AppImage and its desktop launcher will be moved "
                                             "safely to Trash.")
                            : QStringLiteral("The AppImage will be moved safely to Trash.")) +
                  QStringLiteral(" Its settings, data and cache folders stay where they are.");
        destructive = QStringLiteral("Move App to Trash");
    }
    m_confirmation = new ConfirmationDialog(
        QStringLiteral("Uninstall ") + name + QStringLiteral("?"), message, destructive, this);
    m_confirmation->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_confirmation, &QDialog::finished, this, [this](int result) {
        m_view.showConfirmUninstall = false;
        // The pending application stays: the next "Uninstall" replaces it.
        if (result == QDialog::Accepted && m_view.appToUninstall) {
            m_state.uninstallApp(*m_view.appToUninstall);
        }
    });
    m_confirmation->open();
}

} // namespace fernwick::ui
