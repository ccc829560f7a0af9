#pragma once

// What the user-interface benchmarks share: order statistics, the two clocks they read, the
// machine's load, a private home and idle time.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace fernwick::bench {

/// The value at `fraction` (0: smallest, 0.5: median, 1: largest) of `values`; 0 when empty.
inline double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

inline double msSince(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

/// Processor time the calling thread has used, in milliseconds.
inline double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// The one-minute load average; -1 when it cannot be read.
inline double loadAverage() {
    double load = -1;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1) {
            load = -1;
        }
        std::fclose(file);
    }
    return load;
}

/// Points HOME and the XDG data and config folders at `home` and picks the offscreen platform,
/// so a benchmark never reads or writes the user's preferences or Trash. Call it before the
/// application object is made.
inline void usePrivateHome(const QTemporaryDir& home) {
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit().constData(), 1);
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

/// Runs the event loop for `ms` milliseconds, as an application idles between a user's actions.
inline void pumpEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace fernwick::bench
