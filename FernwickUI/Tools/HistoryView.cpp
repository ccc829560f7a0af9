#include "FernwickUI/Tools/HistoryView.h"

#include "FernwickUI/Kit/PaintedCardList.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/RowList.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Kit/ToolPage.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr int kAuditRowHeight = 50;
constexpr int kTimelineRowHeight = 56;
constexpr double kAuditIconWidth = 20;

// A caption over a section's body: the card list, or the empty text on a rounded card.
QVBoxLayout* addSection(QVBoxLayout* column, const QString& caption, QWidget* parent) {
    auto* section = new QVBoxLayout;
    section->setSpacing(12);
    section->addWidget(
        makeLabel(caption, uiFont(11, QFont::Bold), FernwickTheme::textMuted(), parent));
    column->addLayout(section);
    return section;
}

QWidget* makeEmptyText(const QString& text, QLabel*& label, QWidget* parent) {
    auto* box = new RoundedFill(FernwickTheme::cardBackground(), 8, parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(14, 14, 14, 14);
    label = makeLabel(text, uiFont(12), FernwickTheme::textSecondary(), box);
    layout->addWidget(label);
    return box;
}

// Draws the two-line column of a card, `top` over `bottom`, vertically centred in `box`.
void drawTwoLines(QPainter& painter, const QRectF& box, const QString& top, const QFont& topFont,
                  const QColor& topColour, const QString& bottom, const QFont& bottomFont,
                  const QColor& bottomColour, Qt::Alignment alignment) {
    const double topHeight = QFontMetricsF(topFont).height();
    const double bottomHeight = QFontMetricsF(bottomFont).height();
    const double y = box.center().y() - (topHeight + 2 + bottomHeight) / 2;
    drawLine(painter, QRectF(box.left(), y, box.width(), topHeight), top, topFont, topColour,
             alignment | Qt::AlignVCenter);
    drawLine(painter, QRectF(box.left(), y + topHeight + 2, box.width(), bottomHeight), bottom,
             bottomFont, bottomColour, alignment | Qt::AlignVCenter);
}

} // namespace

QString HistoryView::dateText(TimePoint date) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch());
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds.count());
    const QLocale locale;
    // The locale's short time, to the minute: the C locale's short form carries seconds.
    QString time = locale.timeFormat(QLocale::ShortFormat);
    time.remove(QRegularExpression(QStringLiteral("[:.]s+")));
    return locale.toString(local.date(), QStringLiteral("MMM d, yyyy")) + QStringLiteral(", ") +
           locale.toString(local.time(), time);
}

