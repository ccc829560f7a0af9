#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"

#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QMenu>
#include <QPainter>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <utility>

namespace fernwick::ui {

// One request to the worker: what to lay out and draw, and, once done, the tiles and their
// picture.
struct KelvaneNestedTileView::Request {
    std::uint64_t number = 0;
    DiskNodePtr root;
    Rect bounds;
    TreemapTheme theme = TreemapTheme::kelvane;
    QSize pixels;
    qreal ratio = 1;
    ScanTree::View hold;
    NestedTileLayout layout;
    QImage image;
};

// Shared by the view and its requests: the newest request's number (an older one stops at its
// next step and is never shown), the request waiting to run, and the way back to the view, cut
// when the view goes. One request runs at a time, on the application's thread pool: the raster
// engine splits a tall fill across that pool's threads unless it paints on one of them, and on
// a busy machine waking those threads costs more than the fill.
struct KelvaneNestedTileView::Worker : std::enable_shared_from_this<Worker> {
    std::atomic<std::uint64_t> newest{0};
    NestedTilePainter painter; // the running request's only
    std::mutex mutex;
    std::condition_variable idle;
    KelvaneNestedTileView* view = nullptr;
    std::shared_ptr<Request> waiting;
    bool running = false; // a drain() is started or queued on the pool
    bool busy = false;    // and is running a request

    // Puts `request` in place of one still waiting, and runs it unless a request is running.
    void submit(std::shared_ptr<Request> request) {
        const std::lock_guard lock(mutex);
        waiting = std::move(request);
        if (!running) {
            running = true;
            QThreadPool::globalInstance()->start([self = shared_from_this()] { self->drain(); });
        }
    }

    void drain() {
        std::unique_lock lock(mutex);
        while (waiting) {
            std::shared_ptr<Request> request = std::move(waiting);
            busy = true;
            lock.unlock();
            run(request);
            request.reset(); // a dropped request's tiles are freed here, not under the lock
            lock.lock();
            busy = false;
            idle.notify_all();
        }
        running = false;
    }

    void run(const std::shared_ptr<Request>& request) {
        const auto superseded = [&] { return newest.load() != request->number; };
        if (superseded()) {
            return;
        }
        request->layout.recompute(request->root, request->bounds);
        if (superseded()) {
            return;
        }
        painter.paint(request->layout, request->theme, request->pixels, request->ratio,
                      request->image);
        const std::lock_guard lock(mutex);
        if (view != nullptr && !superseded()) {
            QMetaObject::invokeMethod(
                view, [target = view, request] { target->accept(request); }, Qt::QueuedConnection);
        }
    }
};

KelvaneNestedTileView::KelvaneNestedTileView(QWidget* parent)
    : VisualisationView(parent), m_worker(std::make_shared<Worker>()) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_worker->view = this;
}

KelvaneNestedTileView::~KelvaneNestedTileView() {
    // A running request stops at its next step; it may still be painting (text among it), which
    // must end before the application can go. A drain still queued on the pool finds nothing.
    std::unique_lock lock(m_worker->mutex);
    m_worker->view = nullptr;
    m_worker->waiting.reset();
    m_worker->newest = std::numeric_limits<std::uint64_t>::max();
    m_worker->idle.wait(lock, [this] { return !m_worker->busy; });
}

void KelvaneNestedTileView::setRoot(const DiskNodePtr& root) {
    // A change of the tree sets the shown folder again, perhaps as a copy (which keeps the id).
    const bool sameFolder = root == m_root || (root && m_root && root->id() == m_root->id());
    m_root = root;
    prepare(sameFolder ? Replaced::data : Replaced::root);
}

void KelvaneNestedTileView::setTheme(TreemapTheme theme) {
    if (theme == m_theme) {
        return;
    }
    m_theme = theme;
    if (m_pending || m_layout.tiles().size() > kSynchronousTiles) {
        prepare(Replaced::view);
        return;
    }
    m_cacheValid = false;
    update();
}

void KelvaneNestedTileView::setBottomInset(double inset) {
    if (inset == m_bottomInset) {
        return;
    }
    m_bottomInset = inset;
    prepare(Replaced::view);
}

