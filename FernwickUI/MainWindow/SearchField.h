#pragma once

#include <QWidget>

class QLineEdit;

namespace fernwick::ui {

class AppState;
class StyledButton;

/// The toolbar's search field, bound both ways to `AppState::searchText`: a fixed 320×28
/// frame with the glass, the line edit, a clear button while there is text and the "Ctrl+F"
/// hint. GUI thread only; the state must outlive the field.
class SearchField : public QWidget {
    Q_OBJECT
public:
    explicit SearchField(AppState& state, QWidget* parent = nullptr);

    QLineEdit* edit() const { return m_edit; }
    StyledButton* clearButton() const { return m_clear; }
    StyledButton* hint() const { return m_hint; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppState& m_state;
    QLineEdit* m_edit = nullptr;
    StyledButton* m_clear = nullptr;
    StyledButton* m_hint = nullptr;
};

} // namespace fernwick::ui
