#include "FernwickUI/Tools/CleanupReviewView.h"

#include "FernwickUI/Kit/Badge.h"
#include "FernwickUI/Kit/CheckBox.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/Spinner.h"
#include "FernwickUI/Kit/SwitchToggle.h"
#include "FernwickUI/Kit/ToolPage.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/CleanupCandidatesModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr int kRowHeight = 62;
constexpr double kPaddingV = 5;
constexpr double kInset = 16;
constexpr double kSpacing = 12;
constexpr double kIconFrame = 30;
constexpr double kSpinnerSide = 16;

QFont boldTitle3() {
    QFont font = title3();
    font.setBold(true);
    return font;
}

QColor riskColour(RiskLevel level) {
    switch (level) {
    case RiskLevel::low:
        return FernwickTheme::developerGreen();
    case RiskLevel::medium:
        return FernwickTheme::warningAmber();
    case RiskLevel::high:
        return FernwickTheme::dangerRed();
    }
    return FernwickTheme::developerGreen();
}

// Where the parts of a candidate's row go at a given row rectangle; shared by the height, the
// painting and the clicks. The name (beside its badge) and the purpose wrap; the path keeps to
// one line.
struct CandidateLayout {
    double left = 0;      // the middle column's left edge
    double width = 0;     // and its width
    double right = 0;     // the right edge of the size column
    double sizeWidth = 0; // the size column's width
    QSizeF name;
    QSizeF badge;
    double nameLine = 0;
    double path = 0;
    double purpose = 0;
    double column = 0; // the middle column's height
};

class CandidateDelegate final : public RowDelegate {
public:
    CandidateDelegate(const AppState& state, QObject* parent)
        : RowDelegate(parent), m_state(state) {}

    std::vector<RowHit> hits(const QRectF& row, const QModelIndex&) const override {
        return {{checkBoxRect(row, row.left() + kInset).adjusted(-4, -4, 4, 4),
                 CleanupReviewView::tick}};
    }
    bool wrapsTexts() const override { return true; }

protected:
    int rowHeight(const QModelIndex& index, double width) const override {
        const CandidateLayout layout =
            layoutRow(QRectF(0, 0, width, 0), index.data(RowRole::texts).toStringList());
        const double sizeColumn =
            QFontMetricsF(m_size).height() + 2 + QFontMetricsF(m_category).height();
        // Rows of one-line texts keep the list's usual height.
        return std::max(kRowHeight, static_cast<int>(std::ceil(std::max(layout.column, sizeColumn) +
                                                               2 * kPaddingV)));
    }

    void paintRow(QPainter& painter, const QRectF& row, const QModelIndex& index) const override {
        const auto& candidates = m_state.cleanupPlan().candidates;
        if (index.row() >= static_cast<int>(candidates.size())) {
            return;
        }
        const CleanupCandidate& candidate = candidates[static_cast<std::size_t>(index.row())];
        const QStringList texts = index.data(RowRole::texts).toStringList();
        const CandidateLayout layout = layoutRow(row, texts);
        double x = row.left() + kInset;
        paintCheckBox(painter, checkBoxRect(row, x), candidate.isSelected);
        x += CheckBox::kSide + kSpacing;
        drawSystemIcon(painter, QRectF(x, row.top(), kIconFrame, row.height()),
                       systemIcon(candidate.category), 20,
                       FernwickTheme::color(candidate.category));

        // Right column: size over category, as wide as the wider of the two.
        const double sizeHeight = QFontMetricsF(m_size).height();
        const double categoryHeight = QFontMetricsF(m_category).height();
        const double columnTop = row.center().y() - (sizeHeight + 2 + categoryHeight) / 2;
        const double sizeLeft = layout.right - layout.sizeWidth;
        drawLine(painter, QRectF(sizeLeft, columnTop, layout.sizeWidth, sizeHeight), texts[4],
                 m_size, FernwickTheme::accentCyan(), Qt::AlignRight | Qt::AlignVCenter);
        drawLine(
            painter, QRectF(sizeLeft, columnTop + sizeHeight + 2, layout.sizeWidth, categoryHeight),
            texts[5], m_category, FernwickTheme::textMuted(), Qt::AlignRight | Qt::AlignVCenter);

        // Middle column: name and badge, path, purpose; 3 apart, centred in the row.
        double y = row.center().y() - layout.column / 2;
        drawWrapped(painter,
                    QRectF(layout.left, y + (layout.nameLine - layout.name.height()) / 2,
                           std::max(0.0, layout.width - layout.badge.width() - 8),
                           layout.name.height()),
                    texts[0], m_name, Qt::white);
        paintBadge(painter,
                   QPointF(layout.left + layout.name.width() + 8,
                           y + (layout.nameLine - layout.badge.height()) / 2),
                   texts[1], BadgeLook{m_badge, riskColour(candidate.riskLevel)});
        y += layout.nameLine + 3;
        drawPathLine(painter, QRectF(layout.left, y, layout.width, layout.path), texts[2], m_path,
                     FernwickTheme::textMuted());
        y += layout.path + 3;
        drawWrapped(painter, QRectF(layout.left, y, layout.width, layout.purpose), texts[3],
                    m_purpose, FernwickTheme::textSecondary());
    }

private:
    CandidateLayout layoutRow(const QRectF& row, const QStringList& texts) const {
        CandidateLayout layout;
        layout.left = row.left() + kInset + CheckBox::kSide + kSpacing + kIconFrame + kSpacing;
        layout.sizeWidth = std::max(QFontMetricsF(m_size).horizontalAdvance(texts.value(4)),
                                    QFontMetricsF(m_category).horizontalAdvance(texts.value(5)));
        layout.right = row.right() - kInset;
        layout.width = std::max(0.0, layout.right - layout.sizeWidth - kSpacing - layout.left);
        layout.badge = badgeSize(texts.value(1), BadgeLook{m_badge, QColor()});
        layout.name = wrappedTextSize(texts.value(0), m_name,
                                      std::max(0.0, layout.width - layout.badge.width() - 8));
        layout.nameLine = std::max(layout.name.height(), QFontMetricsF(m_name).height());
        layout.path = QFontMetricsF(m_path).height();
        layout.purpose = wrappedTextSize(texts.value(3), m_purpose, layout.width).height();
        layout.column = layout.nameLine + 3 + layout.path + 3 + layout.purpose;
        return layout;
    }

