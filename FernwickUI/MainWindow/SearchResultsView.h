#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <QWidget>

#include <vector>

class QLabel;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace fernwick::ui {

class AppState;
class ElidedLabel;
class IconView;
class StyledButton;

/// The content area while the search text is not blank: a header with the query and the count,
/// then the empty state or at most 50 result rows (pre-order, the root first), each with
/// "Reveal" and, for folders, "Drill Down". The search runs on a worker and is repeated only
/// when the query, the root or the tree changes. GUI thread only; the state must outlive it.
class SearchResultsView : public QWidget {
    Q_OBJECT
public:
    explicit SearchResultsView(AppState& state, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QLabel* countLabel() const { return m_count; }
    QLabel* emptyHint() const { return m_emptyHint; }
    bool showsEmptyState() const;
    /// The result rows, in order.
    const std::vector<QWidget*>& rows() const { return m_rows; }
    QScrollArea* list() const { return m_list; }
    /// How many searches the view has started (for inspection).
    int queryCount() const { return m_queries; }

private:
    // One result row's widgets, made once and filled for each result set.
    struct Row {
        QWidget* widget = nullptr;
        IconView* icon = nullptr;
        QLabel* name = nullptr;
        ElidedLabel* path = nullptr;
        QLabel* size = nullptr;
        StyledButton* drill = nullptr;
    };

    void requery();
    void showResults(std::vector<DiskNodePtr> results);
    // Makes the next row, hidden, below the others.
    void addRow();
    static void fill(Row& row, const DiskNode& node);

    AppState& m_state;
    QLabel* m_title = nullptr;
    QLabel* m_count = nullptr;
    QStackedWidget* m_body = nullptr;
    QLabel* m_emptyHint = nullptr;
    QScrollArea* m_list = nullptr;
    QVBoxLayout* m_rowColumn = nullptr;
    std::vector<Row> m_made;      // every row made so far; the first m_shown.size() are shown
    std::vector<QWidget*> m_rows; // the shown rows
    std::vector<DiskNodePtr> m_shown;
    int m_queries = 0;
};

} // namespace fernwick::ui
