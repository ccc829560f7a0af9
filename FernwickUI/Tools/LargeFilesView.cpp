#include "FernwickUI/Tools/LargeFilesView.h"

#include "FernwickUI/Kit/Chip.h"
#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/ToolPage.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/LargeFilesModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>
#include <array>
#include <memory>

namespace fernwick::ui {

namespace {

constexpr int kRowHeight = 40;
constexpr double kPaddingV = 5;
constexpr double kInset = 16;
constexpr double kSpacing = 12;
constexpr double kIconFrame = 28;
constexpr double kButtonSpacing = 4;

struct RowFonts {
    QFont name = uiFont(13, QFont::DemiBold);
    QFont path = uiFont(10);
    QFont size = uiFont(13, QFont::Bold);
    QFont category = uiFont(9);
};

ButtonLook rowButtonLook(const char* icon, const QColor& colour) {
    ButtonLook look = borderedLook(uiFont(11));
    look.icon = icon;
    look.iconSize = 11;
    look.iconColour = colour;
    look.paddingH = 6;
    return look;
}

class LargeFilesDelegate final : public RowDelegate {
public:
    explicit LargeFilesDelegate(QObject* parent)
        : RowDelegate(parent), m_reveal(rowButtonLook("arrow.up.forward.app", Qt::white)),
          m_trash(rowButtonLook("trash", FernwickTheme::dangerRed())),
          m_buttonSize(rowButtonSize(m_reveal)), m_pathHeight(QFontMetricsF(m_fonts.path).height()),
          m_widestSizeColumn(computeWidestSizeColumn(m_fonts)), m_nameWidths(m_fonts.name) {}

    std::vector<RowHit> hits(const QRectF& row, const QModelIndex&) const override {
        const double top = row.center().y() - m_buttonSize.height() / 2;
        const QRectF trash(QPointF(row.right() - kInset - m_buttonSize.width(), top), m_buttonSize);
        const QRectF reveal(trash.translated(-(m_buttonSize.width() + kButtonSpacing), 0));
        return {{reveal, LargeFilesView::reveal}, {trash, LargeFilesView::trash}};
    }
    bool wrapsTexts() const override { return true; }
    bool rowsShareHeight(const QAbstractItemModel& model, double width) const override {
        // Asked of every file given, not of the rows the filter keeps, so that a keystroke needs
        // no new answer: when every name fits, every filtered list's names fit.
        const auto& files = static_cast<const LargeFilesModel&>(model).files();
        if (files != m_checkedFiles.lock() || width != m_checkedWidth) {
            const double room = nameColumnWidth(QRectF(0, 0, width, 0), widestSizeColumn());
            m_allFit = std::all_of(files->begin(), files->end(), [&](const DiskNodePtr& file) {
                return nameFits(file->name(), room);
            });
            m_checkedFiles = files;
            m_checkedWidth = width;
        }
        return m_allFit;
    }

protected:
    int rowHeight(const QModelIndex& index, double width) const override {
        const auto* model = static_cast<const LargeFilesModel*>(index.model());
        const DiskNode& file = *model->fileAt(index.row());
        if (nameFits(file.name(), nameColumnWidth(QRectF(0, 0, width, 0), widestSizeColumn()))) {
            return kRowHeight;
        }
        const double nameWidth =
            nameColumnWidth(QRectF(0, 0, width, 0), sizeColumnWidth(file, nullptr));
        const double texts =
            wrappedTextSize(ui::displayText(file.name()), m_fonts.name, nameWidth).height() +
            m_pathHeight;
        return std::max(kRowHeight, static_cast<int>(std::ceil(texts + 2 * kPaddingV)));
    }

