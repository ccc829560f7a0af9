#include "FernwickUI/Tools/SettingsView.h"

#include "FernwickCore/Platform/Clock.h"
#include "FernwickUI/Kit/Badge.h"
#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/DiagnosticsReport.h"
#include "FernwickUI/Tools/ProcessFacts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

constexpr int kCardRadius = 12;
constexpr int kCardPadding = 18;
constexpr int kCardSpacing = 14;
constexpr int kRowRadius = 6;
constexpr int kRowPadding = 8;

// A card's column: the card style at radius 12, inset 18.
CardFrame* makeCard(QWidget* parent) {
    auto* card = new CardFrame(kCardRadius, kCardPadding, parent);
    card->column()->setSpacing(kCardSpacing);
    return card;
}

// A symbol and a title in the headline font, white, as one label.
QHBoxLayout* makeTitleRow(const char* icon, const QString& title, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(new IconView(icon, 13, Qt::white, parent));
    row->addWidget(makeLabel(title, headline(), Qt::white, parent));
    return row;
}

QLabel* makeWrappedText(const QString& text, const QFont& font, const QColor& colour,
                        QWidget* parent) {
    QLabel* label = makeLabel(text, font, colour, parent);
    label->setWordWrap(true);
    return label;
}

// A rounded strip on the app background: the empty text and each protected path sit in one.
CardFrame* makeInsetBox(QWidget* parent) {
    auto* box = new CardFrame(kRowRadius, kRowPadding, parent);
    box->setFill(FernwickTheme::appBackground());
    box->setStroke(Qt::transparent, 0);
    return box;
}

BadgeLook accessBadgeLook(bool fullAccess) {
    BadgeLook look;
    look.font = uiFont(10, QFont::Bold);
    look.colour = fullAccess ? FernwickTheme::developerGreen() : Palette::standardAccessBadge();
    look.paddingH = 8;
    look.paddingV = 3;
    look.cornerRadius = 4;
    look.backgroundOpacity = 0.15;
    return look;
}

} // namespace

SettingsView::SettingsView(AppState& state, const ToolSeams& seams, QWidget* parent)
    : QWidget(parent), m_state(state), m_seams(withDefaultDialogs(seams)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto* page = new QWidget;
    setBackground(page, FernwickTheme::appBackground());
    setBackground(scroll->viewport(), FernwickTheme::appBackground());
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(24);
    column->addWidget(buildHeader());
    column->addWidget(buildProtectionCard());
    column->addWidget(buildPermissionsCard());
    column->addWidget(buildDiagnosticsCard());
    column->addStretch(1);
    scroll->setWidget(page);

    connect(&m_state, &AppState::hasFullDiskAccessChanged, this, &SettingsView::updateAccessBadge);
    rebuildPathRows();
}

QWidget* SettingsView::buildHeader() {
    auto* header = new QWidget;
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(makeLabel(QStringLiteral("Settings & Protection"), title2(), Qt::white));
    column->addWidget(
        makeLabel(QStringLiteral("Configure filesystem safety rules, protected folders."),
                  subheadline(), FernwickTheme::textSecondary()));
    return header;
}

QWidget* SettingsView::buildProtectionCard() {
    CardFrame* card = makeCard(this);
    QHBoxLayout* top =
        makeTitleRow("shield.checkered", QStringLiteral("Custom Protected Whitelist"), card);
    top->addStretch(1);
    ButtonLook addLook =
        buttonLook(ButtonStyle::bordered, uiFont(11), QColor(), ControlSize::small);
    addLook.icon = "plus";
    addLook.iconSize = 11;
    auto* add = new StyledButton(QStringLiteral("Add Folder / File"), addLook, card);
    connect(add, &StyledButton::clicked, this, &SettingsView::addPath);
    top->addWidget(add);
    card->column()->addLayout(top);
    card->column()->addWidget(makeWrappedText(
        QStringLiteral("Paths added here are strictly protected from automatic cleaning, smart "
                       "cleanup suggestions, and duplicate removal."),
        uiFont(11), FernwickTheme::textSecondary(), card));
    m_pathRows = new QVBoxLayout;
    m_pathRows->setSpacing(4);
    card->column()->addLayout(m_pathRows);
    return card;
}

QWidget* SettingsView::buildPermissionsCard() {
    CardFrame* card = makeCard(this);
    QHBoxLayout* top = makeTitleRow("lock.shield.fill", QStringLiteral("Disk Permissions"), card);
    top->addStretch(1);
    m_accessBadge = new Badge(QString(), accessBadgeLook(true), card);
    top->addWidget(m_accessBadge);
    card->column()->addLayout(top);
    updateAccessBadge();
    card->column()->addWidget(makeWrappedText(
        QStringLiteral("Tarnbrook Ridar is configured to ask for permission only once. Granting "
                       "Full Disk Access enables deep inspection across your computer without "
                       "repeated OS permission dialogs."),
        uiFont(11), FernwickTheme::textSecondary(), card));

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    ButtonLook openLook = buttonLook(ButtonStyle::borderedProminent, uiFont(11),
                                     Palette::privacySettingsButton(), ControlSize::small);
    openLook.icon = "gearshape";
    openLook.iconSize = 11;
    auto* open =
        new StyledButton(QStringLiteral("Open Privacy & Security Settings"), openLook, card);
    connect(open, &StyledButton::clicked, this,
            [this] { m_state.openSystemFullDiskAccessSettings(); });
    auto* refresh = new StyledButton(
        QStringLiteral("Refresh Status"),
        buttonLook(ButtonStyle::bordered, uiFont(11), QColor(), ControlSize::small), card);
    connect(refresh, &StyledButton::clicked, this, [this] { m_state.checkDiskPermissions(); });
    buttons->addWidget(open);
    buttons->addWidget(refresh);
    buttons->addStretch(1);
    card->column()->addLayout(buttons);
    return card;
}

