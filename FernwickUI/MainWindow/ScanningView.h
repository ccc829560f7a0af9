#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

class QLabel;

namespace fernwick::ui {

class ElidedLabel;

/// The progress screen of a running scan: the activity mark, "Analyzing Disk Storage...", the
/// path reached last (one line, shortened in the middle), the bytes and files counted and
/// "Cancel Scan". GUI thread only.
class ScanningView : public QWidget {
    Q_OBJECT
public:
    ScanningView(const std::function<void()>& cancelScan, QWidget* parent = nullptr);

    /// Shows one progress report.
    void setProgress(const QString& progress, std::int64_t bytes, std::int64_t files);

    const ElidedLabel* progressLabel() const { return m_progress; }
    const QLabel* bytesLabel() const { return m_bytes; }
    const QLabel* filesLabel() const { return m_files; }

private:
    ElidedLabel* m_progress = nullptr;
    QLabel* m_bytes = nullptr;
    QLabel* m_files = nullptr;
};

} // namespace fernwick::ui
