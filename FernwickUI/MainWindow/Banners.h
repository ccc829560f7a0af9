#pragma once

#include <QWidget>

class QLabel;

namespace fernwick::ui {

class AppState;
class StyledButton;

/// The bar offering a newer version: the sentence naming both versions, "Download Update" and
/// a close button that hides it until the next launch. Shown while `availableUpdate` is set
/// (the window shows and hides it). GUI thread only; the state must outlive it.
class UpdateBanner : public QWidget {
    Q_OBJECT
public:
    explicit UpdateBanner(AppState& state, QWidget* parent = nullptr);

    QLabel* messageLabel() const { return m_message; }
    StyledButton* closeButton() const { return m_close; }

private:
    void refresh();

    AppState& m_state;
    QLabel* m_message = nullptr;
    StyledButton* m_close = nullptr;
};

/// The one-time request for full disk access: "Grant in Settings", "Don't Ask Again" and a
/// close button that also stops the request for good. Shown while
/// `showOneTimePermissionNotice` is set. GUI thread only; the state must outlive it.
class PermissionBanner : public QWidget {
    Q_OBJECT
public:
    explicit PermissionBanner(AppState& state, QWidget* parent = nullptr);

    StyledButton* closeButton() const { return m_close; }

private:
    StyledButton* m_close = nullptr;
};

} // namespace fernwick::ui
