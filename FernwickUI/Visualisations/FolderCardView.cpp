#include "FernwickUI/Visualisations/FolderCardView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/HoverAnimator.h"
#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

namespace {

constexpr double kNameLine = 15;
constexpr double kCategoryLine = 11;
constexpr double kBadgeLine = 12;
// Room around a cached resting card for its shadow (4 points of blur, 2 down).
constexpr double kChromeMargin = 8;
constexpr double kIconSize = 18;

QFont nameFont() {
    return uiFont(12, QFont::Bold);
}
QFont categoryFont() {
    return uiFont(9, QFont::Medium);
}
QFont badgeFont() {
    return uiFont(9, QFont::Normal, FontDesign::monospaced);
}
QFont sizeFont() {
    return uiFont(15, QFont::Black, FontDesign::rounded);
}
QFont percentFont() {
    return uiFont(10, QFont::DemiBold, FontDesign::monospaced);
}

// Where a resting card's look is kept: its size and the fraction of a pixel it sits off the
// grid, so that the copy is antialiased exactly as a card drawn in place.
QRectF chromeKey(const QRectF& frame) {
    return {frame.x() - std::floor(frame.x()), frame.y() - std::floor(frame.y()), frame.width(),
            frame.height()};
}

// The room the name and category have between the icon tile and the item badge (if any).
double textWidth(const Rect& frame, double itemsWidth, bool hasItems) {
    const double contentRight = frame.maxX() - FolderCardLayout::kCardPadding;
    const double textLeft = FolderCardLayout::iconTileRect(frame).maxX() + 8;
    const double textRight = hasItems ? contentRight - itemsWidth - 10 - 8 : contentRight;
    return std::max(textRight - textLeft, 0.0);
}

} // namespace

// Made for each drawing: cards are drawn on several threads at once, and a font keeps what it
// resolves to, for one thread.
struct FolderCardView::Fonts {
    QFont name = nameFont();
    QFont category = categoryFont();
    QFont badge = badgeFont();
    QFont size = sizeFont();
    QFont percent = percentFont();
};

void FolderCardView::warmUp() {
    warmUpFonts({nameFont(), categoryFont(), badgeFont(), sizeFont(), percentFont()},
                {"folder.fill", "doc.fill"}, kIconSize);
}

FolderCardView::FolderCardView(QWidget* parent)
    : VisualisationView(parent),
      m_animator(new HoverAnimator(this, 150, QEasingCurve::InOutQuad,
                                   [this](int item) { repaintCard(item); })) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

FolderCardView::~FolderCardView() = default;

void FolderCardView::setRoot(const DiskNodePtr& root) {
    m_root = root;
    m_bandShows = QRect();
    m_layout = FolderCardLayout::compute(root, width());
    m_animator->reset();
    clearHover();
    prepareTexts();
    updateGeometry();
    update();
}

void FolderCardView::prepareTexts() {
    // Texts are made before a card is first drawn: a folder of 10,000 items shows at once.
    m_texts.clear();
    m_texts.resize(m_layout.cards().size());
    m_sizeAscent = QFontMetricsF(sizeFont()).ascent();
}

void FolderCardView::prepareTextsOf(int first, int last) const {
    std::vector<int> missing;
    for (int i = first; i < last; ++i) {
        const auto& texts = m_texts[static_cast<std::size_t>(i)];
        if (!texts || texts->elidedName.isNull()) {
            missing.push_back(i);
        }
    }
    // Measured and elided in parts at once, each card by one thread; a few here.
    constexpr std::size_t kCardsPerPart = 8;
    const std::size_t parts = std::min<std::size_t>(missing.size() / kCardsPerPart, 4);
    if (parts < 2) {
        const Fonts fonts;
        for (const int index : missing) {
            makeTexts(index, fonts);
        }
        return;
    }
    std::vector<std::function<void()>> measures;
    for (std::size_t part = 0; part < parts; ++part) {
        measures.emplace_back([this, &missing, part, parts] {
            const Fonts fonts;
            for (std::size_t k = missing.size() * part / parts;
                 k < missing.size() * (part + 1) / parts; ++k) {
                makeTexts(missing[k], fonts);
            }
        });
    }
    paintInParallel(measures);
}