    const AppState& m_state;
    QFont m_name = uiFont(13, QFont::DemiBold);
    QFont m_badge = uiFont(9, QFont::Bold);
    QFont m_path = uiFont(10);
    QFont m_purpose = uiFont(11);
    QFont m_size = uiFont(14, QFont::Bold);
    QFont m_category = uiFont(10);
};

} // namespace

CleanupReviewView::CleanupReviewView(AppState& state, const ToolSeams& /*seams*/, QWidget* parent)
    : QWidget(parent), m_state(state),
      m_page(new ToolPage(QStringLiteral("Smart Cleanup"),
                          QStringLiteral("Review disposable caches, temporary build items, and "
                                         "installer files before moving to Trash."),
                          this)),
      m_model(new CleanupCandidatesModel(state, this)), m_dryRun(new SwitchToggle(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_page);

    auto* labels = new QVBoxLayout;
    labels->setSpacing(2);
    QLabel* title = makeLabel(QStringLiteral("Dry Run Simulation"), uiFont(12, QFont::DemiBold),
                              Qt::white, this);
    QLabel* hint = makeLabel(QStringLiteral("Test safety without moving files"), uiFont(10),
                             FernwickTheme::textMuted(), this);
    title->setAlignment(Qt::AlignRight);
    hint->setAlignment(Qt::AlignRight);
    labels->addWidget(title);
    labels->addWidget(hint);
    m_page->headerTrailing()->addLayout(labels);
    m_page->headerTrailing()->addWidget(m_dryRun);
    connect(m_dryRun, &QAbstractButton::toggled, this, &CleanupReviewView::updateFooter);

    auto* delegate = new CandidateDelegate(state, this);
    m_list = new RowList(m_model, delegate, false, this);
    m_list->enableRowKeys();
    connect(delegate, &RowDelegate::triggered, this, [this](const QModelIndex& index, int) {
        const auto& candidates = m_state.cleanupPlan().candidates;
        if (index.row() < static_cast<int>(candidates.size())) {
            const auto& candidate = candidates[static_cast<std::size_t>(index.row())];
            m_state.setCandidateSelected(candidate.id, !candidate.isSelected);
        }
    });
    const EmptyState empty =
        makeEmptyState({"checkmark.shield.fill", 52, FernwickTheme::developerGreen(),
                        QStringLiteral("No Cleanup Candidates"), boldTitle3(),
                        QStringLiteral("Run a scan from the sidebar to discover disposable files."),
                        0, QStringLiteral("Run Scan Now"), 16},
                       this);
    m_empty = empty.widget;
    connect(empty.button, &QAbstractButton::clicked, this, [this] { m_state.startScan(); });
    m_page->addContent(m_list);
    m_page->addContent(m_empty);

    // Footer: the selection, a stretch, the reclaimed line, the run button.
    QHBoxLayout* footer = m_page->footer();
    auto* selection = new QVBoxLayout;
    selection->setSpacing(2);
    selection->addWidget(makeLabel(QStringLiteral("Selected for cleanup:"), uiFont(11),
                                   FernwickTheme::textMuted(), this));
    auto* totals = new QHBoxLayout;
    totals->setSpacing(6);
    m_count = makeLabel(QString(), headline(), Qt::white, this);
    m_size = makeLabel(QString(), headline(), FernwickTheme::developerGreen(), this);
    totals->addWidget(m_count);
    totals->addWidget(
        makeLabel(QStringLiteral("\u2022"), uiFont(13), FernwickTheme::textMuted(), this));
    totals->addWidget(m_size);
    totals->addStretch(1);
    selection->addLayout(totals);
    footer->addLayout(selection);
    footer->addStretch(1);

    m_reclaimedBox = new QWidget(this);
    auto* reclaimed = new QHBoxLayout(m_reclaimedBox);
    reclaimed->setContentsMargins(12, 0, 12, 0);
    reclaimed->setSpacing(6);
    reclaimed->addWidget(
        new IconView("checkmark.circle.fill", 13, FernwickTheme::developerGreen(), m_reclaimedBox));
    m_reclaimed = makeLabel(QString(), uiFont(12, QFont::Bold), FernwickTheme::developerGreen(),
                            m_reclaimedBox);
    reclaimed->addWidget(m_reclaimed);
    footer->addWidget(m_reclaimedBox);

    m_run = new StyledButton(QString(), runLook(), this);
    m_spinner = new Spinner(kSpinnerSide, m_run);
    connect(m_run, &QAbstractButton::clicked, this, &CleanupReviewView::run);
    footer->addWidget(m_run);
    m_page->setFooterVisible(true);

    connect(&m_state, &AppState::cleanupPlanChanged, this, &CleanupReviewView::updatePlan);
    connect(&m_state, &AppState::isCleaningChanged, this, &CleanupReviewView::updateFooter);
    connect(&m_state, &AppState::lastCleanupResultChanged, this, &CleanupReviewView::updateFooter);
    updatePlan();
}

