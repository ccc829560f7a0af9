#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace fernwick::ui {

struct PictureBlock;

/// The memory of an image drawn whole again and again, kept across its sizes. Memory new to the
/// process costs the system a fault for every page as it is first written, which for a picture as
/// large as a window takes longer than drawing it: so an image that fits in the memory of the
/// last one (a view a line lower after a drill-down, or back at its former size) is placed there,
/// and new memory comes, when it can, from a block written ahead on a pool thread (see expect).
class PictureMemory {
public:
    /// An ARGB32 premultiplied image of `pixels`, its contents undefined, in this memory unless
    /// a copy of an image from it is still in use. The image last returned must not be drawn on
    /// afterwards, nor kept.
    QImage image(const QSize& pixels);

    /// Pictures of up to `pixels` are coming (the area the views are shown in): one block for
    /// such a picture is kept written ahead, made again on a pool thread whenever it is taken.
    static void expect(const QSize& pixels);

private:
    std::shared_ptr<PictureBlock> m_block;
};

/// The picture of a view kept in an image, so that a frame only copies it. It is drawn whole
/// after a change of the view's items or size, and afterwards only where something changed (a
/// hover): that part is cleared to whole pixels and drawn again by the view, which draws every
/// item that meets it, in its usual order. The image is therefore always what drawing the whole
/// view onto a transparent image gives. GUI thread only.
class ViewPicture {
public:
    /// Draws, with antialiasing, every item that meets `area` (view coordinates) in the order the
    /// view stacks them. In bands or parts (see setBands, setRowCuts) it is called on several
    /// threads at once.
    using Draw = std::function<void(QPainter& painter, const QRectF& area)>;

    /// From the next whole drawing on, the picture is drawn in upright bands at once, divided at
    /// `edges` (view x coordinates, ascending; none for one band), each on a thread of its own:
    /// every item that meets a band is drawn in full onto a transparent image as large as the
    /// picture, of which the band is kept. That gives the same pixels as one drawing; a clipped
    /// or shifted drawing gives other values at antialiased edges and in gradients. No item
    /// reaches below `bottom` (view coordinates): the band images end there.
    void setBands(std::vector<double> edges, double bottom);

    /// From the next whole drawing on, the picture is drawn in parts of whole rows at once, cut
    /// at `cuts` (view y coordinates, ascending; none for one part) where no item's drawing
    /// crosses, each straight into the picture's rows.
    void setRowCuts(std::vector<double> cuts) { m_rowCuts = std::move(cuts); }

    /// The whole picture is drawn again at the next paint.
    void invalidate() { m_whole = true; }
    /// `area` (view coordinates) is drawn again at the next paint.
    void invalidate(const QRect& area) { m_dirty += area; }

    /// Brings the image up to date for a view of `size` points at `ratio` device pixels per
    /// point, then copies its `exposed` part onto `painter`.
    void paint(QPainter& painter, const QRect& exposed, const QSize& size, qreal ratio,
               const Draw& draw);

    /// The picture as last brought up to date; null before the first paint.
    const QImage& image() const { return m_image; }

private:
    void drawWhole(const QSize& size, qreal ratio, const Draw& draw);
    void redrawDirty(qreal ratio, const Draw& draw);

    PictureMemory m_memory;
    QImage m_image;
    void drawInRows(const QSize& size, qreal ratio, const Draw& draw);

    std::vector<double> m_rowCuts;
    std::vector<double> m_edges;
    double m_bottom = 0;
    std::vector<std::pair<PictureMemory, QImage>> m_bandImages;
    PictureMemory m_scratchMemory;
    QImage m_scratch;
    bool m_whole = true;
    QRegion m_dirty;
};

/// Runs `draw` on a free thread of the application's pool while the calling thread waits, or
/// on the calling thread when none is free. Painting there, the raster engine fills tall shapes
/// itself instead of splitting them across that pool's threads, which on a busy machine costs
/// two to three times as long as the fill. `draw` must touch nothing another thread uses
/// meanwhile.
void paintOnPoolThread(const std::function<void()>& draw);

/// Runs each of `draws` on a free thread of the application's pool, the rest on the calling
/// thread, and returns when all are done. Each must touch nothing the others or another thread
/// use meanwhile.
void paintInParallel(const std::vector<std::function<void()>>& draws);

/// Draws into the top left `pixels` of `image` in parts of its device rows, divided at `cuts`
/// (ascending, inside, without 0), all at once on the application pool's threads, each through a
/// window onto its own rows: `draw` gets a painter, antialiased, on rows [top, bottom) in which
/// the image's coordinates hold, and the rows.
void drawRowsInParallel(QImage& image, const QSize& pixels, const std::vector<int>& cuts,
                        const std::function<void(QPainter& painter, int top, int bottom)>& draw);

/// Runs `warmUp` once on every thread of the application's pool, in the background, and keeps
/// those threads for the life of the application: font engines and rasterised glyphs belong to
/// one thread, and a picture is drawn on whichever thread is free (see warmUpFonts). The
/// application, as it ends, waits for a warm-up still at work, before the fonts go.
void warmUpPoolThreads(void (*warmUp)());

} // namespace fernwick::ui
