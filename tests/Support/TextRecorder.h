#pragma once

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QStringList>
#include <QTextItem>

namespace fernwick::test {

/// A paint device that keeps every text painted into it, as drawn (an elided one with its "…"),
/// and the texts of which part is cut off: reaching outside the painter's clip or the device.
class TextRecorder final : public QPaintDevice {
public:
    explicit TextRecorder(QSize size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    /// The texts painted, each one line as drawn, joined by single spaces.
    QString joined() const { return m_engine.texts.join(QLatin1Char(' ')).simplified(); }
    const QStringList& texts() const { return m_engine.texts; }
    const QStringList& cut() const { return m_engine.cut; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        case PdmNumColors:
            return 0x7fffffff;
        default:
            return 96; // resolutions; sizes in millimetres are not asked for here
        }
    }

private:
    struct Engine final : QPaintEngine {
        explicit Engine(QSize size) : QPaintEngine(AllFeatures), bounds(QPoint(), size) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& at, const QTextItem& item) override {
            texts << item.text();
            // Sideways only: a line box may be a little shorter than the glyphs' full height.
            const QRectF box(at.x(), at.y() - item.ascent(), item.width(),
                             item.ascent() + item.descent());
            QRectF shown = painter()->combinedTransform().inverted().mapRect(bounds);
            if (painter()->hasClipping()) {
                shown &= painter()->clipBoundingRect();
            }
            constexpr double kSlack = 0.5;
            if (box.left() < shown.left() - kSlack || box.right() > shown.right() + kSlack) {
                cut << item.text();
            }
        }
        Type type() const override { return User; }
        QRectF bounds;
        QStringList texts;
        QStringList cut;
    };
    QSize m_size;
    mutable Engine m_engine{m_size};
};

} // namespace fernwick::test