void FolderCardView::makeTexts(int index, const Fonts& fonts) const {
    auto& slot = m_texts[static_cast<std::size_t>(index)];
    const auto& card = m_layout.cards()[static_cast<std::size_t>(index)];
    if (!slot) {
        slot = std::make_unique<CardTexts>();
        auto& texts = *slot;
        const auto& node = *card.node;
        texts.name = displayText(node.name());
        texts.category = displayText(displayName(node.category));
        texts.size = displayText(node.formattedSize());
        texts.percent = tr("%1%").arg(card.percent);
        texts.percentWidth = QFontMetricsF(fonts.percent).horizontalAdvance(texts.percent);
        if (node.isDirectory()) {
            texts.items = tr("%1 items").arg(static_cast<qlonglong>(node.itemCount));
            texts.itemsWidth = QFontMetricsF(fonts.badge).horizontalAdvance(texts.items);
        }
    }
    auto& texts = *slot;
    const double width = textWidth(card.frame, texts.itemsWidth, !texts.items.isEmpty());
    texts.elidedName = QFontMetricsF(fonts.name).elidedText(texts.name, Qt::ElideRight, width);
    texts.elidedCategory =
        QFontMetricsF(fonts.category).elidedText(texts.category, Qt::ElideRight, width);
}

int FolderCardView::heightForWidth(int width) const {
    return static_cast<int>(std::ceil(m_layout.contentHeightFor(width)));
}

QSize FolderCardView::sizeHint() const {
    return {
        static_cast<int>(FolderCardLayout::kMinimumColumnWidth + 2 * FolderCardLayout::kPadding),
        static_cast<int>(std::ceil(m_layout.contentHeight()))};
}

int FolderCardView::itemAt(const QPointF& pos) const {
    return m_layout.cardAt(pos.x(), pos.y());
}

DiskNodePtr FolderCardView::nodeOfItem(int item) const {
    return m_layout.cards().at(static_cast<std::size_t>(item)).node;
}

void FolderCardView::hoverChanged(int, int current) {
    m_animator->setHovered(current);
}

void FolderCardView::repaintCard(int item) {
    m_bandShows = QRect();
    if (item >= 0 && item < static_cast<int>(m_layout.cards().size())) {
        // The shadow reaches 8 points out and 2 down.
        update(toQRect(m_layout.cards()[static_cast<std::size_t>(item)].frame)
                   .adjusted(-10, -10, 10, 12)
                   .toAlignedRect());
    }
}

std::unique_ptr<QMenu> FolderCardView::contextMenuAt(const QPoint& pos) {
    const int item = itemAt(pos);
    if (item < 0) {
        return nullptr;
    }
    return buildItemMenu(nodeOfItem(item),
                         {MenuEntry::inspect, MenuEntry::drillDown, MenuEntry::reveal,
                          MenuEntry::separator, MenuEntry::copyPath, MenuEntry::destructiveTrash});
}

void FolderCardView::resizeEvent(QResizeEvent* event) {
    m_bandShows = QRect();
    const double before = m_layout.grid().columnWidth;
    m_layout.placeFor(width());
    if (before != m_layout.grid().columnWidth) {
        for (auto& texts : m_texts) {
            if (texts) {
                texts->elidedName = QString();
            }
        }
    }
    VisualisationView::resizeEvent(event);
}

void FolderCardView::paintEvent(QPaintEvent* event) {
    const QRect exposed = event->rect();
    // Shadows reach 8 points beyond a card.
    const auto [first, last] = m_layout.cardsInBand(exposed.top() - 10, exposed.bottom() + 10);
    if (first == last) {
        return;
    }
    // The exposed band is drawn into an image on pool threads while this one waits, then copied:
    // on the GUI thread the raster engine hands each antialiased fill of a card to the pool in
    // pieces (about ten per rounded shape), and waking those threads costs more than the fill.
    // The band starts on a whole device pixel, so that every card lies on the pixel grid as in a
    // whole draw.
    const qreal ratio = devicePixelRatioF();
    const QRect device =
        QRectF(QPointF(exposed.topLeft()) * ratio, QSizeF(exposed.size()) * ratio).toAlignedRect();
    if (m_band.width() < device.width() || m_band.height() < device.height() ||
        m_band.devicePixelRatio() != ratio) {
        m_band = QImage();
        m_band = m_bandMemory.image(device.size());
        m_band.setDevicePixelRatio(ratio);
        m_bandShows = QRect();
    }
    // The same band again with nothing changed (a switch back to this mode) is copied as it is.
    if (device != m_bandShows) {
        prepareTextsOf(first, last);
        prepareChrome(first, last);
        drawBand(device, first, last);
        m_bandShows = device;
    }
    QPainter painter(this);
    painter.drawImage(QRectF(QPointF(device.topLeft()) / ratio, QSizeF(device.size()) / ratio),
                      m_band, QRectF(QPointF(0, 0), QSizeF(device.size())));
}

