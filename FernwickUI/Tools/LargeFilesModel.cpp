#include "FernwickUI/Tools/LargeFilesModel.h"

#include "FernwickUI/Kit/Painting.h"

#include <QPromise>
#include <QThreadPool>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace fernwick::ui {

namespace {

// Beyond this many spans a change is announced as a reset, which the list lays out at once.
constexpr std::size_t kMaxSpans = 64;
// Lists up to this long have their paths folded at once (a few milliseconds at most).
constexpr std::size_t kFoldAtOnce = 5000;

// A run of rows: its first position and its length.
using Span = std::pair<int, int>;

// The runs of `larger` (ascending) that `smaller` (ascending) lacks, as positions in `larger`;
// none when `smaller` holds a value `larger` lacks, or when there are more than kMaxSpans runs.
std::optional<std::vector<Span>> missingSpans(const std::vector<int>& larger,
                                              const std::vector<int>& smaller) {
    std::vector<Span> spans;
    std::size_t j = 0;
    for (std::size_t i = 0; i < larger.size(); ++i) {
        if (j < smaller.size() && smaller[j] == larger[i]) {
            ++j;
            continue;
        }
        if (j < smaller.size() && smaller[j] < larger[i]) {
            return std::nullopt;
        }
        const int at = static_cast<int>(i);
        if (!spans.empty() && spans.back().first + spans.back().second == at) {
            ++spans.back().second;
        } else if (spans.size() == kMaxSpans) {
            return std::nullopt;
        } else {
            spans.emplace_back(at, 1);
        }
    }
    if (j != smaller.size()) {
        return std::nullopt;
    }
    return spans;
}

} // namespace

LargeFilesModel::LargeFilesModel(QObject* parent) : QAbstractListModel(parent) {
    connect(&m_preparing, &QFutureWatcherBase::finished, this, &LargeFilesModel::takePaths);
}

LargeFilesModel::FoldedPaths LargeFilesModel::foldPaths(const std::vector<DiskNodePtr>& files) {
    FoldedPaths folded;
    folded.starts.reserve(files.size() + 1);
    folded.starts.push_back(0);
    for (const auto& file : files) {
        const std::string path = file->path();
        const bool ascii = std::all_of(path.begin(), path.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            // Folding is lower-casing here: no conversion needed.
            const qsizetype start = folded.text.size();
            folded.text.append(QLatin1StringView(path.data(), static_cast<qsizetype>(path.size())));
            QChar* text = folded.text.data() + start;
            for (std::size_t k = 0; k < path.size(); ++k) {
                if (path[k] >= 'A' && path[k] <= 'Z') {
                    text[k] = QChar(path[k] - 'A' + 'a');
                }
            }
        } else {
            folded.text.append(displayText(path).toCaseFolded());
        }
        folded.text.append(QChar(0));
        folded.starts.push_back(folded.text.size());
    }
    return folded;
}

void LargeFilesModel::setFiles(std::vector<DiskNodePtr> files) {
    const bool sameFiles =
        std::equal(files.begin(), files.end(), m_files->begin(), m_files->end(),
                   [](const DiskNodePtr& a, const DiskNodePtr& b) { return a->id() == b->id(); });
    m_files = std::make_shared<const std::vector<DiskNodePtr>>(std::move(files));
    if (sameFiles) {
        if (!m_rows.empty()) {
            emit dataChanged(index(0), index(static_cast<int>(m_rows.size()) - 1));
        }
        return;
    }
    ++m_generation;
    m_paths = {};
    m_prepared = m_files->size() <= kFoldAtOnce;
    if (m_prepared) {
        m_paths = foldPaths(*m_files);
    } else {
        auto promise = std::make_shared<QPromise<FoldedPaths>>();
        m_preparing.setFuture(promise->future());
        QThreadPool::globalInstance()->start([promise, files = m_files, generation = m_generation] {
            promise->start();
            FoldedPaths folded = foldPaths(*files);
            folded.generation = generation;
            promise->addResult(std::move(folded));
            promise->finish();
        });
    }
    // The rows of the empty filter are known; any other waits for the paths.
    std::vector<int> rows;
    if (m_filter.isEmpty() || m_prepared) {
        rows = matching(nullptr);
    }
    beginResetModel();
    m_rows = std::move(rows);
    m_rowsFilter = m_filter.isEmpty() || m_prepared ? std::optional(m_filter) : std::nullopt;
    endResetModel();
}

