#pragma once

#include <QWidget>

class QLabel;

namespace fernwick::ui {

class AppState;
class MetricBar;

/// The system monitor screen: processor, memory and disk cards with their figures and bars,
/// and a card of machine facts. It redraws on every metrics sample the state publishes and
/// starts no timer of its own. GUI thread only; the state must outlive it.
class SystemMonitorView : public QWidget {
    Q_OBJECT
public:
    explicit SystemMonitorView(AppState& state, QWidget* parent = nullptr);

    QLabel* cpuFigure() const { return m_cpuFigure; }
    QLabel* memoryFigure() const { return m_memoryFigure; }
    QLabel* diskFigure() const { return m_diskFigure; }
    QLabel* diskTotal() const { return m_diskTotal; }
    QLabel* diskUsed() const { return m_diskUsed; }
    MetricBar* cpuBar() const { return m_cpuBar; }
    MetricBar* memoryBar() const { return m_memoryBar; }
    MetricBar* diskBar() const { return m_diskBar; }
    QLabel* processorCount() const { return m_processors; }
    QLabel* architecture() const { return m_architecture; }
    QLabel* operatingSystem() const { return m_system; }

private:
    void refresh();

    AppState& m_state;
    QLabel* m_cpuFigure = nullptr;
    QLabel* m_memoryFigure = nullptr;
    QLabel* m_diskFigure = nullptr;
    QLabel* m_diskTotal = nullptr;
    QLabel* m_diskUsed = nullptr;
    MetricBar* m_cpuBar = nullptr;
    MetricBar* m_memoryBar = nullptr;
    MetricBar* m_diskBar = nullptr;
    QLabel* m_processors = nullptr;
    QLabel* m_architecture = nullptr;
    QLabel* m_system = nullptr;
};

} // namespace fernwick::ui
