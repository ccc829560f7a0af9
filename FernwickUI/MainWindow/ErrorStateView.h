#pragma once

#include <QWidget>

#include <functional>

class QLabel;

namespace fernwick::ui {

/// The screen of a failed scan: the warning symbol, "Scanning Error", the message and
/// "Try Again", which only returns to the welcome screen. GUI thread only.
class ErrorStateView : public QWidget {
    Q_OBJECT
public:
    ErrorStateView(const std::function<void()>& tryAgain, QWidget* parent = nullptr);

    void setMessage(const QString& message);
    const QLabel* messageLabel() const { return m_message; }

private:
    QLabel* m_message = nullptr;
};

} // namespace fernwick::ui