void LargeFilesModel::takePaths() {
    const QFuture<FoldedPaths> future = m_preparing.future();
    if (future.resultCount() == 0) {
        return;
    }
    FoldedPaths folded = future.result();
    if (folded.generation != m_generation) {
        return; // for files no longer shown
    }
    m_paths = std::move(folded);
    m_prepared = true;
    applyFilter();
}

void LargeFilesModel::setFilter(const QString& filter) {
    m_filter = filter.toCaseFolded();
    applyFilter();
}

void LargeFilesModel::applyFilter() {
    if (m_filter == m_rowsFilter || (!m_prepared && !m_filter.isEmpty())) {
        return;
    }
    // A filter that contains the one the rows were found with matches only rows it matched.
    const bool narrows =
        m_rowsFilter && !m_rowsFilter->isEmpty() && m_filter.contains(*m_rowsFilter);
    std::vector<int> rows = matching(narrows ? &m_rows : nullptr);
    m_rowsFilter = m_filter;
    showRows(std::move(rows));
}

std::vector<int> LargeFilesModel::matching(const std::vector<int>* candidates) const {
    std::vector<int> rows;
    if (m_filter.isEmpty()) {
        rows.resize(m_files->size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i] = static_cast<int>(i);
        }
        return rows;
    }
    if (m_filter.contains(QChar(0))) {
        return rows; // no path holds it
    }
    const auto& starts = m_paths.starts;
    // The name is the path's last component, so matching the path matches the name too.
    if (candidates != nullptr) {
        rows.reserve(candidates->size());
        for (const int file : *candidates) {
            const auto at = static_cast<std::size_t>(file);
            const QStringView path =
                QStringView(m_paths.text).mid(starts[at], starts[at + 1] - starts[at] - 1);
            if (path.contains(m_filter)) {
                rows.push_back(file);
            }
        }
        return rows;
    }
    // Every file: one search through all the paths, going on after each found file's path.
    qsizetype from = 0;
    while ((from = m_paths.text.indexOf(m_filter, from)) >= 0) {
        const auto file = static_cast<std::size_t>(
            std::upper_bound(starts.begin(), starts.end(), from) - starts.begin() - 1);
        rows.push_back(static_cast<int>(file));
        from = starts[file + 1];
    }
    return rows;
}

void LargeFilesModel::showRows(std::vector<int> rows) {
    if (rows == m_rows) {
        return;
    }
    if (const auto removed = missingSpans(m_rows, rows)) {
        // From the last span back, so the earlier spans keep their positions.
        for (auto span = removed->rbegin(); span != removed->rend(); ++span) {
            const auto [at, count] = *span;
            beginRemoveRows({}, at, at + count - 1);
            m_rows.erase(m_rows.begin() + at, m_rows.begin() + at + count);
            endRemoveRows();
        }
        return;
    }
    if (const auto inserted = missingSpans(rows, m_rows)) {
        // From the first span on: each lands where `rows` has it, the earlier ones being in.
        for (const auto& [at, count] : *inserted) {
            beginInsertRows({}, at, at + count - 1);
            m_rows.insert(m_rows.begin() + at, rows.begin() + at, rows.begin() + at + count);
            endInsertRows();
        }
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int LargeFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

const DiskNodePtr& LargeFilesModel::fileAt(int row) const {
    return (*m_files)[static_cast<std::size_t>(m_rows[static_cast<std::size_t>(row)])];
}

QVariant LargeFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const DiskNode& file = *fileAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(file.name());
    case RowRole::texts:
        return QStringList{displayText(file.name()), displayText(file.path()),
                           displayText(file.formattedSize()),
                           displayText(displayName(file.category))};
    case RowRole::icon:
        return displayText(systemIcon(file.category));
    case RowRole::id:
        return QString::fromStdString(file.id().text());
    default:
        return {};
    }
}

} // namespace fernwick::ui