const TreemapRect* KelvaneNestedTileView::hoveredTile() const {
    const int item = hoveredItem();
    return item >= 0 ? m_layout.tiles()[static_cast<std::size_t>(item)].rect : nullptr;
}

void KelvaneNestedTileView::prepare(Replaced replaced) {
    const std::uint64_t number = ++m_request;
    m_worker->newest = number;
    const Rect bounds = NestedTileLayout::layoutBounds(width(), height(), m_bottomInset);
    if (NestedTileLayout::tileBound(m_root, kSynchronousTiles) <= kSynchronousTiles) {
        m_pending = false;
        m_layout.recompute(m_root, bounds);
        // The old tiles are gone: the hover stays as reported until the pointer moves again.
        clearHover();
        m_chain.clear();
        m_cacheValid = false;
        update();
        return;
    }
    if (replaced != Replaced::view) {
        retireShown(replaced == Replaced::data);
    }
    m_pending = true;
    auto request = std::make_shared<Request>();
    request->number = number;
    request->root = m_root;
    request->bounds = bounds;
    request->theme = m_theme;
    request->ratio = devicePixelRatioF();
    request->pixels = size() * request->ratio;
    if (m_treeHold) {
        request->hold = m_treeHold();
    }
    m_worker->submit(std::move(request));
}

void KelvaneNestedTileView::accept(const std::shared_ptr<Request>& request) {
    if (request->number != m_request) {
        return;
    }
    m_pending = false;
    request->hold = {};
    retireShown(false);
    m_layout = std::move(request->layout);
    m_cache = std::move(request->image);
    update();
}

void KelvaneNestedTileView::retireShown(bool keepPicture) {
    // A picture not yet drawn from the shown tiles is an older one: never kept.
    const bool kept = keepPicture && m_cacheValid;
    auto retired = std::make_shared<std::pair<NestedTileLayout, QImage>>(
        std::move(m_layout), kept ? QImage() : std::move(m_cache));
    m_layout = NestedTileLayout();
    if (!kept) {
        m_cache = QImage();
    }
    m_cacheValid = true;
    clearHover();
    m_chain.clear();
    // Freed on the worker: tens of thousands of tiles take the GUI thread a while to let go.
    QThreadPool::globalInstance()->start([retired = std::move(retired)] {});
}

void KelvaneNestedTileView::paintEvent(QPaintEvent*) {
    if (!m_cacheValid) {
        drawCache();
        m_cacheValid = true;
    }
    if (!m_cache.isNull()) {
        QPainter painter(this);
        painter.drawImage(0, 0, m_cache);
    }
}

void KelvaneNestedTileView::drawCache() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    paintOnPoolThread(
        [this, pixels, ratio] { m_painter.paint(m_layout, m_theme, pixels, ratio, m_cache); });
}

void KelvaneNestedTileView::resizeEvent(QResizeEvent* event) {
    prepare(Replaced::view);
    VisualisationView::resizeEvent(event);
}

int KelvaneNestedTileView::itemAt(const QPointF& pos) const {
    return m_layout.tileAt(pos.x(), pos.y());
}

DiskNodePtr KelvaneNestedTileView::nodeOfItem(int item) const {
    return m_layout.tiles().at(static_cast<std::size_t>(item)).rect->node;
}

void KelvaneNestedTileView::updateHover(const QPointF& pos) {
    m_layout.chainAt(pos.x(), pos.y(), m_probe);
    const int hovered = NestedTileLayout::hoverAfterMove(m_chain, m_probe, hoveredItem());
    std::swap(m_chain, m_probe);
    setHoveredItem(hovered);
}

void KelvaneNestedTileView::hoverChanged(int, int current) {
    emit hoveredNodeChanged(current >= 0 ? nodeOfItem(current) : nullptr);
}

void KelvaneNestedTileView::leaveEvent(QEvent* event) {
    m_chain.clear();
    VisualisationView::leaveEvent(event);
}

std::unique_ptr<QMenu> KelvaneNestedTileView::contextMenuAt(const QPoint& pos) {
    const int item = itemAt(pos);
    if (item < 0) {
        return nullptr;
    }
    return buildItemMenu(nodeOfItem(item), {MenuEntry::reveal, MenuEntry::trash,
                                            MenuEntry::copyPath, MenuEntry::drillDown});
}

} // namespace fernwick::ui
