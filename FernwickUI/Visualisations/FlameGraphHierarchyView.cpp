#include "FernwickUI/Visualisations/FlameGraphHierarchyView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace fernwick::ui {

namespace {

constexpr double kContentPadding = 6;
constexpr double kContentSpacing = 4;
constexpr double kIconWidth = 12;
constexpr double kIconSize = 10;
constexpr double kOutline = 0.8;
constexpr double kFillOpacity = 0.22;
constexpr double kOutlineOpacity = 0.6;

QFont nameFont() {
    return uiFont(10, QFont::Bold);
}
QFont smallNameFont() {
    return uiFont(8.5, QFont::Bold);
}
QFont sizeFont() {
    return uiFont(9.5, QFont::DemiBold, FontDesign::monospaced);
}

struct Tint {
    float red = 0;
    float green = 0;
    float blue = 0;
};

// One pixel row of slivers being composited, premultiplied, a value per device pixel column.
class SliverRow {
public:
    explicit SliverRow(int columns) : m_pixels(static_cast<std::size_t>(columns)) {}

    // Composites `colour` at `opacity` over the columns that [left, right) meets (device pixels),
    // each by the part of it the span covers.
    void blend(double left, double right, const Tint& colour, float opacity) {
        const int first = std::max(0, static_cast<int>(std::floor(left)));
        const int end =
            std::min(static_cast<int>(m_pixels.size()), static_cast<int>(std::ceil(right)));
        for (int column = first; column < end; ++column) {
            const auto covered = static_cast<float>(std::min(right, column + 1.0) -
                                                    std::max(left, static_cast<double>(column)));
            const float alpha = opacity * covered;
            Pixel& pixel = m_pixels[static_cast<std::size_t>(column)];
            pixel.red = colour.red * alpha + pixel.red * (1 - alpha);
            pixel.green = colour.green * alpha + pixel.green * (1 - alpha);
            pixel.blue = colour.blue * alpha + pixel.blue * (1 - alpha);
            pixel.alpha = alpha + pixel.alpha * (1 - alpha);
        }
    }

    void store(QRgb* line) const {
        const auto level = [](float value) {
            return static_cast<int>(std::lround(std::clamp(value, 0.0F, 1.0F) * 255));
        };
        for (const Pixel& pixel : m_pixels) {
            *line++ =
                qRgba(level(pixel.red), level(pixel.green), level(pixel.blue), level(pixel.alpha));
        }
    }

private:
    struct Pixel {
        float red = 0;
        float green = 0;
        float blue = 0;
        float alpha = 0;
    };
    std::vector<Pixel> m_pixels;
};

} // namespace

// Made for each drawing: the picture is drawn on several threads at once, and a font keeps what
// it resolves to, for one thread.
struct FlameGraphHierarchyView::Fonts {
    QFont name = nameFont();
    QFont smallName = smallNameFont();
    QFont size = sizeFont();
};

void FlameGraphHierarchyView::warmUp() {
    warmUpFonts({nameFont(), smallNameFont(), sizeFont()}, {"folder.fill", "doc.fill"}, kIconSize);
}

