#pragma once

#include <QDialog>

#include <utility>
#include <vector>

namespace fernwick::ui {

/// The keyboard-shortcuts sheet: a fixed 440×340 frame listing five shortcuts with their keys
/// as this platform writes them. The rows are display only; "Close" (or Escape) rejects. GUI
/// thread only.
class ShortcutsModal : public QDialog {
    Q_OBJECT
public:
    explicit ShortcutsModal(QWidget* parent = nullptr);

    /// Each row's widget, in order.
    const std::vector<QWidget*>& rows() const { return m_rows; }
    /// The shortcuts shown: title and key text, in order.
    static std::vector<std::pair<QString, QString>> shortcuts();

private:
    std::vector<QWidget*> m_rows;
};

} // namespace fernwick::ui
