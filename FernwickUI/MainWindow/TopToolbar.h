#pragma once

#include <QWidget>

namespace fernwick::ui {

class AppState;
class SearchField;
class StyledButton;

/// The strip at the top of the main window: the product mark, the search field centred in the
/// room between it and the buttons (apps, monitor, shortcuts, themes). Fixed 48 high. GUI
/// thread only; the state must outlive the toolbar.
class TopToolbar : public QWidget {
    Q_OBJECT
public:
    explicit TopToolbar(AppState& state, QWidget* parent = nullptr);

    SearchField* searchField() const { return m_search; }
    QWidget* productMark() const { return m_mark; }
    StyledButton* appsButton() const { return m_apps; }

private:
    SearchField* m_search = nullptr;
    QWidget* m_mark = nullptr;
    StyledButton* m_apps = nullptr;
};

} // namespace fernwick::ui