QWidget* SettingsView::buildDiagnosticsCard() {
    CardFrame* card = makeCard(this);
    QHBoxLayout* top =
        makeTitleRow("hand.raised.fill", QStringLiteral("Privacy & Diagnostics"), card);
    top->addStretch(1);
    card->column()->addLayout(top);
    card->column()->addWidget(makeWrappedText(
        QStringLiteral("Tarnbrook Ridar runs 100% locally on your machine. Your filesystem "
                       "contents, document names, and code files are never uploaded to any "
                       "remote server."),
        caption(), FernwickTheme::textSecondary(), card));
    auto* row = new QHBoxLayout;
    auto* exportButton = new StyledButton(
        QStringLiteral("Export Diagnostic Logs"),
        buttonLook(ButtonStyle::bordered, uiFont(11), QColor(), ControlSize::small), card);
    connect(exportButton, &StyledButton::clicked, this, &SettingsView::exportDiagnostics);
    row->addWidget(exportButton);
    row->addStretch(1);
    card->column()->addLayout(row);
    return card;
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_state.loadProtectedPaths(showWhenDone());
}

AppState::ProtectedPathsDone SettingsView::showWhenDone() {
    return [self = QPointer<SettingsView>(this)](std::vector<std::string> paths) {
        if (self) {
            self->showPaths(std::move(paths));
        }
    };
}

void SettingsView::showPaths(std::vector<std::string> paths) {
    m_view.protectedPaths = std::move(paths);
    rebuildPathRows();
}

void SettingsView::rebuildPathRows() {
    while (QLayoutItem* item = m_pathRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    QWidget* card = m_pathRows->parentWidget();
    if (m_view.protectedPaths.empty()) {
        CardFrame* box = makeInsetBox(card);
        box->column()->addWidget(makeWrappedText(
            QStringLiteral("No custom protected paths added yet. System directories and "
                           "sensitive personal folders (~/.ssh, ~/Documents, keyrings) are "
                           "protected by default."),
            uiFont(11), FernwickTheme::textMuted(), box));
        m_pathRows->addWidget(box);
        return;
    }
    for (const std::string& path : m_view.protectedPaths) {
        CardFrame* box = makeInsetBox(card);
        auto* row = new QHBoxLayout;
        row->addWidget(new IconView("lock.fill", 11, FernwickTheme::developerGreen(), box));
        auto* text =
            new ElidedLabel(uiFont(11, QFont::Normal, FontDesign::monospaced), Qt::white, box);
        text->setElideMode(Qt::ElideRight);
        text->setText(plainText(path));
        row->addWidget(text, 1);
        ButtonLook removeLook = buttonLook(ButtonStyle::plain, uiFont(11));
        removeLook.icon = "trash";
        removeLook.iconSize = 11;
        removeLook.iconColour = FernwickTheme::dangerRed();
        auto* remove = new StyledButton(QString(), removeLook, box);
        remove->setObjectName(QStringLiteral("removeProtectedPath"));
        remove->setAccessibleName(plainText(path));
        connect(remove, &StyledButton::clicked, this,
                [this, path] { m_state.removeProtectedPath(path, showWhenDone()); });
        row->addWidget(remove);
        box->column()->addLayout(row);
        m_pathRows->addWidget(box);
    }
}

void SettingsView::updateAccessBadge() {
    const bool full = m_state.hasFullDiskAccess();
    m_accessBadge->setText(full ? QStringLiteral("FULL DISK ACCESS")
                                : QStringLiteral("STANDARD ACCESS"));
    m_accessBadge->setLook(accessBadgeLook(full));
}

void SettingsView::addPath() {
    const auto chosen = m_seams.chooseProtectedItem(this);
    if (!chosen || chosen->empty()) {
        return;
    }
    m_state.addProtectedPath(chosen->string(), showWhenDone());
}

void SettingsView::exportDiagnostics() {
    const auto chosen = m_seams.chooseReportLocation(this, QString::fromUtf8(kDiagnosticsFileName));
    if (!chosen || chosen->empty()) {
        return;
    }
    m_state.exportDiagnostics(
        *chosen, diagnosticsReport(ProcessFacts::operatingSystemVersion(), Clock::system()->now()));
}

} // namespace fernwick::ui