    void paintRow(QPainter& painter, const QRectF& row, const QModelIndex& index) const override {
        const auto* model = static_cast<const LargeFilesModel*>(index.model());
        const DiskNode& file = *model->fileAt(index.row());
        const QStringList texts = index.data(RowRole::texts).toStringList();
        const auto hitRects = hits(row, index);
        for (const auto& hit : hitRects) {
            paintRowButton(painter, hit.rect,
                           hit.action == LargeFilesView::trash ? m_trash : m_reveal);
        }
        const double x = row.left() + kInset;
        drawSystemIcon(painter, QRectF(x, row.top(), kIconFrame, row.height()),
                       systemIcon(file.category), 20, FernwickTheme::color(file.category));

        // The size column, right-aligned before the buttons, as wide as its wider text.
        const QString& size = texts[2];
        const QString& category = texts[3];
        const double columnWidth = sizeColumnWidth(file, &texts);
        const double columnRight = hitRects.front().rect.left() - kSpacing;
        const double middle = row.center().y();
        const QRectF upper(0, row.top(), 0, middle - row.top() + 1);
        const QRectF lower(0, middle + 1, 0, row.bottom() - middle - 1);
        drawLine(painter,
                 QRectF(columnRight - columnWidth, upper.top(), columnWidth, upper.height()), size,
                 m_fonts.size, FernwickTheme::accentCyan(), Qt::AlignRight | Qt::AlignBottom);
        drawLine(
            painter, QRectF(columnRight - columnWidth, lower.top(), columnWidth, lower.height()),
            category, m_fonts.category, FernwickTheme::textMuted(), Qt::AlignRight | Qt::AlignTop);

        // The name (wrapping) over the path (one line), centred in the row.
        const double nameWidth = nameColumnWidth(row, columnWidth);
        const double nameHeight = wrappedTextSize(texts[0], m_fonts.name, nameWidth).height();
        const double top = middle - (nameHeight + m_pathHeight) / 2;
        const double left = x + kIconFrame + kSpacing;
        drawWrapped(painter, QRectF(left, top, nameWidth, nameHeight), texts[0], m_fonts.name,
                    Qt::white);
        drawPathLine(painter, QRectF(left, top + nameHeight, nameWidth, m_pathHeight), texts[1],
                     m_fonts.path, FernwickTheme::textMuted(), Qt::AlignLeft | Qt::AlignTop);
    }

private:
    // Whether `name` fits on one line `room` wide, told without shaping it, so that a list of
    // 100,000 files is checked at once.
    bool nameFits(const std::string& name, double room) const {
        return m_nameWidths.fits(name, room);
    }

    // The widest the size column can be: any category's name, or a size of five digits, a
    // point and the widest unit.
    double widestSizeColumn() const { return m_widestSizeColumn; }

    static double computeWidestSizeColumn(const RowFonts& fonts) {
        const QFontMetricsF size(fonts.size);
        double digit = 0;
        for (char c = '0'; c <= '9'; ++c) {
            digit = std::max(digit, size.horizontalAdvance(QLatin1Char(c)));
        }
        double unit = 0;
        for (const char* text : {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"}) {
            unit = std::max(unit, size.horizontalAdvance(QLatin1String(text)));
        }
        double widest = 6 * digit + size.horizontalAdvance(QStringLiteral("- .")) + unit;
        const QFontMetricsF category(fonts.category);
        for (const StorageCategory each : allStorageCategories()) {
            widest =
                std::max(widest, category.horizontalAdvance(ui::displayText(displayName(each))));
        }
        return std::ceil(widest);
    }

    // The width of the size column: the wider of the size and the category (`texts` when the
    // row's texts are at hand).
    double sizeColumnWidth(const DiskNode& file, const QStringList* texts) const {
        const QString size = texts != nullptr ? (*texts)[2] : ui::displayText(file.formattedSize());
        const QString category =
            texts != nullptr ? (*texts)[3] : ui::displayText(displayName(file.category));
        return std::max(QFontMetricsF(m_fonts.size).horizontalAdvance(size),
                        QFontMetricsF(m_fonts.category).horizontalAdvance(category));
    }

    // The width left to the name and the path in `row`, between the icon and the size column.
    double nameColumnWidth(const QRectF& row, double sizeColumn) const {
        const double buttons = 2 * m_buttonSize.width() + kButtonSpacing;
        const double columnRight = row.right() - kInset - buttons - kSpacing;
        const double left = row.left() + kInset + kIconFrame + kSpacing;
        return std::max(0.0, columnRight - sizeColumn - kSpacing - left);
    }

    RowFonts m_fonts;
    ButtonLook m_reveal;
    ButtonLook m_trash;
    QSizeF m_buttonSize;
    double m_pathHeight;
    double m_widestSizeColumn;
    TextWidths m_nameWidths;
    // The files and the width whose names were last checked, and whether they all fit.
    mutable std::weak_ptr<const std::vector<DiskNodePtr>> m_checkedFiles;
    mutable double m_checkedWidth = -1;
    mutable bool m_allFit = false;
};

// The filter field: a magnifying glass and a frameless line edit on a rounded fill.
QWidget* makeFilterField(QLineEdit*& edit, QWidget* parent) {
    auto* field = new RoundedFill(FernwickTheme::appBackground(), 6, parent);
    auto* row = new QHBoxLayout(field);
    row->setContentsMargins(10, 6, 10, 6);
    row->addWidget(new IconView("magnifyingglass", 13, FernwickTheme::textMuted(), field));
    edit = new QLineEdit(field);
    edit->setFrame(false);
    edit->setPlaceholderText(QStringLiteral("Filter by filename or path..."));
    edit->setFixedWidth(200);
    edit->setFont(uiFont(13));
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, FernwickTheme::appBackground());
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::PlaceholderText, FernwickTheme::textMuted());
    edit->setPalette(palette);
    row->addWidget(edit);
    return field;
}

} // namespace