FlameGraphHierarchyView::FlameGraphHierarchyView(QWidget* parent) : VisualisationView(parent) {
    // A double click is told from a click before the click selects: on a file it does nothing.
    setDoubleClickFirst(true);
    setMinimumSize(static_cast<int>(FlameGraphLayout::kMinimumViewWidth),
                   static_cast<int>(FlameGraphLayout::contentHeight()));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

FlameGraphHierarchyView::~FlameGraphHierarchyView() = default;

void FlameGraphHierarchyView::setRoot(const DiskNodePtr& root) {
    m_root = root;
    relayout();
}

QSize FlameGraphHierarchyView::sizeHint() const {
    return minimumSize();
}

void FlameGraphHierarchyView::relayout() {
    m_layout = FlameGraphLayout::compute(m_root, width());
    prepareTexts();
    m_looksRatio = 0; // prepared at the next paint, for its device pixels
    m_picture.invalidate();
    // The node stays hovered while its bar is still shown; its index may have changed.
    int hovered = -1;
    if (m_state.hoveredFlameNode) {
        for (std::size_t i = 0; i < m_layout.bars().size(); ++i) {
            if (m_layout.bars()[i].node->id() == m_state.hoveredFlameNode->id()) {
                hovered = static_cast<int>(i);
                break;
            }
        }
    }
    clearHover();
    if (hovered < 0) {
        m_state.hoveredFlameNode.reset();
    }
    setHoveredItem(hovered);
    update();
}

void FlameGraphHierarchyView::prepareTexts() {
    const QFontMetricsF nameMetrics(nameFont());
    const QFontMetricsF smallMetrics(smallNameFont());
    const QFontMetricsF sizeMetrics(sizeFont());
    m_texts.assign(m_layout.bars().size(), {});
    for (std::size_t i = 0; i < m_layout.bars().size(); ++i) {
        const auto& bar = m_layout.bars()[i];
        // The content starts after the padding: on a bar no wider than that all of it is clipped.
        if (bar.rect.width <= kContentPadding) {
            continue;
        }
        auto& texts = m_texts[i];
        // Icon, name, a spacer and the size; the name gives way first, and a size that does
        // not fit after the icon is left out whole.
        const double room = bar.rect.width - 2 * kContentPadding;
        const QString name = displayText(bar.node->name());
        if (bar.isSmall) {
            texts.name = fittedName(name, smallMetrics, room);
            continue;
        }
        auto fitted =
            fitNameAndNumber(name, nameMetrics, displayText(bar.node->formattedSize()), sizeMetrics,
                             room - kIconWidth - kContentSpacing, kContentSpacing);
        texts.name = std::move(fitted.name);
        texts.size = std::move(fitted.number);
        texts.sizeWidth = fitted.numberWidth;
    }
}

void FlameGraphHierarchyView::prepareCrowdedRows(qreal ratio) {
    const auto& bars = m_layout.bars();
    m_looks.assign(bars.size(), Look::whole);
    m_strips.clear();
    m_looksRatio = ratio;
    const double rowPixels =
        (std::max(width(), static_cast<int>(FlameGraphLayout::kMinimumViewWidth)) -
         2 * FlameGraphLayout::kPadding) *
        ratio;
    // The children row follows the root; the bottom row follows the children row. Crowded rows
    // are composited at once, each on a thread of its own.
    std::vector<std::pair<std::size_t, std::size_t>> crowded;
    std::size_t rowStart = 1;
    while (rowStart < bars.size()) {
        std::size_t rowEnd = rowStart;
        while (rowEnd < bars.size() && bars[rowEnd].isSmall == bars[rowStart].isSmall) {
            ++rowEnd;
        }
        if (static_cast<double>(rowEnd - rowStart) > 2 * rowPixels) {
            for (std::size_t i = rowStart; i < rowEnd; ++i) {
                const double width = bars[i].rect.width;
                if (width > 0 && width * ratio < 1 && width < kOutline) {
                    m_looks[i] = Look::sliver;
                }
            }
            crowded.emplace_back(rowStart, rowEnd);
        }
        rowStart = rowEnd;
    }
    m_strips.resize(crowded.size());
    std::vector<std::function<void()>> composites;
    for (std::size_t row = 0; row < crowded.size(); ++row) {
        composites.emplace_back([this, row, ratio, &crowded] {
            m_strips[row] = makeStrip(crowded[row].first, crowded[row].second, ratio);
        });
    }
    if (composites.size() > 1) {
        paintInParallel(composites);
    } else if (!composites.empty()) {
        composites.front()();
    }
    divideIntoBands();
}

void FlameGraphHierarchyView::divideIntoBands() {
    // A bar costs about the same to draw whatever its width, its texts about twice as much again;
    // the slivers next to nothing. Below a few hundred bars one thread is quicker.
    constexpr int kBands = 4;
    constexpr double kLeastCostPerBand = 100;
    const auto& bars = m_layout.bars();
    std::vector<std::pair<double, double>> costs; // the bar's middle, its cost
    for (std::size_t i = 1; i < bars.size(); ++i) {
        if (bars[i].isVisible() && m_looks[i] == Look::whole) {
            costs.emplace_back(bars[i].rect.midX(), m_texts[i].name.isEmpty() ? 1 : 3);
        }
    }
    double total = 0;
    for (const auto& [middle, cost] : costs) {
        total += cost;
    }
    std::vector<double> edges;
    if (total >= kBands * kLeastCostPerBand) {
        std::sort(costs.begin(), costs.end());
        double sum = 0;
        for (const auto& [middle, cost] : costs) {
            sum += cost;
            if (sum >= total * static_cast<double>(edges.size() + 1) / kBands &&
                edges.size() + 1 < kBands) {
                edges.push_back(middle);
            }
        }
    }
    m_picture.setBands(std::move(edges), FlameGraphLayout::contentHeight());
}

FlameGraphHierarchyView::Strip
FlameGraphHierarchyView::makeStrip(std::size_t rowStart, std::size_t rowEnd, qreal ratio) const {
    const auto& bars = m_layout.bars();
    // An outline at most a device pixel wide is drawn as a hairline along each side, a pixel
    // wide and as opaque as the outline is wide; a wider one covers the sliver and half its
    // width either side. The fill covers the sliver.
    const double outline = kOutline * ratio;
    const bool hairlines = outline <= 1;
    const double reach = hairlines ? 0.5 : outline / 2;
    const Rect& first = bars[rowStart].rect;
    const int left = static_cast<int>(std::floor(first.x * ratio - reach));
    const int right = static_cast<int>(std::ceil(bars[rowEnd - 1].rect.maxX() * ratio + reach));
    const double fillTop = first.y * ratio;
    const double fillBottom = first.maxY() * ratio;
    const double outlineTop = hairlines ? fillTop : fillTop - reach;
    const double outlineBottom = hairlines ? fillBottom : fillBottom + reach;
    const int top = static_cast<int>(std::floor(outlineTop));
    const int bottom = static_cast<int>(std::ceil(outlineBottom));
    QImage image(right - left, bottom - top, QImage::Format_ARGB32_Premultiplied);
    // Pixel rows differ only by how much of them the fill and the outline cover: the top and
    // bottom ones, partly. Each kind is composited once.
    // By category, in the order of its values.
    std::vector<Tint> tints(allStorageCategories().size());
    for (const StorageCategory category : allStorageCategories()) {
        const QColor k = FernwickTheme::color(category);
        tints.at(static_cast<std::size_t>(category)) = {k.redF(), k.greenF(), k.blueF()};
    }
    std::vector<std::pair<float, float>> kinds;
    std::vector<int> rowOfKind;
    for (int y = top; y < bottom; ++y) {
        const auto covered = [y](double from, double to) {
            return static_cast<float>(
                std::max(0.0, std::min(y + 1.0, to) - std::max(from, static_cast<double>(y))));
        };
        const std::pair kind(covered(fillTop, fillBottom), covered(outlineTop, outlineBottom));
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y - top));
        const auto known = std::find(kinds.begin(), kinds.end(), kind);
        if (known != kinds.end()) {
            const int row = rowOfKind[static_cast<std::size_t>(known - kinds.begin())];
            std::copy_n(reinterpret_cast<const QRgb*>(image.constScanLine(row)), image.width(),
                        line);
            continue;
        }
        kinds.push_back(kind);
        rowOfKind.push_back(y - top);
        SliverRow row(image.width());
        for (std::size_t i = rowStart; i < rowEnd; ++i) {
            if (m_looks[i] != Look::sliver) {
                continue;
            }
            const Tint& k = tints.at(static_cast<std::size_t>(bars[i].category));
            const double x = bars[i].rect.x * ratio - left;
            const double end = bars[i].rect.maxX() * ratio - left;
            row.blend(x, end, k, static_cast<float>(kFillOpacity) * kind.first);
            if (hairlines) {
                const auto opacity = static_cast<float>(kOutlineOpacity * outline) * kind.second;
                row.blend(x - reach, x + reach, k, opacity);
                row.blend(end - reach, end + reach, k, opacity);
            } else {
                row.blend(x - reach, end + reach, k,
                          static_cast<float>(kOutlineOpacity) * kind.second);
            }
        }
        row.store(line);
    }
    image.setDevicePixelRatio(ratio);
    return {std::move(image), QPointF(left, top) / ratio};
}

