#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <latch>
#include <mutex>
#include <set>

using namespace fernwick::ui;

namespace {

std::mutex g_mutex;
std::set<QThread*> g_warmed;
std::atomic<int> g_warmUps{0};

void recordThread() {
    const std::lock_guard lock(g_mutex);
    g_warmed.insert(QThread::currentThread());
    ++g_warmUps;
}

} // namespace

class ViewPictureTest : public QObject {
    Q_OBJECT
private slots:
    // A picture is drawn on whichever pool thread is free, and fonts belong to one thread: each
    // thread warms up once, none twice, and keeps what it loaded.
    void warmUpRunsOnceOnEveryPoolThreadWhichThenStays() {
        QThreadPool& pool = *QThreadPool::globalInstance();
        // The threads already stand idle, as after the application's first work: a thread that
        // is done quickly would otherwise go on with the next warm-up.
        std::latch started(pool.maxThreadCount());
        for (int thread = 0; thread < pool.maxThreadCount(); ++thread) {
            pool.start([&started] { started.count_down(); });
        }
        started.wait();
        warmUpPoolThreads(recordThread);
        QTRY_COMPARE(g_warmUps.load(), pool.maxThreadCount());
        const std::lock_guard lock(g_mutex);
        QCOMPARE(static_cast<int>(g_warmed.size()), pool.maxThreadCount());
        QCOMPARE(pool.expiryTimeout(), -1);
    }

    // With every pool thread taken, the draws run on the calling thread instead of waiting for
    // one (which, with the pool's work waiting on this thread, would never come).
    void drawsRunOnTheCallingThreadWhenThePoolIsTaken() {
        QThreadPool& pool = *QThreadPool::globalInstance();
        QVERIFY(pool.waitForDone(5000));
        std::latch release(1);
        std::atomic<int> taken{0};
        for (int thread = 0; thread < pool.maxThreadCount(); ++thread) {
            pool.start([&] {
                ++taken;
                release.wait();
            });
        }
        QTRY_COMPARE(taken.load(), pool.maxThreadCount());
        std::vector<QThread*> ranOn(3, nullptr);
        std::vector<std::function<void()>> draws;
        for (std::size_t k = 0; k < ranOn.size(); ++k) {
            draws.emplace_back([&ranOn, k] { ranOn[k] = QThread::currentThread(); });
        }
        paintInParallel(draws);
        release.count_down();
        for (QThread* thread : ranOn) {
            QCOMPARE(thread, QThread::currentThread());
        }
        QVERIFY(pool.waitForDone(5000));
    }

    // Free threads take the draws: none is left out, and all are done on return.
    void everyDrawIsDoneOnReturn() {
        std::atomic<int> done{0};
        std::vector<std::function<void()>> draws(12, [&done] {
            QThread::msleep(2);
            ++done;
        });
        paintInParallel(draws);
        QCOMPARE(done.load(), 12);
    }
};

QTEST_MAIN(ViewPictureTest)
#include "ViewPictureTest.moc"
