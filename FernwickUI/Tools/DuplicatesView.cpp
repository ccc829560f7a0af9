#include "FernwickUI/Tools/DuplicatesView.h"

#include "FernwickUI/Kit/Badge.h"
#include "FernwickUI/Kit/CheckBox.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/Spinner.h"
#include "FernwickUI/Kit/ToolPage.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/DuplicatesModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace fernwick::ui {

namespace {

constexpr int kHeaderHeight = 30;
constexpr int kItemHeight = 36;
constexpr double kPaddingV = 5;
constexpr double kSectionInset = 12; // between the list's edges and a cluster's section
constexpr double kSectionGap = 10;   // under a cluster's section
constexpr double kSectionRadius = 8;
constexpr double kInset = 12; // between a section's edges and its rows' content
constexpr double kSpacing = 12;
constexpr double kCleanSpinnerSide = 16;

// An inset list: each cluster is a section, its header above a rounded group of its copies.
class DuplicatesDelegate final : public RowDelegate {
public:
    DuplicatesDelegate(const DuplicatesModel& model, QObject* parent)
        : RowDelegate(parent), m_model(model),
          m_reveal(buttonLook(ButtonStyle::bordered, uiFont(10), QColor(), ControlSize::mini)),
          m_revealSize(rowButtonSize(m_reveal, QStringLiteral("Reveal"))),
          m_fixedWidth(CheckBox::kSide + kSpacing + m_revealSize.width() + kSpacing +
                       badgeSize(QStringLiteral("ORIGINAL"), badgeLook()).width() + 6),
          m_nameWidths(m_name), m_oneLineHeight(itemHeight(QFontMetricsF(m_name).height())) {}

    std::vector<RowHit> hits(const QRectF& row, const QModelIndex& index) const override {
        if (m_model.isHeader(index.row())) {
            return {};
        }
        const QRectF content = contentOf(row, index.row());
        const QRectF reveal(QPointF(content.right() - m_revealSize.width(),
                                    content.center().y() - m_revealSize.height() / 2),
                            m_revealSize);
        std::vector<RowHit> result{{reveal, DuplicatesView::reveal}};
        if (index.data(Qt::CheckStateRole).isValid()) {
            result.push_back({checkBoxRect(content, content.left()).adjusted(-4, -4, 4, 4),
                              DuplicatesView::tick});
        }
        return result;
    }
    bool wrapsTexts() const override { return true; }
    bool separatesRows() const override { return false; }

protected:
    int rowHeight(const QModelIndex& index, double width) const override {
        if (m_model.isHeader(index.row())) {
            return kHeaderHeight;
        }
        const int gap = m_model.endsCluster(index.row()) ? static_cast<int>(kSectionGap) : 0;
        // Most names fit on one line: told from their letters' widths (with room kept for the
        // badge), so that a list of 30,000 rows is laid out without setting each name.
        const DuplicateFileItem* item = m_model.itemAt(index.row());
        const QRectF content = contentOf(QRectF(0, 0, width, 0), index.row());
        if (item != nullptr && m_nameWidths.fits(nameOf(*item), content.width() - m_fixedWidth)) {
            return m_oneLineHeight + gap;
        }
        const QStringList texts = index.data(RowRole::texts).toStringList();
        return itemHeight(wrappedTextSize(texts.value(0), m_name, nameWidth(content, index, texts))
                              .height()) +
               gap;
    }