void FlameGraphHierarchyView::resizeEvent(QResizeEvent* event) {
    relayout();
    VisualisationView::resizeEvent(event);
}

int FlameGraphHierarchyView::itemAt(const QPointF& pos) const {
    return m_layout.barAt(pos.x(), pos.y());
}

DiskNodePtr FlameGraphHierarchyView::nodeOfItem(int item) const {
    return m_layout.bars().at(static_cast<std::size_t>(item)).node;
}

void FlameGraphHierarchyView::hoverChanged(int previous, int current) {
    m_state.hoveredFlameNode = current >= 0 ? nodeOfItem(current) : nullptr;
    repaintBar(previous);
    repaintBar(current);
}

void FlameGraphHierarchyView::repaintBar(int item) {
    if (item < 0 || item >= static_cast<int>(m_layout.bars().size())) {
        return;
    }
    // The hovered outline reaches 0.75 beyond the bar.
    const QRect area = toQRect(m_layout.bars()[static_cast<std::size_t>(item)].rect)
                           .adjusted(-2, -2, 2, 2)
                           .toAlignedRect();
    m_picture.invalidate(area);
    update(area);
}

void FlameGraphHierarchyView::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    if (m_looksRatio != ratio) {
        prepareCrowdedRows(ratio);
        m_picture.invalidate();
    }
    QPainter painter(this);
    m_picture.paint(
        painter, event->rect(), size(), ratio,
        [this](QPainter& picture, const QRectF& area) { drawBars(picture, area, false); });
}

