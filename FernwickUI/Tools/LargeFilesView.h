#pragma once

#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;

namespace fernwick::ui {

class AppState;
struct ToolSeams;
class Chip;
class LargeFilesModel;
class RowList;
class ToolPage;

/// The "Large Files" sheet: the files of the last scan at or above the selected threshold,
/// narrowed by a filter typed into the header, with a chip per threshold, a count, and per row
/// a button that shows the file in the file manager and one that moves it to the Trash (no
/// question asked: the main window offers the undo). Before any scan, an empty state offers a
/// scan. GUI thread only; `state` must outlive the screen.
class LargeFilesView : public QWidget {
    Q_OBJECT
public:
    /// The row regions that take clicks.
    enum Action : int { reveal = 0, trash = 1 };

    LargeFilesView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);

    LargeFilesModel* model() const { return m_model; }
    RowList* list() const { return m_list; }
    QLineEdit* filterField() const { return m_filter; }
    const QLabel* countLabel() const { return m_count; }
    const std::vector<Chip*>& chips() const { return m_chips; }
    /// Whether the empty state shows instead of the list.
    bool showsEmptyState() const;

private:
    void updateFiles();
    void updateChips();
    void updateCount();

    AppState& m_state;
    ToolPage* m_page;
    LargeFilesModel* m_model;
    RowList* m_list;
    QWidget* m_empty;
    QLineEdit* m_filter;
    QLabel* m_count;
    std::vector<Chip*> m_chips;
};

} // namespace fernwick::ui
