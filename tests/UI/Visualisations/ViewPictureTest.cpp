#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QPainter>
#include <QRadialGradient>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cmath>
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

    // Drawn in bands at once, the picture has the pixels of one drawing, at the edges of the
    // bands too: shapes and gradients that cross them at fractions of a pixel, at one and at one
    // and a half device pixels a point. Each band is drawn once, divided where asked, in whole
    // device pixels; below the bottom the view promised to keep clear the picture stays empty.
    void aPictureDrawnInBandsEqualsOneDrawing() {
        const QSize size(700, 120);
        const auto shapes = [](QPainter& painter) {
            for (int i = 0; i < 12; ++i) {
                const QPointF centre(17.3 + i * 57.7, 45.4);
                QRadialGradient glow(centre, 41);
                glow.setColorAt(0.1, QColor(90, 160, 250, 120));
                glow.setColorAt(1, QColor(250, 120, 60, 20));
                painter.setBrush(glow);
                painter.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
                painter.drawEllipse(centre, 41.2, 38.9);
                painter.drawRoundedRect(QRectF(centre.x() - 2.1, 8.6, 0.3 + i * 0.45, 70), 4, 4);
            }
        };
        for (const qreal ratio : {1.0, 1.5}) {
            QImage once((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
            once.setDevicePixelRatio(ratio);
            once.fill(Qt::transparent);
            {
                QPainter painter(&once);
                painter.setRenderHint(QPainter::Antialiasing);
                shapes(painter);
            }
            ViewPicture picture;
            picture.setBands({120.4, 333.3, 520.7}, 90);
            std::mutex mutex;
            std::vector<QRectF> areas;
            QImage shown(once.size(), QImage::Format_ARGB32_Premultiplied);
            shown.fill(Qt::transparent);
            QPainter target(&shown);
            picture.paint(target, QRect(QPoint(), size), size, ratio,
                          [&](QPainter& painter, const QRectF& area) {
                              {
                                  const std::lock_guard lock(mutex);
                                  areas.push_back(area);
                              }
                              shapes(painter);
                          });
            QCOMPARE(picture.image(), once);
            std::sort(areas.begin(), areas.end(),
                      [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
            QCOMPARE(areas.size(), std::size_t{4});
            QCOMPARE(areas[1].left(), std::round(120.4 * ratio) / ratio);
            QCOMPARE(areas.front().left(), 0.0);
            QCOMPARE(areas.back().right(), 700.0);
            for (std::size_t band = 1; band < areas.size(); ++band) {
                QCOMPARE(areas[band].left(), areas[band - 1].right());
            }
        }
    }
};

QTEST_MAIN(ViewPictureTest)
#include "ViewPictureTest.moc"
