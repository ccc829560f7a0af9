#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QApplication>
#include <QPainter>
#include <QProcess>
#include <QRadialGradient>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <latch>
#include <mutex>
#include <set>

#include <sys/resource.h>

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

// Set in the copy of this test that ends its application while its pool threads warm up.
constexpr char kEndWhileWarming[] = "VIEW_PICTURE_TEST_END_WHILE_WARMING";

// A warm-up that is still at work when the application ends, and then draws text.
void slowTextWarmUp() {
    QThread::msleep(300);
    QImage image(64, 16, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.drawText(QPointF(1, 12), QStringLiteral("Documents"));
}

int endWhileWarmingUp(int argc, char** argv) {
    const QApplication app(argc, argv);
    warmUpPoolThreads(slowTextWarmUp);
    return 0;
}

void glowingCircle(QPainter& painter, const QPointF& centre, double radius) {
    QRadialGradient glow(centre, radius);
    glow.setColorAt(0.1, QColor(90, 160, 250, 120));
    glow.setColorAt(1, QColor(250, 120, 60, 20));
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
    painter.drawEllipse(centre, radius, radius * 0.94);
}

// `shapes` drawn once onto a transparent image of `size` points at `ratio`.
QImage drawnOnce(const QSize& size, qreal ratio, const std::function<void(QPainter&)>& shapes) {
    QImage image((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    shapes(painter);
    return image;
}

// Brings `picture` up to date with `shapes` as its drawing; the areas it was asked to draw.
std::vector<QRectF> drawnAreas(ViewPicture& picture, const QSize& size, qreal ratio,
                               const std::function<void(QPainter&)>& shapes) {
    std::mutex mutex;
    std::vector<QRectF> areas;
    QImage shown((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter target(&shown);
    picture.paint(target, QRect(QPoint(), size), size, ratio,
                  [&](QPainter& painter, const QRectF& area) {
                      {
                          const std::lock_guard lock(mutex);
                          areas.push_back(area);
                      }
                      shapes(painter);
                  });
    return areas;
}

// The page faults this thread takes while `picture` is brought up to date at `size` (one device
// pixel a point), copying one pixel of it: a fault for each page of memory new to the process.
long faultsOfPicture(ViewPicture& picture, const QSize& size,
                     const std::function<void(QPainter&)>& shapes) {
    QImage shown(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter target(&shown);
    rusage before{};
    getrusage(RUSAGE_THREAD, &before);
    picture.paint(target, QRect(0, 0, 1, 1), size, 1,
                  [&](QPainter& painter, const QRectF&) { shapes(painter); });
    rusage after{};
    getrusage(RUSAGE_THREAD, &after);
    return after.ru_minflt - before.ru_minflt;
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

    // A window closed before its threads have warmed up: the fonts they use live as long as the
    // application, so it ends only after them, and ends well.
    void anApplicationEndingWhileThreadsWarmUpEndsAfterThem() {
        QProcess copy;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kEndWhileWarming), QStringLiteral("1"));
        copy.setProcessEnvironment(environment);
        copy.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(copy.waitForFinished(30000));
        const QString errors = QString::fromLocal8Bit(copy.readAllStandardError());
        QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0,
                 qPrintable(errors));
        QVERIFY2(!errors.contains(QStringLiteral("QFontDatabase")), qPrintable(errors));
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
                glowingCircle(painter, centre, 41.2);
                painter.drawRoundedRect(QRectF(centre.x() - 2.1, 8.6, 0.3 + i * 0.45, 70), 4, 4);
            }
        };
        for (const qreal ratio : {1.0, 1.5}) {
            ViewPicture picture;
            picture.setBands({120.4, 333.3, 520.7}, 90);
            auto areas = drawnAreas(picture, size, ratio, shapes);
            QCOMPARE(picture.image(), drawnOnce(size, ratio, shapes));
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

    // Cut into parts of rows where no shape crosses, each drawn straight into the picture's rows
    // at once, the picture has the pixels of one drawing; the parts' areas tile the height.
    void aPictureDrawnInPartsOfRowsEqualsOneDrawing() {
        const QSize size(300, 190);
        const auto shapes = [](QPainter& painter) {
            for (int row = 0; row < 3; ++row) {
                for (int i = 0; i < 5; ++i) {
                    glowingCircle(painter, QPointF(30.4 + i * 57.3, 31.3 + row * 62.2), 26.1);
                }
            }
        };
        for (const qreal ratio : {1.0, 1.5}) {
            ViewPicture picture;
            picture.setRowCuts({62.4, 124.6});
            auto areas = drawnAreas(picture, size, ratio, shapes);
            QCOMPARE(picture.image(), drawnOnce(size, ratio, shapes));
            std::sort(areas.begin(), areas.end(),
                      [](const QRectF& a, const QRectF& b) { return a.top() < b.top(); });
            QCOMPARE(areas.size(), std::size_t{3});
            QCOMPARE(areas[1].top(), std::round(62.4 * ratio) / ratio);
            QCOMPARE(areas.front().top(), 0.0);
            QCOMPARE(areas.back().bottom(), 190.0);
            QCOMPARE(areas[2].top(), areas[1].bottom());
        }
    }

    // The rows of the part asked for and no others: each part's painter draws in the image's
    // coordinates, a part ends at the next cut, and below the area nothing is drawn at all.
    void partsOfRowsDrawTheirOwnRows() {
        QImage image(40, 100, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        std::mutex mutex;
        std::vector<std::pair<int, int>> parts;
        drawRowsInParallel(image, QSize(30, 80), {20, 50},
                           [&](QPainter& painter, int top, int bottom) {
                               {
                                   const std::lock_guard lock(mutex);
                                   parts.emplace_back(top, bottom);
                               }
                               // Everywhere, in points: only the part's rows take it.
                               painter.fillRect(QRectF(0, 0, 20, 50), QColor(0, 0, 255 - top));
                           });
        std::sort(parts.begin(), parts.end());
        QCOMPARE(parts, (std::vector<std::pair<int, int>>{{0, 20}, {20, 50}, {50, 80}}));
        QCOMPARE(image.pixel(5, 19), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(5, 20), qRgb(0, 0, 235));
        QCOMPARE(image.pixel(29, 79), qRgb(0, 0, 205));
        QCOMPARE(image.pixel(30, 79), 0U); // beyond the area's width
        QCOMPARE(image.pixel(5, 80), 0U);  // below the area
    }

    // A picture drawn whole again, in the image it keeps, starts empty: nothing of the last one
    // shows through where the new one draws nothing.
    void aPictureDrawnAgainStartsEmpty() {
        ViewPicture picture;
        const QSize size(64, 48);
        drawnAreas(picture, size, 1,
                   [](QPainter& painter) { painter.fillRect(QRectF(0, 0, 64, 48), Qt::red); });
        QCOMPARE(picture.image().pixel(10, 10), qRgb(255, 0, 0));
        picture.invalidate();
        drawnAreas(picture, size, 1, [](QPainter&) {});
        QCOMPARE(picture.image().pixel(10, 10), 0U);
    }

    // A picture of 800 x 600 pixels takes about 470 pages. Drawn two lines lower (a view after a
    // drill-down) it stays in the memory it has, and drawn at a size the views were announced
    // to take it finds its memory written ahead: the drawing thread faults on no page of it, and
    // the picture equals one drawing. A copy of a picture still in use is never drawn over.
    void aPictureAtANewSizeTakesMemoryWrittenAlready() {
        const auto shapes = [](QPainter& painter) {
            glowingCircle(painter, QPointF(300, 250), 200);
        };
        ViewPicture picture;
        faultsOfPicture(picture, QSize(800, 600), shapes);
        QVERIFY(faultsOfPicture(picture, QSize(800, 598), shapes) < 40);
        QCOMPARE(picture.image(), drawnOnce(QSize(800, 598), 1, shapes));

        const QImage kept = picture.image();
        PictureMemory::expect(QSize(900, 700));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(5000));
        QVERIFY(faultsOfPicture(picture, QSize(900, 700), shapes) < 40);
        QCOMPARE(picture.image(), drawnOnce(QSize(900, 700), 1, shapes));
        faultsOfPicture(picture, QSize(800, 596), [](QPainter& painter) {
            painter.fillRect(QRectF(0, 0, 800, 596), Qt::red);
        });
        QCOMPARE(kept, drawnOnce(QSize(800, 598), 1, shapes));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kEndWhileWarming)) {
        return endWhileWarmingUp(argc, argv);
    }
    const QApplication app(argc, argv);
    ViewPictureTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "ViewPictureTest.moc"