    void paintRow(QPainter& painter, const QRectF& row, const QModelIndex& index) const override {
        const QStringList texts = index.data(RowRole::texts).toStringList();
        if (texts.isEmpty()) {
            return;
        }
        if (m_model.isHeader(index.row())) {
            paintHeader(painter, row, texts);
            return;
        }
        paintSection(painter, row, index.row());
        const QRectF content = contentOf(row, index.row());
        double x = content.left();
        const bool original = !index.data(Qt::CheckStateRole).isValid();
        if (original) {
            drawSystemIcon(painter, QRectF(x, content.top(), CheckBox::kSide, content.height()),
                           "star.fill", 12, FernwickTheme::warningAmber());
        } else {
            paintCheckBox(painter, checkBoxRect(content, x),
                          index.data(Qt::CheckStateRole).toInt() == Qt::Checked);
        }
        x += CheckBox::kSide + kSpacing;
        paintRowButton(painter, hits(row, index).front().rect, m_reveal, QStringLiteral("Reveal"));
        const double width = nameWidth(content, index, texts);
        const QSizeF name = wrappedTextSize(texts[0], m_name, width);
        const double pathHeight = QFontMetricsF(m_path).height();
        const double top = content.center().y() - (name.height() + 2 + pathHeight) / 2;
        if (original) {
            // The badge follows the name's first line.
            const BadgeLook badge = badgeLook();
            const QSizeF box = badgeSize(texts[1], badge);
            const double lineHeight = QFontMetricsF(m_name).height();
            paintBadge(painter,
                       QPointF(x + name.width() + 6, top + (lineHeight - box.height()) / 2),
                       texts[1], badge);
        }
        drawWrapped(painter, QRectF(x, top, width, name.height()), texts[0], m_name, Qt::white);
        drawPathLine(painter,
                     QRectF(x, top + name.height() + 2,
                            content.right() - m_revealSize.width() - kSpacing - x, pathHeight),
                     texts[original ? 2 : 1], m_path, FernwickTheme::textMuted());
    }

private:
    // The copy's name, read in place from its path (its last part, as `name()` gives it).
    static std::string_view nameOf(const DuplicateFileItem& item) {
        const std::string_view path = item.url.native();
        return path.substr(path.rfind('/') + 1);
    }

    // The height of a copy's row whose name is `nameHeight` high.
    int itemHeight(double nameHeight) const {
        return std::max(kItemHeight,
                        static_cast<int>(std::ceil(nameHeight + 2 + QFontMetricsF(m_path).height() +
                                                   2 * kPaddingV)));
    }

    BadgeLook badgeLook() const { return {m_badge, FernwickTheme::developerGreen(), 4, 1, 3}; }

    // The content of a copy's row: inside its section, above the gap that closes the section.
    QRectF contentOf(const QRectF& row, int index) const {
        const double gap = m_model.endsCluster(index) ? kSectionGap : 0;
        return row.adjusted(kSectionInset + kInset, 0, -(kSectionInset + kInset), -gap);
    }

    // The width the name wraps to: between the mark and "Reveal", less the badge's room.
    double nameWidth(const QRectF& content, const QModelIndex& index,
                     const QStringList& texts) const {
        double width =
            content.width() - CheckBox::kSide - kSpacing - m_revealSize.width() - kSpacing;
        if (!index.data(Qt::CheckStateRole).isValid()) {
            width -= badgeSize(texts.value(1), badgeLook()).width() + 6;
        }
        return std::max(0.0, width);
    }

    // The part of the cluster's rounded section this row covers, and the line under every copy
    // but the last.
    void paintSection(QPainter& painter, const QRectF& row, int index) const {
        const bool first = m_model.isHeader(index - 1);
        const bool last = m_model.endsCluster(index);
        const double reach = kSectionRadius * 2;
        QRectF section = row.adjusted(kSectionInset, 0, -kSectionInset, last ? -kSectionGap : 0);
        const QRectF covered = section.adjusted(-1, 0, 1, 0);
        section.adjust(0.5, first ? 0.5 : -reach, -0.5, last ? -0.5 : reach);
        painter.save();
        painter.setClipRect(covered);
        painter.setPen(QPen(FernwickTheme::panelBorder(), 1));
        painter.setBrush(FernwickTheme::appBackground());
        painter.drawRoundedRect(section, kSectionRadius, kSectionRadius);
        painter.restore();
        if (!last) {
            painter.fillRect(QRectF(row.left() + kSectionInset + kInset, row.bottom(),
                                    row.width() - 2 * kSectionInset - kInset, 1),
                             FernwickTheme::panelBorder());
        }
    }