void FolderCardView::drawBand(const QRect& device, int first, int last) {
    // A card's drawing reaches 4 points above it and 8 below (the shadow, hovered).
    constexpr double kReachAbove = 4;
    constexpr double kReachBelow = 8;
    constexpr int kParts = 4;
    constexpr int kCardsPerPart = 6;
    const qreal ratio = m_band.devicePixelRatio();
    const auto& cards = m_layout.cards();
    // Parts of whole device rows, cut between rows of cards where no card reaches, as near to
    // equal as the rows allow.
    std::vector<int> rowCuts;
    for (int i = first; i < last; ++i) {
        const double top = cards[static_cast<std::size_t>(i)].frame.y;
        const int cut = static_cast<int>(std::floor((top - kReachAbove) * ratio)) - device.top();
        if (cut > 0 && cut < device.height() && (rowCuts.empty() || cut > rowCuts.back())) {
            rowCuts.push_back(cut);
        }
    }
    std::vector<int> cuts{0};
    const int parts = std::clamp((last - first) / kCardsPerPart, 1, kParts);
    for (int part = 1; part < parts; ++part) {
        const int wanted = device.height() * part / parts;
        int nearest = -1;
        for (const int cut : rowCuts) {
            if (cut > cuts.back() &&
                (nearest < 0 || std::abs(cut - wanted) < std::abs(nearest - wanted))) {
                nearest = cut;
            }
        }
        if (nearest > 0) {
            cuts.push_back(nearest);
        }
    }
    cuts.erase(cuts.begin());
    // Each part is drawn through a window onto the band's rows, shifted by whole device pixels
    // as the band is; every card whose drawing meets it is drawn there.
    drawRowsInParallel(m_band, device.size(), cuts, [&](QPainter& band, int top, int bottom) {
        const QRectF rows(0, top / ratio, device.width() / ratio, (bottom - top) / ratio);
        band.setCompositionMode(QPainter::CompositionMode_Source);
        band.fillRect(rows, Qt::transparent);
        band.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const QPointF origin = QPointF(device.topLeft()) / ratio;
        band.translate(-origin);
        const double partTop = origin.y() + rows.top();
        const double partBottom = origin.y() + rows.bottom();
        const Fonts fonts;
        for (int i = first; i < last; ++i) {
            const Rect& frame = cards[static_cast<std::size_t>(i)].frame;
            if (frame.y - kReachAbove < partBottom && frame.maxY() + kReachBelow > partTop) {
                paintCard(band, i, false, fonts);
            }
        }
    });
}

void FolderCardView::drawPlain(QPainter& painter) const {
    const int count = static_cast<int>(m_layout.cards().size());
    prepareTextsOf(0, count);
    const Fonts fonts;
    for (int i = 0; i < count; ++i) {
        paintCard(painter, i, true, fonts);
    }
}

void FolderCardView::paintChrome(QPainter& painter, const QRectF& frame, const QColor& category,
                                 double hover) {
    drawSoftShadow(painter, frame, 10, mixColours(blackAt(0.3), withOpacity(category, 0.2), hover),
                   4 + 4 * hover, 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(mixColours(Palette::folderCardRest(), Palette::folderCardHover(), hover));
    painter.drawRoundedRect(frame, 10, 10);
    painter.setPen(
        QPen(mixColours(whiteAt(0.08), withOpacity(category, 0.8), hover), 1 + 0.5 * hover));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 10, 10);
}

const QImage* FolderCardView::findChrome(const QRectF& key, qreal ratio) const {
    for (const auto& entry : m_chrome) {
        if (entry.key == key && entry.image.devicePixelRatio() == ratio) {
            return &entry.image;
        }
    }
    return nullptr;
}

