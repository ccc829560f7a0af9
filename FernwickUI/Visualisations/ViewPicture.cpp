#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QCoreApplication>
#include <QPainter>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <latch>
#include <memory>
#include <mutex>
#include <vector>

namespace fernwick::ui {

struct PictureBlock {
    // Whole steps of 2 MiB, so that a picture a little larger still fits. `written`: every page
    // written now (on a pool thread, ahead of need); otherwise the memory is left untouched, so
    // that its pages fault in where the picture is drawn, as a new image's would.
    PictureBlock(std::size_t bytes, bool written)
        : capacity((bytes + kStep - 1) / kStep * kStep),
          data(std::make_unique_for_overwrite<uchar[]>(capacity)) {
        if (written) {
            std::memset(data.get(), 0, capacity);
        }
    }

    static constexpr std::size_t kStep = std::size_t{2} << 20;
    std::size_t capacity;
    std::unique_ptr<uchar[]> data;
};

namespace {

// The one block kept written ahead for the next picture that needs new memory.
class SpareBlock {
public:
    // The spare if it holds `bytes`, after which another is made; null otherwise.
    std::shared_ptr<PictureBlock> take(std::size_t bytes) {
        const std::lock_guard lock(m_mutex);
        if (!m_spare || m_spare->capacity < bytes) {
            return nullptr;
        }
        std::shared_ptr<PictureBlock> block = std::move(m_spare);
        makeAhead();
        return block;
    }

    void expect(std::size_t bytes) {
        const std::lock_guard lock(m_mutex);
        m_expected = bytes;
        makeAhead();
    }

private:
    // Under the lock.
    void makeAhead() {
        if (m_making || m_expected == 0 || (m_spare && m_spare->capacity >= m_expected)) {
            return;
        }
        m_making = true;
        QThreadPool::globalInstance()->start([this, bytes = m_expected] {
            auto block = std::make_shared<PictureBlock>(bytes, true);
            const std::lock_guard lock(m_mutex);
            m_spare = std::move(block);
            m_making = false;
            makeAhead(); // the area grew meanwhile
        });
    }

