#include "FernwickUI/MainWindow/MainWindow.h"

#include "FernwickCore/Platform/Environment.h"
#include "FernwickUI/Kit/FileChooser.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/SheetOverlay.h"
#include "FernwickUI/MainWindow/Banners.h"
#include "FernwickUI/MainWindow/ErrorStateView.h"
#include "FernwickUI/MainWindow/MainWindowDialogs.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/MainWindow/ScanningView.h"
#include "FernwickUI/MainWindow/SearchField.h"
#include "FernwickUI/MainWindow/SearchResultsView.h"
#include "FernwickUI/MainWindow/SheetRouting.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "FernwickUI/MainWindow/TopToolbar.h"
#include "FernwickUI/MainWindow/UndoToast.h"
#include "FernwickUI/MainWindow/WelcomeView.h"
#include "FernwickUI/MainWindow/WindowActivation.h"
#include "FernwickUI/Visualisations/InspectorBar.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

// Trimmed of white space and line breaks.
bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\n\r\v\f") == std::string::npos &&
           QString::fromStdString(text).trimmed().isEmpty();
}

} // namespace

MainWindow::MainWindow(AppState& state, MainWindowSeams seams, QWidget* parent)
    : QWidget(parent), m_state(state), m_seams(std::move(seams)) {
    m_seams.tools = withDefaultDialogs(std::move(m_seams.tools));
    if (!m_seams.chooseFolder) {
        m_seams.chooseFolder = [run = m_seams.tools.runChooser](QWidget* owner) {
            return chooseFolder(owner, run);
        };
    }
    if (!m_seams.quit) {
        m_seams.quit = [] { QCoreApplication::quit(); };
    }
    if (!m_seams.home) {
        m_seams.home = Environment::current().home;
    }
    setWindowTitle(QStringLiteral("Tarnbrook Ridar"));
    // Brought back after a minimise or a hide, it is maximised or full screen as it was.
    keepWindowState(this);
    setMinimumWidth(1050);
    setBackground(this, Palette::contentBackground());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildMenus(layout);
    // The main view keeps its 700 points below the menu bar.
    setMinimumHeight(700 + m_menuBar->sizeHint().height());
    m_toolbar = new TopToolbar(m_state, this);
    layout->addWidget(m_toolbar);
    layout->addWidget(makeDivider(Qt::Horizontal, this));
    m_updateBanner = new UpdateBanner(m_state, this);
    layout->addWidget(m_updateBanner);
    m_updateDivider = makeDivider(Qt::Horizontal, this);
    layout->addWidget(m_updateDivider);
    m_permissionBanner = new PermissionBanner(m_state, this);
    layout->addWidget(m_permissionBanner);
    m_permissionDivider = makeDivider(Qt::Horizontal, this);
    layout->addWidget(m_permissionDivider);

    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    const auto scanHome = [this] { m_state.startScan(*m_seams.home); };
    m_sidebar = new Sidebar(m_state,
                            SidebarActions{[this] { chooseFolderAndScan(); },
                                           [this] { askToEmptyTrash(); }, *m_seams.home},
                            this);
    body->addWidget(m_sidebar);
    body->addWidget(makeDivider(Qt::Vertical, this));

    m_stack = new QStackedWidget(this);
    setBackground(m_stack, Palette::contentBackground());
    m_searchResults = new SearchResultsView(m_state, m_stack);
    m_welcome = new WelcomeView(
        scanHome, [this] { chooseFolderAndScan(); }, m_stack);
    m_scanning = new ScanningView([this] { m_state.cancelScan(); }, m_stack);
    m_error = new ErrorStateView([this] { m_state.setScanState(ScanState::idle()); }, m_stack);
    m_result = new ResultCanvas(m_state, m_stack);
    for (QWidget* page : {static_cast<QWidget*>(m_searchResults), static_cast<QWidget*>(m_scanning),
                          static_cast<QWidget*>(m_error), static_cast<QWidget*>(m_result),
                          static_cast<QWidget*>(m_welcome)}) {
        m_stack->addWidget(page);
    }
    body->addWidget(m_stack, 1);
    layout->addLayout(body, 1);

    // The sheets show inside the window, over everything but the undo toast.
    m_sheetOverlay = new SheetOverlay(this);
    m_toast = new UndoToast(this);
    // Only the treemap has an inspector; while it shows, in whatever mode the move was made,
    // the toast rests above it.
    m_toast->keepClearOf(m_result->treemapCanvas()->inspector());
    // After a click on the toast the keys go back to the open sheet or the window.
    m_toast->setFocusHome([this]() -> QWidget* {
        return m_sheet ? static_cast<QWidget*>(m_sheet) : static_cast<QWidget*>(this);
    });
    connect(m_toast, &UndoToast::undoRequested, this, [this] { m_state.undoLastTrash(); });
    m_undoShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    m_undoShortcut->setContext(Qt::WindowShortcut);
    m_undoShortcut->setEnabled(false);
    connect(m_undoShortcut, &QShortcut::activated, this, [this] {
        if (m_state.lastTrashed()) {
            m_state.undoLastTrash();
        }
    });

    // The keys the shortcuts list names: the Empty-Trash question (exactly as the sidebar's
    // "Empty" asks it) and the selected item shown in the file manager.
    auto* emptyTrash = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backspace), this);
    emptyTrash->setContext(Qt::WindowShortcut);
    connect(emptyTrash, &QShortcut::activated, this, [this] {
        // The key has nothing to offer while the Trash is empty.
        if (m_state.trashItemCount() > 0) {
            askToEmptyTrash();
        }
    });
    auto* reveal = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    reveal->setContext(Qt::WindowShortcut);
    connect(reveal, &QShortcut::activated, this, [this] {
        if (const DiskNodePtr& selected = m_state.selectedNodeForInspection()) {
            m_state.revealInFinder(selected->url());
        }
    });

    m_searchShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    m_searchShortcut->setContext(Qt::WindowShortcut);
    connect(m_searchShortcut, &QShortcut::activated, this,
            [this] { m_toolbar->searchField()->edit()->setFocus(Qt::ShortcutFocusReason); });

    connect(&m_state, &AppState::availableUpdateChanged, this, &MainWindow::updateBanners);
    connect(&m_state, &AppState::showOneTimePermissionNoticeChanged, this,
            &MainWindow::updateBanners);
    connect(&m_state, &AppState::scanStateChanged, this, &MainWindow::updateContent);
    connect(&m_state, &AppState::searchTextChanged, this, &MainWindow::updateContent);
    connect(&m_state, &AppState::lastTrashedChanged, this, &MainWindow::updateToast);
    connect(&m_state, &AppState::userAlertChanged, this, &MainWindow::updateAlert);
    connect(&m_state, &AppState::activeModalChanged, this, &MainWindow::updateSheet);
    // At start the keys belong to the window, not to the search field: Ctrl+Z undoes, and
    // typing goes nowhere until the user picks a field (Ctrl+F or a click).
    setFocusPolicy(Qt::ClickFocus);
    setFocus();
    updateBanners();
    updateContent();
    updateToast();
    updateAlert();
    updateSheet();
}