bool CleanupReviewView::showsEmptyState() const {
    return m_page->currentContent() == m_empty;
}

ButtonLook CleanupReviewView::runLook() const {
    const bool dryRun = m_dryRun->isChecked();
    ButtonLook look =
        borderedProminentLook(uiFont(13, QFont::Bold), dryRun ? FernwickTheme::primaryBlue()
                                                              : FernwickTheme::developerGreen());
    look.icon = dryRun ? "play.badge.checkmark" : "trash.fill";
    look.iconSize = 13;
    look.spacing = 6;
    look.paddingH = 18;
    look.paddingV = 8;
    return look;
}

void CleanupReviewView::run() {
    if (m_dryRun->isChecked()) {
        m_state.runCleanup(true);
        return;
    }
    if (m_confirm && m_confirm->isVisible()) {
        return;
    }
    m_confirm = new ConfirmationDialog(
        QStringLiteral("Move Selected Files to Trash?"),
        QStringLiteral("Selected files will be safely moved to the Trash. You can undo or restore "
                       "items from the Trash at any time."),
        QString(), this);
    m_confirm->setAttribute(Qt::WA_DeleteOnClose);
    updateFooter(); // names the size on the destructive button
    // The dialog opens only with the switch off: confirming is always a real run.
    connect(m_confirm, &QDialog::accepted, this, [this] { m_state.runCleanup(false); });
    m_confirm->open();
}

void CleanupReviewView::updatePlan() {
    m_model->update();
    m_page->showContent(m_state.cleanupPlan().candidates.empty() ? m_empty : m_list);
    updateFooter();
}

void CleanupReviewView::updateFooter() {
    const CleanupPlan& plan = m_state.cleanupPlan();
    const QString size = displayText(plan.formattedTotalSelectedSize());
    m_count->setText(QStringLiteral("%1 items").arg(plan.totalSelectedCount()));
    m_size->setText(size);
    const auto& result = m_state.lastCleanupResult();
    m_reclaimedBox->setVisible(result.has_value());
    if (result) {
        m_reclaimed->setText(displayText(result->formattedReclaimedSize()) +
                             QStringLiteral(" Reclaimed"));
    }

    const bool cleaning = m_state.isCleaning();
    ButtonLook look = runLook();
    if (cleaning) {
        look.paddingH += (kSpinnerSide + look.spacing) / 2;
    }
    m_run->setLabel(m_dryRun->isChecked() ? QStringLiteral("Run Dry-Run Check")
                                          : QStringLiteral("Clean Safely to Trash"));
    setButtonEnabled(m_run, look, plan.totalSelectedCount() > 0 && !cleaning);
    m_spinner->setVisible(cleaning);
    m_spinner->move(static_cast<int>(runLook().paddingH) - 4,
                    (m_run->sizeHint().height() - static_cast<int>(kSpinnerSide)) / 2);
    if (m_confirm) {
        m_confirm->destructiveButton()->setText(
            QStringLiteral("Move %1 to Trash")
                .arg(size)
                .replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
}

} // namespace fernwick::ui
