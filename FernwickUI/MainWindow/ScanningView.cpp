#include "FernwickUI/MainWindow/ScanningView.h"

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/Spinner.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

/// The track ring and the drive symbol, with the spinner laid over them as a child.
class ActivityMark : public QWidget {
public:
    explicit ActivityMark(QWidget* parent) : QWidget(parent) {
        setFixedSize(80, 80);
        // The platform's spinner is 32 points; scaled by 1.3.
        auto* spinner = new Spinner(32 * 1.3, this);
        const int side = spinner->sizeHint().width();
        spinner->setGeometry((80 - side) / 2, (80 - side) / 2, side, side);
        // The drive symbol lies in front of the spinner.
        auto* icon = new IconView("internaldrive.fill", 24, Palette::fileIcon(), this);
        icon->setGeometry(rect());
        icon->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        icon->raise();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(whiteAt(0.08), 6));
        painter.drawEllipse(QRectF(3, 3, 74, 74));
        drawSystemIcon(painter, QRectF(rect()), "internaldrive.fill", 24, Palette::fileIcon());
    }
};

/// The rounded pill behind the counters.
class Pill : public QWidget {
public:
    explicit Pill(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(whiteAt(0.05));
        const double radius = std::min(20.0, height() / 2.0);
        painter.drawRoundedRect(QRectF(rect()), radius, radius);
    }
};

} // namespace

ScanningView::ScanningView(const std::function<void()>& cancelScan, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addStretch(1);
    layout->addWidget(new ActivityMark(this), 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(makeLabel(QStringLiteral("Analyzing Disk Storage..."), uiFont(18, QFont::Bold),
                               Qt::white, this),
                     0, Qt::AlignHCenter);
    m_progress =
        new ElidedLabel(uiFont(11, QFont::Normal, FontDesign::monospaced), whiteAt(0.5), this);
    m_progress->setMaximumTextWidth(450);
    m_progress->setAlignment(Qt::AlignCenter);
    m_progress->setMaximumWidth(450);
    texts->addWidget(m_progress, 0, Qt::AlignHCenter);
    layout->addLayout(texts);

    auto* pill = new Pill(this);
    auto* counters = new QHBoxLayout(pill);
    counters->setContentsMargins(16, 8, 16, 8);
    counters->setSpacing(16);
    m_bytes = makeLabel(QString(), uiFont(12, QFont::Medium), Palette::sizeGreen(), pill);
    counters->addWidget(m_bytes);
    counters->addWidget(makeLabel(QStringLiteral("\u2022"), uiFont(13), whiteAt(0.2), pill));
    m_files = makeLabel(QString(), uiFont(12, QFont::Medium), whiteAt(0.7), pill);
    counters->addWidget(m_files);
    layout->addWidget(pill, 0, Qt::AlignHCenter);

    auto* cancelButton = new StyledButton(QStringLiteral("Cancel Scan"), ButtonStyle::bordered,
                                          Palette::systemRed(), ControlSize::regular, this);
    connect(cancelButton, &QAbstractButton::clicked, this, [cancelScan] { cancelScan(); });
    layout->addSpacing(8);
    layout->addWidget(cancelButton, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    setProgress(QString(), 0, 0);
}

void ScanningView::setProgress(const QString& progress, std::int64_t bytes, std::int64_t files) {
    m_progress->setText(progress);
    m_bytes->setText(QStringLiteral("Scanned: ") + plainText(DiskNode::formatBytes(bytes)));
    m_files->setText(QString::number(files) + QStringLiteral(" files processed"));
}

} // namespace fernwick::ui