MainWindow::~MainWindow() = default;

void MainWindow::chooseFolderAndScan() {
    if (const auto folder = m_seams.chooseFolder(this); folder && !folder->empty()) {
        m_state.startScan(*folder);
    }
}

void MainWindow::askToEmptyTrash() {
    if (m_emptyTrash) {
        return;
    }
    auto* dialog = new EmptyTrashDialog(m_state.trashItemCount(), this);
    m_emptyTrash = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The count the question names follows the Trash while the question exists. The slot holds
    // the dialog itself, not m_emptyTrash, which is cleared as soon as it is answered, while the
    // dialog waits for its deletion.
    connect(&m_state, &AppState::trashItemCountChanged, dialog,
            [this, dialog] { dialog->setItemCount(m_state.trashItemCount()); });
    connect(dialog, &QDialog::accepted, this, [this] { m_state.emptyTrash(); });
    // Answered, it is no longer on screen, even before it is deleted.
    connect(dialog, &QDialog::finished, this, [this] { m_emptyTrash = nullptr; });
    dialog->open();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_hidesOnClose) {
        hide();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // What was raised while the window was hidden shows now.
    updateAlert();
    updateSheet();
}

void MainWindow::updateBanners() {
    const bool update = m_state.availableUpdate().has_value();
    m_updateBanner->setVisible(update);
    m_updateDivider->setVisible(update);
    const bool permission = m_state.showOneTimePermissionNotice();
    m_permissionBanner->setVisible(permission);
    m_permissionDivider->setVisible(permission);
}