    void paintHeader(QPainter& painter, const QRectF& row, const QStringList& texts) const {
        double x = row.left() + kSectionInset + kInset;
        const double iconWidth = 16;
        drawSystemIcon(painter, QRectF(x, row.top(), iconWidth, row.height()), "doc.on.doc.fill",
                       13, FernwickTheme::cachesOrange());
        x += iconWidth + 8;
        const double recoverableWidth = QFontMetricsF(m_recoverable).horizontalAdvance(texts[1]);
        const double right = row.right() - kSectionInset - kInset;
        drawLine(painter,
                 QRectF(right - recoverableWidth, row.top(), recoverableWidth, row.height()),
                 texts[1], m_recoverable, FernwickTheme::developerGreen(),
                 Qt::AlignRight | Qt::AlignVCenter);
        drawLine(painter, QRectF(x, row.top(), right - recoverableWidth - 8 - x, row.height()),
                 texts[0], m_header, Qt::white);
    }

    const DuplicatesModel& m_model;
    QFont m_header = uiFont(11, QFont::Bold);
    QFont m_recoverable = uiFont(11, QFont::DemiBold);
    QFont m_name = uiFont(12, QFont::DemiBold);
    QFont m_badge = uiFont(9, QFont::Bold);
    QFont m_path = uiFont(10);
    ButtonLook m_reveal;
    QSizeF m_revealSize;
    double m_fixedWidth; // beside the name in a copy's row: the mark, "Reveal", the badge
    TextWidths m_nameWidths;
    int m_oneLineHeight;
};

} // namespace

DuplicatesView::DuplicatesView(AppState& state, const ToolSeams& /*seams*/, QWidget* parent)
    : QWidget(parent), m_state(state),
      m_page(new ToolPage(QStringLiteral("Duplicate Finder"),
                          QStringLiteral("Find identical duplicate files using high-speed staged "
                                         "hashing (Size \u2192 Header/Tail \u2192 SHA256)."),
                          this)),
      m_model(new DuplicatesModel(state, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_page);

    ButtonLook scanLook = buttonLook(ButtonStyle::bordered, uiFont(13));
    scanLook.icon = "arrow.clockwise";
    scanLook.iconSize = 13;
    scanLook.spacing = 6;
    auto* scan = new StyledButton(QStringLiteral("Scan Duplicates"), scanLook, this);
    connect(scan, &QAbstractButton::clicked, this, [this] { m_state.scanDuplicates(); });
    m_page->headerTrailing()->addWidget(scan);

    m_loading = new QWidget(this);
    auto* loading = new QVBoxLayout(m_loading);
    loading->addStretch(1);
    loading->addWidget(new Spinner(32, m_loading), 0, Qt::AlignHCenter);
    loading->addWidget(
        makeLabel(QStringLiteral("Computing multi-stage SHA256 hashes to find byte-exact "
                                 "duplicate files..."),
                  uiFont(13), FernwickTheme::textSecondary(), m_loading),
        0, Qt::AlignHCenter);
    loading->addStretch(1);

    auto* delegate = new DuplicatesDelegate(*m_model, this);
    m_list = new RowList(m_model, delegate, false, this);
    m_list->enableRowKeys();
    connect(delegate, &RowDelegate::triggered, this, [this](const QModelIndex& index, int action) {
        const auto place = m_model->placeAt(index.row());
        const auto& clusters = m_state.duplicateClusters();
        if (place.item < 0 || place.cluster >= static_cast<int>(clusters.size())) {
            return;
        }
        const auto& cluster = clusters[static_cast<std::size_t>(place.cluster)];
        const auto& item = cluster.items[static_cast<std::size_t>(place.item)];
        if (action == reveal) {
            m_state.revealInFinder(item.url);
        } else {
            m_state.setDuplicateSelected(cluster.id, item.id, !item.isSelectedForCleanup);
        }
    });
    const EmptyState empty = makeEmptyState(
        {"doc.on.doc", 48, FernwickTheme::cachesOrange(), QStringLiteral("No Duplicates Found"),
         headline(),
         QStringLiteral("Run a disk scan and click 'Scan Duplicates' to discover identical files "
                        "across your folders."),
         350, QStringLiteral("Scan Duplicates"), 12},
        this);
    m_empty = empty.widget;
    connect(empty.button, &QAbstractButton::clicked, this, [this] { m_state.scanDuplicates(); });
    m_page->addContent(m_list);
    m_page->addContent(m_loading);
    m_page->addContent(m_empty);

    QHBoxLayout* footer = m_page->footer();
    auto* total = new QVBoxLayout;
    total->setSpacing(2);
    total->addWidget(makeLabel(QStringLiteral("Total Reclaimable from Duplicates:"), uiFont(11),
                               FernwickTheme::textMuted(), this));
    m_total = makeLabel(QString(), headline(), FernwickTheme::developerGreen(), this);
    total->addWidget(m_total);
    footer->addLayout(total);
    footer->addStretch(1);
    m_cleanLook = buttonLook(ButtonStyle::borderedProminent, uiFont(13, QFont::Bold),
                             FernwickTheme::developerGreen());
    m_cleanLook.icon = "trash.fill";
    m_cleanLook.iconSize = 13;
    m_cleanLook.spacing = 6;
    m_cleanLook.paddingH = 16;
    m_cleanLook.paddingV = 6;
    m_clean = new StyledButton(QStringLiteral("Clean Selected Duplicates"), m_cleanLook, this);
    m_cleanSpinner = new Spinner(kCleanSpinnerSide, m_clean);
    connect(m_clean, &QAbstractButton::clicked, this, &DuplicatesView::askToClean);
    footer->addWidget(m_clean);
    m_page->setFooterVisible(true);

    connect(&m_state, &AppState::duplicateClustersChanged, this, &DuplicatesView::updateClusters);
    connect(&m_state, &AppState::isScanningDuplicatesChanged, this, &DuplicatesView::updateContent);
    connect(&m_state, &AppState::isCleaningDuplicatesChanged, this, &DuplicatesView::updateFooter);
    updateClusters();
}