QImage FolderCardView::makeChrome(const QRectF& key, qreal ratio) {
    const QSizeF extent(key.width() + 2 * kChromeMargin + 1, key.height() + 2 * kChromeMargin + 1);
    QImage image((extent * ratio).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter chrome(&image);
    chrome.setRenderHint(QPainter::Antialiasing);
    paintChrome(chrome, key.translated(kChromeMargin, kChromeMargin), QColor(), 0);
    return image;
}

void FolderCardView::keepChrome(const QRectF& key, QImage image) {
    if (m_chrome.size() >= kKeptChrome) {
        m_chrome.erase(m_chrome.begin());
    }
    m_chrome.push_back({key, std::move(image)});
}

void FolderCardView::prepareChrome(int first, int last) {
    // The resting looks this frame needs and has not kept, one per card size and fraction of a
    // pixel a card sits at (one per column), are made all at once on the pool's threads. A card
    // whose look is not kept (more looks than are kept) is drawn in full.
    const qreal ratio = devicePixelRatioF();
    std::vector<QRectF> missing;
    for (int i = first; i < last && missing.size() < kKeptChrome; ++i) {
        const QRectF key = chromeKey(toQRect(m_layout.cards()[static_cast<std::size_t>(i)].frame));
        if (m_animator->progress(i) == 0 && findChrome(key, ratio) == nullptr &&
            std::find(missing.begin(), missing.end(), key) == missing.end()) {
            missing.push_back(key);
        }
    }
    std::vector<QImage> made(missing.size());
    std::vector<std::function<void()>> draws;
    for (std::size_t k = 0; k < missing.size(); ++k) {
        draws.emplace_back(
            [&made, &missing, k, ratio] { made[k] = makeChrome(missing[k], ratio); });
    }
    paintInParallel(draws);
    for (std::size_t k = 0; k < missing.size(); ++k) {
        keepChrome(missing[k], std::move(made[k]));
    }
}

void FolderCardView::paintCard(QPainter& painter, int index, bool plain, const Fonts& fonts) const {
    const auto& card = m_layout.cards()[static_cast<std::size_t>(index)];
    const auto& texts = *m_texts[static_cast<std::size_t>(index)];
    const auto& node = *card.node;
    const QColor category = FernwickTheme::color(node.category);
    const double hover = m_animator->progress(index);
    const QRectF frame = toQRect(card.frame);

    // A card at rest looks the same whatever its category: copy it from a kept image rather
    // than filling six tall antialiased shapes per card.
    const QImage* chrome = hover == 0 && !plain
                               ? findChrome(chromeKey(frame), painter.device()->devicePixelRatio())
                               : nullptr;
    if (chrome != nullptr) {
        painter.drawImage(
            QPointF(std::floor(frame.x()) - kChromeMargin, std::floor(frame.y()) - kChromeMargin),
            *chrome);
    } else {
        paintChrome(painter, frame, category, hover);
    }

    // Top row: icon tile, name and category, item badge.
    const QRectF icon = toQRect(FolderCardLayout::iconTileRect(card.frame));
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(category, 0.18));
    painter.drawRoundedRect(icon, 8, 8);
    drawSystemIcon(painter, icon, node.isDirectory() ? "folder.fill" : "doc.fill", 18, category);

    const double textLeft = icon.right() + 8;
    const double width = textWidth(card.frame, texts.itemsWidth, !texts.items.isEmpty());
    if (!texts.items.isEmpty()) {
        const double contentRight = frame.right() - FolderCardLayout::kCardPadding;
        const QRectF badge(contentRight - texts.itemsWidth - 10, icon.top(), texts.itemsWidth + 10,
                           kBadgeLine + 4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(whiteAt(0.06));
        painter.drawRoundedRect(badge, 4, 4);
        painter.setFont(fonts.badge);
        painter.setPen(whiteAt(0.4));
        painter.drawText(badge, Qt::AlignCenter, texts.items);
    }
    painter.setFont(fonts.name);
    painter.setPen(Qt::white);
    drawLeftText(painter, QRectF(textLeft, icon.top(), width, kNameLine), texts.elidedName);
    painter.setFont(fonts.category);
    painter.setPen(whiteAt(0.5));
    drawLeftText(painter, QRectF(textLeft, icon.top() + kNameLine + 2, width, kCategoryLine),
                 texts.elidedCategory);

    // Value row: size and percentage on one baseline.
    const QRectF value = toQRect(FolderCardLayout::valueRowRect(card.frame));
    const double baseline = value.top() + m_sizeAscent;
    painter.setFont(fonts.size);
    painter.setPen(category);
    painter.drawText(QPointF(value.left(), baseline), texts.size);
    painter.setFont(fonts.percent);
    painter.setPen(whiteAt(0.55));
    painter.drawText(QPointF(value.right() - texts.percentWidth, baseline), texts.percent);

    // Share bar.
    const QRectF track = toQRect(FolderCardLayout::barTrackRect(card.frame));
    const double radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(whiteAt(0.08));
    painter.drawRoundedRect(track, radius, radius);
    const QRectF fill(track.left(), track.top(),
                      FolderCardLayout::barFillWidth(track.width(), card.shareRatio),
                      track.height());
    QLinearGradient gradient(fill.topLeft(), fill.topRight());
    gradient.setColorAt(0, withOpacity(category, 0.7));
    gradient.setColorAt(1, category);
    painter.setBrush(gradient);
    painter.drawRoundedRect(fill, radius, radius);
}

} // namespace fernwick::ui