HistoryView::HistoryView(AppState& state, const ToolSeams& /*seams*/, QWidget* parent)
    : QScrollArea(parent), m_state(state) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBackground(viewport(), FernwickTheme::appBackground());
    auto* content = new QWidget;
    setBackground(content, FernwickTheme::appBackground());
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);

    auto* header = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(
        makeLabel(QStringLiteral("Cleanup History & Timeline"), title2(), Qt::white, content));
    titles->addWidget(makeLabel(QStringLiteral("Audit log of all cleanup operations, moved files, "
                                               "and disk usage snapshots."),
                                subheadline(), FernwickTheme::textSecondary(), content));
    header->addLayout(titles);
    header->addStretch(1);
    auto* clear = new StyledButton(QStringLiteral("Clear History"), ButtonStyle::bordered, QColor(),
                                   ControlSize::small, content);
    connect(clear, &QAbstractButton::clicked, this, [this] {
        QPointer<HistoryView> self(this);
        m_state.clearSnapshotHistory([self] {
            if (self) {
                self->setSnapshots({});
            }
        });
    });
    header->addWidget(clear);
    column->addLayout(header);

    const QFont name = uiFont(12, QFont::DemiBold);
    const QFont path = uiFont(10);
    const QFont size = uiFont(12, QFont::Bold);
    const QFont status = uiFont(9);
    // The name wraps between the icon and the column of size and status; the path keeps to one
    // line under it.
    const auto nameWidth = [size, status](const QStringList& texts, double width) {
        const double rightWidth = std::max(QFontMetricsF(size).horizontalAdvance(texts[2]),
                                           QFontMetricsF(status).horizontalAdvance(texts[3]));
        return std::max(0.0, width - kAuditIconWidth - 12 - rightWidth - 12);
    };
    m_audit = new PaintedCardList(
        kAuditRowHeight, 8, 10, 6,
        [this, name, path, size, status, nameWidth](QPainter& painter, const QRectF& card,
                                                    int row) {
            const auto& entry = m_state.auditHistory()[static_cast<std::size_t>(row)];
            const QStringList texts = m_audit->rowTexts(row);
            drawSystemIcon(painter, QRectF(card.left(), card.top(), kAuditIconWidth, card.height()),
                           auditIconName(row).toStdString(), 14,
                           entry.wasDryRun ? FernwickTheme::primaryBlue()
                                           : FernwickTheme::developerGreen());
            const double width = nameWidth(texts, card.width());
            const double rightWidth = card.width() - kAuditIconWidth - 24 - width;
            drawTwoLines(painter,
                         QRectF(card.right() - rightWidth, card.top(), rightWidth, card.height()),
                         texts[2], size, FernwickTheme::accentCyan(), texts[3], status,
                         FernwickTheme::textSecondary(), Qt::AlignRight);
            const double nameHeight = wrappedTextSize(texts[0], name, width).height();
            const double pathHeight = QFontMetricsF(path).height();
            const double top = card.center().y() - (nameHeight + 2 + pathHeight) / 2;
            const double left = card.left() + kAuditIconWidth + 12;
            drawWrapped(painter, QRectF(left, top, width, nameHeight), texts[0], name, Qt::white);
            drawPathLine(painter, QRectF(left, top + nameHeight + 2, width, pathHeight), texts[1],
                         path, FernwickTheme::textMuted());
        },
        [this](int row) {
            const auto& entry = m_state.auditHistory()[static_cast<std::size_t>(row)];
            return QStringList{displayText(entry.originalURL.filename().native()),
                               displayText(entry.originalURL.native()),
                               displayText(DiskNode::formatBytes(entry.reclaimedBytes)),
                               displayText(entry.status)};
        },
        content);
    // Most names fit on one line: told from their letters' widths (the size and status columns
    // measured the same way, a little wider than set), so that a long log lays out at once.
    const TextWidths names(name);
    const TextWidths sizes(size);
    const TextWidths statuses(status);
    m_audit->setContentHeight(
        [this, name, path, nameWidth, names, sizes, statuses](int row, double width) {
            const auto& entry = m_state.auditHistory()[static_cast<std::size_t>(row)];
            const double right = std::max(sizes.width(DiskNode::formatBytes(entry.reclaimedBytes)),
                                          statuses.width(entry.status));
            const double lines = QFontMetricsF(name).height() + 2 + QFontMetricsF(path).height();
            if (names.fits(entry.originalURL.filename().native(),
                           width - kAuditIconWidth - 24 - right)) {
                return lines;
            }
            const QStringList texts = m_audit->rowTexts(row);
            return wrappedTextSize(texts[0], name, nameWidth(texts, width)).height() + 2 +
                   QFontMetricsF(path).height();
        });
    QVBoxLayout* audit = addSection(column, QStringLiteral("RECENT CLEANUP OPERATIONS"), content);
    m_auditEmptyBox = makeEmptyText(QStringLiteral("No cleanups performed yet in this session."),
                                    m_auditEmpty, content);
    audit->addWidget(m_auditEmptyBox);
    audit->addWidget(m_audit);

    const QFont date = uiFont(12, QFont::Bold);
    const QFont usage = uiFont(11);
    m_timeline = new PaintedCardList(
        kTimelineRowHeight, 8, 12, 6,
        [this, date, usage](QPainter& painter, const QRectF& card, int row) {
            const QStringList texts = m_timeline->rowTexts(row);
            const double iconWidth = 20;
            drawSystemIcon(painter,
                           QRectF(card.right() - iconWidth, card.top(), iconWidth, card.height()),
                           "chart.xyaxis.line", 14, FernwickTheme::accentCyan());
            drawTwoLines(
                painter,
                QRectF(card.left(), card.top(), card.width() - iconWidth - 8, card.height()),
                texts[0], date, Qt::white, texts[1], usage, FernwickTheme::textSecondary(),
                Qt::AlignLeft);
        },
        [this](int row) {
            const auto& snapshot = m_snapshots[static_cast<std::size_t>(row)];
            return QStringList{dateText(snapshot.date),
                               QStringLiteral("Used: %1 \u2022 Free: %2")
                                   .arg(displayText(snapshot.formattedUsed()),
                                        displayText(snapshot.formattedFree()))};
        },
        content);
    QVBoxLayout* timeline =
        addSection(column, QStringLiteral("STORAGE TIMELINE SNAPSHOTS"), content);
    m_timelineEmptyBox = makeEmptyText(
        QStringLiteral("Snapshots are automatically recorded after each complete disk scan."),
        m_timelineEmpty, content);
    timeline->addWidget(m_timelineEmptyBox);
    timeline->addWidget(m_timeline);
    column->addStretch(1);
    setWidget(content);

    connect(&m_state, &AppState::auditHistoryChanged, this, &HistoryView::updateAudit);
    updateAudit();
    setSnapshots({});
}

void HistoryView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    QPointer<HistoryView> self(this);
    m_state.loadHistory([self](std::vector<StorageSnapshot> snapshots) {
        if (self) {
            self->setSnapshots(std::move(snapshots));
        }
    });
}

QString HistoryView::auditIconName(int row) const {
    return m_state.auditHistory()[static_cast<std::size_t>(row)].wasDryRun
               ? QStringLiteral("play.badge.checkmark")
               : QStringLiteral("trash.fill");
}

void HistoryView::updateAudit() {
    const int count = static_cast<int>(m_state.auditHistory().size());
    m_audit->setRowCount(count);
    m_audit->setVisible(count > 0);
    m_auditEmptyBox->setVisible(count == 0);
}

void HistoryView::setSnapshots(std::vector<StorageSnapshot> snapshots) {
    m_snapshots = std::move(snapshots);
    const int count = static_cast<int>(m_snapshots.size());
    m_timeline->setRowCount(count);
    m_timeline->setVisible(count > 0);
    m_timelineEmptyBox->setVisible(count == 0);
}

} // namespace fernwick::ui