void MainWindow::updateContent() {
    const ScanState& scan = m_state.scanState();
    Content content = Content::welcome;
    if (!isBlank(m_state.searchText())) {
        content = Content::searchResults;
    } else {
        switch (scan.kind()) {
        case ScanState::Kind::scanning:
            content = Content::scanning;
            m_scanning->setProgress(plainText(scan.progress()), scan.bytesScanned(),
                                    scan.filesScanned());
            break;
        case ScanState::Kind::error:
            content = Content::error;
            m_error->setMessage(plainText(scan.message()));
            break;
        case ScanState::Kind::completed:
            content = Content::completed;
            break;
        case ScanState::Kind::idle:
            content = Content::welcome;
            break;
        }
    }
    m_content = content;
    m_stack->setCurrentIndex(static_cast<int>(content));
}

void MainWindow::updateToast() {
    const auto& record = m_state.lastTrashed();
    m_undoShortcut->setEnabled(record.has_value());
    if (!record) {
        m_toastID.reset();
        m_toast->dismiss();
        return;
    }
    if (m_toastID == record->id) {
        return;
    }
    m_toastID = record->id;
    m_toast->present(plainText(record->node->name()));
}

void MainWindow::updateAlert() {
    // A dialog opened on a hidden window would show on its own: it waits for the window.
    if (!isVisible()) {
        return;
    }
    const auto& alert = m_state.userAlert();
    if (alert && m_alert && m_alertID == alert->id) {
        return;
    }
    if (m_alert) {
        // Closed by the state (cleared or replaced): the dialog must not clear it again.
        m_alertID.reset();
        m_alert->disconnect(this);
        m_alert->close();
        m_alert = nullptr;
    }
    if (!alert) {
        return;
    }
    m_alertID = alert->id;
    m_alert = new AlertDialog(plainText(alert->title), plainText(alert->message), this);
    m_alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_alert, &QDialog::finished, this, [this, id = alert->id] {
        if (m_state.userAlert() && m_state.userAlert()->id == id) {
            m_alertID.reset();
            m_state.setUserAlert(std::nullopt);
        }
    });
    m_alert->open();
}

void MainWindow::updateSheet() {
    if (!isVisible()) {
        return;
    }
    const auto& modal = m_state.activeModal();
    if (modal && m_sheet && m_sheetModal == modal) {
        return;
    }
    if (m_sheet) {
        m_sheetModal.reset();
        m_sheet->disconnect(this);
        m_sheet->close();
        m_sheet = nullptr;
    }
    // The window's own shortcuts wait behind a sheet; the undo stays (a move made in a sheet can
    // be taken back there).
    for (QShortcut* shortcut : findChildren<QShortcut*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (shortcut != m_undoShortcut) {
            shortcut->setEnabled(!modal);
        }
    }
    if (!modal) {
        return;
    }
    m_sheetModal = modal;
    // Each opening builds the screen afresh, so it starts from its own defaults.
    m_sheet = makeSheet(*modal, m_state, m_seams.tools, this);
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_sheet, &QDialog::finished, this, [this, shown = *modal] {
        if (m_state.activeModal() == shown) {
            m_sheetModal.reset();
            m_state.setActiveModal(std::nullopt);
        }
    });
    // A question or alert open now stays above the sheet and in reach.
    std::vector<QWidget*> behind;
    std::vector<QWidget*> above{m_toast};
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || child == m_sheetOverlay || child == m_toast) {
            continue;
        }
        if (qobject_cast<SheetOverlay*>(child) != nullptr && child->isVisible()) {
            above.push_back(child);
        } else {
            behind.push_back(child);
        }
    }
    m_sheetOverlay->setBlocked(std::move(behind));
    m_sheetOverlay->present(m_sheet);
    // An undo offered before the sheet opened stays in reach above it.
    for (QWidget* widget : above) {
        widget->raise();
    }
    for (QLineEdit* edit : m_sheet->findChildren<QLineEdit*>()) {
        edit->installEventFilter(this);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // A text field of a sheet keeps Ctrl+Z while it has typing to take back; otherwise Ctrl+Z
    // is the undo row's.
    if (event->type() == QEvent::ShortcutOverride && m_undoShortcut->isEnabled()) {
        const auto* edit = qobject_cast<QLineEdit*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (edit != nullptr && !edit->isUndoAvailable() &&
            key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Z)) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace fernwick::ui