LargeFilesView::LargeFilesView(AppState& state, const ToolSeams& /*seams*/, QWidget* parent)
    : QWidget(parent), m_state(state),
      m_page(new ToolPage(
          QStringLiteral("Large Files Finder"),
          QStringLiteral("Instantly identify massive files, videos, archives, and disk images "
                         "consuming storage."),
          this)),
      m_model(new LargeFilesModel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_page);
    m_page->headerTrailing()->addWidget(makeFilterField(m_filter, this));

    auto* bar = new QWidget(this);
    setBackground(bar, FernwickTheme::sidebarBackground());
    auto* filters = new QHBoxLayout(bar);
    filters->setContentsMargins(18, 10, 18, 10);
    filters->setSpacing(12);
    filters->addWidget(makeLabel(QStringLiteral("Threshold:"), uiFont(11, QFont::Bold),
                                 FernwickTheme::textMuted(), bar));
    for (const LargeFileThreshold threshold : allLargeFileThresholds()) {
        auto* chip = new Chip(displayText(title(threshold)), bar);
        connect(chip, &QAbstractButton::clicked, this,
                [this, threshold] { m_state.chooseLargeFileThreshold(threshold); });
        filters->addWidget(chip);
        m_chips.push_back(chip);
    }
    filters->addStretch(1);
    m_count = makeLabel(QString(), uiFont(11), FernwickTheme::textSecondary(), bar);
    filters->addWidget(m_count);
    m_page->addBar(bar);

    auto* delegate = new LargeFilesDelegate(this);
    m_list = new RowList(m_model, delegate, false, this);
    m_list->enableRowKeys();
    connect(delegate, &RowDelegate::triggered, this, [this](const QModelIndex& index, int action) {
        const DiskNodePtr file = m_model->fileAt(index.row());
        if (action == reveal) {
            m_state.revealInFinder(file->url());
        } else {
            m_state.trashNode(file);
        }
    });
    const EmptyState empty = makeEmptyState(
        {"doc.badge.arrow.up", 48, FernwickTheme::accentCyan(),
         QStringLiteral("No Large Files Found"), headline(),
         QStringLiteral("Run a disk scan to identify files matching the selected threshold."), 0,
         QStringLiteral("Run Scan"), 12},
        this);
    m_empty = empty.widget;
    connect(empty.button, &QAbstractButton::clicked, this, [this] { m_state.startScan(); });
    m_page->addContent(m_list);
    m_page->addContent(m_empty);

    connect(m_filter, &QLineEdit::textChanged, m_model, &LargeFilesModel::setFilter);
    // The rows change on a keystroke, or later when a long list's paths are ready for the filter.
    for (const auto rowsChanged :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(m_model, rowsChanged, this, &LargeFilesView::updateCount);
    }
    connect(m_model, &QAbstractItemModel::modelReset, this, &LargeFilesView::updateCount);
    connect(&m_state, &AppState::largeFilesChanged, this, &LargeFilesView::updateFiles);
    connect(&m_state, &AppState::selectedLargeFileThresholdChanged, this,
            &LargeFilesView::updateChips);
    // A move to the Trash (or its undo) changes a listed node, perhaps into a new version of it:
    // its row shows the new size.
    connect(&m_state, &AppState::treeChanged, this,
            [this] { m_model->setFiles(m_state.largeFiles()); });
    updateFiles();
    updateChips();
}

bool LargeFilesView::showsEmptyState() const {
    return m_page->currentContent() == m_empty;
}

void LargeFilesView::updateFiles() {
    m_model->setFiles(m_state.largeFiles());
    m_page->showContent(m_state.largeFiles().empty() ? m_empty : m_list);
    updateCount();
}

void LargeFilesView::updateChips() {
    const auto& thresholds = allLargeFileThresholds();
    for (std::size_t i = 0; i < m_chips.size(); ++i) {
        m_chips[i]->setSelected(thresholds[i] == m_state.selectedLargeFileThreshold());
    }
}

void LargeFilesView::updateCount() {
    m_count->setText(QStringLiteral("%1 files found").arg(m_model->rowCount()));
}

} // namespace fernwick::ui