void FlameGraphHierarchyView::drawPlain(QPainter& painter) const {
    drawBars(painter, QRectF(rect()), true);
}

void FlameGraphHierarchyView::drawBars(QPainter& painter, const QRectF& area, bool plain) const {
    if (!plain) {
        for (const Strip& strip : m_strips) {
            if (area.intersects(QRectF(strip.topLeft, strip.image.deviceIndependentSize()))) {
                painter.drawImage(strip.topLeft, strip.image);
            }
        }
    }
    const int hovered = hoveredItem();
    const Fonts fonts;
    for (std::size_t i = 0; i < m_layout.bars().size(); ++i) {
        const auto& bar = m_layout.bars()[i];
        if (!bar.isVisible() ||
            (!plain && m_looks[i] == Look::sliver && static_cast<int>(i) != hovered)) {
            continue;
        }
        // An outline reaches up to 0.75 beyond its bar.
        if (area.intersects(toQRect(bar.rect).adjusted(-1, -1, 1, 1))) {
            paintBar(painter, i, fonts);
        }
    }
}

void FlameGraphHierarchyView::paintBar(QPainter& painter, std::size_t index,
                                       const Fonts& fonts) const {
    const auto& bar = m_layout.bars()[index];
    const auto& texts = m_texts[index];
    const QColor k = FernwickTheme::color(bar.category);
    const bool isHovered = static_cast<int>(index) == hoveredItem();
    const QRectF rect = toQRect(bar.rect);
    painter.setBrush(withOpacity(k, isHovered ? 0.7 : (bar.isRoot ? 0.35 : kFillOpacity)));
    painter.setPen(isHovered ? QPen(Qt::white, 1.5)
                             : QPen(withOpacity(k, kOutlineOpacity), kOutline));
    painter.drawRoundedRect(rect, 4, 4);
    if (bar.rect.width <= kContentPadding) {
        return;
    }
    // An icon that does not fit is clipped at the bar's edges; the texts fit.
    painter.save();
    painter.setClipRect(rect);
    const QRectF content = rect.adjusted(kContentPadding, 0, -kContentPadding, 0);
    double nameLeft = content.left();
    if (!bar.isSmall) {
        drawSystemIcon(painter, QRectF(content.left(), content.top(), kIconWidth, content.height()),
                       bar.node->isDirectory() ? "folder.fill" : "doc.fill", kIconSize, k);
        nameLeft += kIconWidth + kContentSpacing;
        if (!texts.size.isEmpty()) {
            painter.setFont(fonts.size);
            painter.setPen(whiteAt(0.85));
            drawLeftText(painter,
                         QRectF(content.right() - texts.sizeWidth, content.top(),
                                texts.sizeWidth + 1, content.height()),
                         texts.size);
        }
    }
    if (!texts.name.isEmpty()) {
        painter.setFont(bar.isSmall ? fonts.smallName : fonts.name);
        painter.setPen(Qt::white);
        drawLeftText(painter,
                     QRectF(nameLeft, content.top(), std::max(content.right() - nameLeft, 0.0),
                            content.height()),
                     texts.name);
    }
    painter.restore();
}

} // namespace fernwick::ui