    std::mutex m_mutex;
    std::shared_ptr<PictureBlock> m_spare;
    std::size_t m_expected = 0;
    bool m_making = false;
};

// Never destroyed: a block may still be in the making on a pool thread when the program ends.
SpareBlock& spareBlock() {
    static auto* spare = new SpareBlock;
    return *spare;
}

std::size_t imageBytes(const QSize& pixels) {
    return static_cast<std::size_t>(std::max(pixels.width(), 0)) * 4 *
           static_cast<std::size_t>(std::max(pixels.height(), 0));
}

} // namespace

QImage PictureMemory::image(const QSize& pixels) {
    const std::size_t bytes = imageBytes(pixels);
    if (bytes == 0) {
        return QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    // Each image holds the block while it lives: a copy still in use keeps it from this image.
    if (!m_block || m_block.use_count() > 1 || m_block->capacity < bytes) {
        m_block = spareBlock().take(bytes);
        if (!m_block) {
            m_block = std::make_shared<PictureBlock>(bytes, false);
        }
    }
    return QImage(
        m_block->data.get(), pixels.width(), pixels.height(),
        static_cast<qsizetype>(pixels.width()) * 4, QImage::Format_ARGB32_Premultiplied,
        [](void* block) { delete static_cast<std::shared_ptr<PictureBlock>*>(block); },
        new std::shared_ptr<PictureBlock>(m_block));
}

void PictureMemory::expect(const QSize& pixels) {
    spareBlock().expect(imageBytes(pixels));
}

void ViewPicture::paint(QPainter& painter, const QRect& exposed, const QSize& size, qreal ratio,
                        const Draw& draw) {
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    if (m_image.size() != pixels || m_image.devicePixelRatio() != ratio) {
        m_whole = true;
    }
    if (m_whole) {
        m_whole = false;
        m_dirty = QRegion();
        if (m_image.size() != pixels) {
            m_image = QImage();
            m_image = m_memory.image(pixels);
        }
        m_image.setDevicePixelRatio(ratio);
        m_image.fill(Qt::transparent);
        drawWhole(size, ratio, draw);
    } else if (!m_dirty.isEmpty()) {
        paintOnPoolThread([&] { redrawDirty(ratio, draw); });
    }
    const QRectF source(QPointF(exposed.topLeft()) * ratio, QSizeF(exposed.size()) * ratio);
    painter.drawImage(QRectF(exposed), m_image, source);
}

void ViewPicture::setBands(std::vector<double> edges, double bottom) {
    m_edges = std::move(edges);
    m_bottom = bottom;
    if (m_edges.empty()) {
        m_bandImages.clear();
    }
}

namespace {

// 0, the device positions of `edges` in whole pixels where each lies beyond the one before and
// before `end`, and `end`.
std::vector<int> devicePositions(const std::vector<double>& edges, qreal ratio, int end) {
    std::vector<int> positions{0};
    for (const double edge : edges) {
        const int position = static_cast<int>(std::lround(edge * ratio));
        if (position > positions.back() && position < end) {
            positions.push_back(position);
        }
    }
    positions.push_back(end);
    return positions;
}

} // namespace

void ViewPicture::drawInRows(const QSize& size, qreal ratio, const Draw& draw) {
    std::vector<int> cuts = devicePositions(m_rowCuts, ratio, m_image.height());
    cuts.erase(cuts.begin());
    cuts.pop_back();
    drawRowsInParallel(m_image, m_image.size(), cuts, [&](QPainter& picture, int top, int bottom) {
        draw(picture, QRectF(0, top / ratio, size.width(), (bottom - top) / ratio));
    });
}

void ViewPicture::drawWhole(const QSize& size, qreal ratio, const Draw& draw) {
    if (!m_rowCuts.empty()) {
        drawInRows(size, ratio, draw);
        return;
    }
    const std::vector<int> columns = devicePositions(m_edges, ratio, m_image.width());
    const std::size_t bands = columns.size() - 1;
    const int rows = std::clamp(static_cast<int>(std::ceil(m_bottom * ratio)), 0, m_image.height());
    m_bandImages.resize(bands - 1);
    std::vector<std::function<void()>> draws;
    for (std::size_t band = 0; band < bands; ++band) {
        draws.emplace_back([&, band] {
            // The first band is drawn into the picture itself; the others replace what it drew
            // beyond it.
            QImage* target = &m_image;
            if (band > 0) {
                auto& [memory, image] = m_bandImages[band - 1];
                target = &image;
                if (image.size() != QSize(m_image.width(), rows)) {
                    image = QImage();
                    image = memory.image(QSize(m_image.width(), rows));
                }
                target->setDevicePixelRatio(ratio);
                target->fill(Qt::transparent);
            }
            QPainter picture(target);
            picture.setRenderHint(QPainter::Antialiasing);
            const double left = columns[band] / ratio;
            draw(picture, bands == 1
                              ? QRectF(QPointF(0, 0), QSizeF(size))
                              : QRectF(left, 0, columns[band + 1] / ratio - left, size.height()));
        });
    }
    paintInParallel(draws);
    for (std::size_t band = 1; band < bands; ++band) {
        const QImage& part = m_bandImages[band - 1].second;
        const auto offset = static_cast<std::size_t>(columns[band]) * 4;
        const auto bytes = static_cast<std::size_t>(columns[band + 1] - columns[band]) * 4;
        for (int y = 0; y < rows; ++y) {
            std::memcpy(m_image.scanLine(y) + offset, part.constScanLine(y) + offset, bytes);
        }
    }
}

void ViewPicture::redrawDirty(qreal ratio, const Draw& draw) {
    // Drawn unclipped into a scratch image as large as the picture and copied from there: the
    // rasteriser then gives every pixel the value it has in a whole picture, which a clipped draw
    // does not promise at antialiased edges.
    if (m_scratch.size() != m_image.size() || m_scratch.devicePixelRatio() != ratio) {
        m_scratch = QImage();
        m_scratch = m_scratchMemory.image(m_image.size());
        m_scratch.setDevicePixelRatio(ratio);
    }
    for (const QRect& area : m_dirty) {
        // Whole device pixels.
        const QRect device =
            QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio).toAlignedRect() &
            m_image.rect();
        if (device.isEmpty()) {
            continue;
        }
        const QRectF logical(QPointF(device.topLeft()) / ratio, QSizeF(device.size()) / ratio);
        {
            QPainter scratch(&m_scratch);
            scratch.setCompositionMode(QPainter::CompositionMode_Source);
            scratch.fillRect(logical, Qt::transparent);
            scratch.setCompositionMode(QPainter::CompositionMode_SourceOver);
            scratch.setRenderHint(QPainter::Antialiasing);
            draw(scratch, logical);
        }
        const auto rowBytes = static_cast<std::size_t>(device.width()) * 4;
        for (int y = device.top(); y <= device.bottom(); ++y) {
            std::memcpy(m_image.scanLine(y) + static_cast<std::ptrdiff_t>(device.left()) * 4,
                        m_scratch.constScanLine(y) + static_cast<std::ptrdiff_t>(device.left()) * 4,
                        rowBytes);
        }
    }
    m_dirty = QRegion();
}

void drawRowsInParallel(QImage& image, const QSize& pixels, const std::vector<int>& cuts,
                        const std::function<void(QPainter& painter, int top, int bottom)>& draw) {
    std::vector<int> rows{0};
    rows.insert(rows.end(), cuts.begin(), cuts.end());
    rows.push_back(pixels.height());
    const qreal ratio = image.devicePixelRatio();
    uchar* const bits = image.bits();
    const qsizetype line = image.bytesPerLine();
    std::vector<std::function<void()>> draws;
    for (std::size_t part = 0; part + 1 < rows.size(); ++part) {
        const int top = rows[part];
        const int bottom = rows[part + 1];
        draws.emplace_back([&, top, bottom] {
            QImage window(bits + top * line, pixels.width(), bottom - top, line,
                          QImage::Format_ARGB32_Premultiplied);
            window.setDevicePixelRatio(ratio);
            QPainter painter(&window);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(0, -top / ratio);
            draw(painter, top, bottom);
        });
    }
    paintInParallel(draws);
}

void paintInParallel(const std::vector<std::function<void()>>& draws) {
    // Shared: a pool thread may still be inside count_down() when the wait returns.
    const auto done = std::make_shared<std::latch>(static_cast<std::ptrdiff_t>(draws.size()));
    for (const auto& draw : draws) {
        if (!QThreadPool::globalInstance()->tryStart([&draw, done] {
                draw();
                done->count_down();
            })) {
            draw();
            done->count_down();
        }
    }
    done->wait();
}

void paintOnPoolThread(const std::function<void()>& draw) {
    paintInParallel({draw});
}

namespace {

// This application's warm-ups (a few at most), some perhaps still at work. They draw text, and
// the fonts go with the application.
std::vector<std::shared_ptr<std::latch>>& unfinishedWarmUps() {
    static std::vector<std::shared_ptr<std::latch>> warmUps;
    return warmUps;
}

// Run as the application ends, before its fonts go.
void awaitWarmUps() {
    for (const auto& warmed : unfinishedWarmUps()) {
        warmed->wait();
    }
    unfinishedWarmUps().clear();
}

} // namespace

void warmUpPoolThreads(void (*warmUp)()) {
    QThreadPool& pool = *QThreadPool::globalInstance();
    // A thread that ended (after 30 idle seconds by default) would take its font engines and
    // rasterised glyphs with it. Idle threads cost only their stacks.
    pool.setExpiryTimeout(-1);
    // Each waits until all have warmed up, so that no thread takes two of them.
    const int threads = pool.maxThreadCount();
    const auto warmed = std::make_shared<std::latch>(threads);
    if (unfinishedWarmUps().empty()) { // the first warm-up of this application
        qAddPostRoutine(awaitWarmUps);
    }
    unfinishedWarmUps().push_back(warmed);
    for (int thread = 0; thread < threads; ++thread) {
        pool.start([warmUp, warmed] {
            warmUp();
            warmed->arrive_and_wait();
        });
    }
}

} // namespace fernwick::ui
