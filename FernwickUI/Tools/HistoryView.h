#pragma once

#include "FernwickCore/Engines/HistoryStore.h"
#include "FernwickUI/Tools/ToolSeams.h"

#include <QScrollArea>

#include <vector>

class QLabel;

namespace fernwick::ui {

class AppState;
class PaintedCardList;

/// The "Cleanup History" sheet: the audit log of this session's cleanups and the storage
/// timeline, both newest first, each with its own empty text. Every time it is shown it reloads
/// both (the audit log first). "Clear History" empties the timeline at once, without asking; the
/// audit log stays. GUI thread only; `state` must outlive the screen.
class HistoryView : public QScrollArea {
    Q_OBJECT
public:
    HistoryView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);

    PaintedCardList* auditList() const { return m_audit; }
    PaintedCardList* timelineList() const { return m_timeline; }
    const QLabel* auditEmptyLabel() const { return m_auditEmpty; }
    const QLabel* timelineEmptyLabel() const { return m_timelineEmpty; }
    /// The icon audit row `row` leads with: a dry run's or a move's.
    QString auditIconName(int row) const;
    /// The date text of a snapshot row, in the default locale and the local time zone.
    static QString dateText(TimePoint date);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateAudit();
    void setSnapshots(std::vector<StorageSnapshot> snapshots);

    AppState& m_state;
    std::vector<StorageSnapshot> m_snapshots;
    PaintedCardList* m_audit;
    PaintedCardList* m_timeline;
    QLabel* m_auditEmpty;
    QLabel* m_timelineEmpty;
    QWidget* m_auditEmptyBox;
    QWidget* m_timelineEmptyBox;
};

} // namespace fernwick::ui
