#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QPainter>
#include <QThreadPool>

#include <cstddef>
#include <cstring>
#include <latch>
#include <memory>

namespace fernwick::ui {

void ViewPicture::paint(QPainter& painter, const QRect& exposed, const QSize& size, qreal ratio,
                        const Draw& draw) {
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    if (m_image.size() != pixels || m_image.devicePixelRatio() != ratio) {
        m_whole = true;
    }
    if (m_whole) {
        m_whole = false;
        m_dirty = QRegion();
        m_image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_image.setDevicePixelRatio(ratio);
        m_image.fill(Qt::transparent);
        paintOnPoolThread([&] {
            QPainter picture(&m_image);
            picture.setRenderHint(QPainter::Antialiasing);
            draw(picture, QRectF(QPointF(0, 0), QSizeF(size)));
        });
    } else if (!m_dirty.isEmpty()) {
        paintOnPoolThread([&] { redrawDirty(ratio, draw); });
    }
    const QRectF source(QPointF(exposed.topLeft()) * ratio, QSizeF(exposed.size()) * ratio);
    painter.drawImage(QRectF(exposed), m_image, source);
}

void ViewPicture::redrawDirty(qreal ratio, const Draw& draw) {
    // Drawn unclipped into a scratch image as large as the picture and copied from there: the
    // rasteriser then gives every pixel the value it has in a whole picture, which a clipped draw
    // does not promise at antialiased edges.
    if (m_scratch.size() != m_image.size() || m_scratch.devicePixelRatio() != ratio) {
        m_scratch = QImage(m_image.size(), QImage::Format_ARGB32_Premultiplied);
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

void warmUpPoolThreads(void (*warmUp)()) {
    QThreadPool& pool = *QThreadPool::globalInstance();
    // A thread that ended (after 30 idle seconds by default) would take its font engines and
    // rasterised glyphs with it. Idle threads cost only their stacks.
    pool.setExpiryTimeout(-1);
    // Each waits until all have warmed up, so that no thread takes two of them.
    const int threads = pool.maxThreadCount();
    const auto warmed = std::make_shared<std::latch>(threads);
    for (int thread = 0; thread < threads; ++thread) {
        pool.start([warmUp, warmed] {
            warmUp();
            warmed->arrive_and_wait();
        });
    }
}

} // namespace fernwick::ui
