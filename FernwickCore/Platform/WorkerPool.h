#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

namespace fernwick {

/// A few worker threads for one piece of work: tasks are pushed, `run` starts the threads, works
/// through every task (including the tasks that tasks push) and joins the threads again.
///
/// Order: last in, first out between pushes, so that a task's own follow-up work comes next
/// (a walk goes depth first); within one push the first task is taken first.
/// Cancellation: once `stop` is requested no further task starts; tasks already running finish,
/// and `run` returns. Failures: the first exception a task throws stops the pool the same way
/// and is rethrown by `run`.
/// Threads: `push` and `idleWorkers` may be called from any thread, tasks included; `run` once.
template <typename Task> class WorkerPool {
public:
    /// `threads` workers; 0 means one per hardware thread.
    explicit WorkerPool(unsigned threads = 0)
        : m_threads(threads != 0 ? threads : std::max(1U, std::thread::hardware_concurrency())) {}
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned threadCount() const { return m_threads; }

    /// Takes every task out of `tasks` (left empty).
    void push(std::vector<Task>& tasks) {
        if (tasks.empty()) {
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            for (auto it = tasks.rbegin(); it != tasks.rend(); ++it) {
                m_stack.push_back(std::move(*it));
            }
            m_outstanding += static_cast<std::int64_t>(tasks.size());
        }
        tasks.clear();
        m_wake.notify_all();
    }

    /// Workers waiting for a task now: a task that produces work in bulk hands it out early
    /// only when someone would take it.
    unsigned idleWorkers() const { return m_idle.load(std::memory_order_relaxed); }

    /// Runs `work(task, state)` for every task on the workers and returns when none is left
    /// (or after a stop or a failure). Each worker makes one `State` on its own thread and keeps
    /// it for all its tasks. Blocks; if no thread can be started, the caller's thread works.
    template <typename State, typename Work> void run(std::stop_token stop, Work&& work) {
        std::vector<std::thread> workers;
        workers.reserve(m_threads);
        try {
            for (unsigned i = 0; i < m_threads; ++i) {
                workers.emplace_back([&] { workerLoop<State>(stop, work); });
            }
        } catch (const std::system_error&) {
            if (workers.empty()) {
                workerLoop<State>(stop, work);
            }
        }
        for (auto& worker : workers) {
            worker.join();
        }
        if (m_failure) {
            std::rethrow_exception(m_failure);
        }
    }

private:
    template <typename State, typename Work>
    void workerLoop(const std::stop_token& stop, Work& work) {
        State state;
        for (;;) {
            Task task;
            {
                std::unique_lock lock(m_mutex);
                ++m_idle;
                m_wake.wait(lock, stop,
                            [this] { return m_failed || !m_stack.empty() || m_outstanding == 0; });
                --m_idle;
                if (m_stack.empty() || m_failed || stop.stop_requested()) {
                    // Nothing left, or nothing more to start: tasks still running end on their
                    // own, and their pushes are dropped with the pool.
                    return;
                }
                task = std::move(m_stack.back());
                m_stack.pop_back();
            }
            try {
                work(task, state);
            } catch (...) {
                std::lock_guard lock(m_mutex);
                if (!m_failure) {
                    m_failure = std::current_exception();
                }
                m_failed = true;
            }
            bool done = false;
            {
                std::lock_guard lock(m_mutex);
                done = --m_outstanding == 0 || m_failed;
            }
            if (done) {
                m_wake.notify_all();
            }
        }
    }

    const unsigned m_threads;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::vector<Task> m_stack;       // guarded by m_mutex
    std::int64_t m_outstanding = 0;  // guarded by m_mutex: queued or running tasks
    bool m_failed = false;           // guarded by m_mutex
    std::exception_ptr m_failure;    // guarded by m_mutex
    std::atomic<unsigned> m_idle{0}; // changed under m_mutex
};

/// Runs `work(index, state)` for every index below `count` on up to `threads` workers (0: one
/// per hardware thread), lower indices taken first; no index starts after `stop` is requested.
/// Each worker makes one `State` and keeps it. Blocks.
template <typename State, typename Work>
void forEachIndex(std::size_t count, unsigned threads, const std::stop_token& stop, Work&& work) {
    if (count == 0) {
        return;
    }
    if (threads == 0) {
        threads = std::max(1U, std::thread::hardware_concurrency());
    }
    WorkerPool<std::size_t> pool(static_cast<unsigned>(std::min<std::size_t>(threads, count)));
    std::vector<std::size_t> indices(count);
    for (std::size_t i = 0; i < count; ++i) {
        indices[i] = i;
    }
    pool.push(indices);
    pool.template run<State>(stop, [&](std::size_t index, State& state) { work(index, state); });
}

} // namespace fernwick