QString DuplicatesView::contentName() const {
    const QWidget* shown = m_page->currentContent();
    return shown == m_loading ? QStringLiteral("loading")
           : shown == m_list  ? QStringLiteral("list")
                              : QStringLiteral("empty");
}

void DuplicatesView::updateClusters() {
    m_model->update();
    updateContent();
    updateFooter();
}

void DuplicatesView::updateContent() {
    if (m_state.isScanningDuplicates()) {
        m_page->showContent(m_loading);
    } else {
        m_page->showContent(m_state.duplicateClusters().empty() ? m_empty : m_list);
    }
}

void DuplicatesView::updateFooter() {
    std::int64_t total = 0;
    for (const auto& cluster : m_state.duplicateClusters()) {
        total = saturatingAdd(total, cluster.recoverableSize());
    }
    m_total->setText(displayText(DiskNode::formatBytes(total)));
    // While a clean runs the button waits, with a spinner before its label.
    const bool cleaning = m_state.isCleaningDuplicates();
    ButtonLook look = m_cleanLook;
    if (cleaning) {
        look.paddingH += (kCleanSpinnerSide + look.spacing) / 2;
    }
    setButtonEnabled(m_clean, look, total != 0 && !cleaning);
    m_cleanSpinner->setVisible(cleaning);
    m_cleanSpinner->move(static_cast<int>(m_cleanLook.paddingH) - 4,
                         (m_clean->sizeHint().height() - static_cast<int>(kCleanSpinnerSide)) / 2);
}

void DuplicatesView::askToClean() {
    if ((m_confirm && m_confirm->isVisible()) || m_state.isCleaningDuplicates()) {
        return;
    }
    m_confirm = new ConfirmationDialog(
        QStringLiteral("Clean Selected Duplicate Copies?"),
        QStringLiteral("Selected duplicate copies will be safely moved to Trash. The original "
                       "files will remain intact."),
        QStringLiteral("Move Duplicates to Trash"), this);
    m_confirm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_confirm, &QDialog::accepted, this, [this] { m_state.cleanDuplicates(); });
    m_confirm->open();
}

} // namespace fernwick::ui
