#include "FernwickCore/Scanning/AsyncDiskScanner.h"

#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Scanning/ScanWalk.h"

#include <sys/resource.h>
#include <sys/stat.h>

namespace fernwick {
namespace {

constexpr const char* kCompleted = "Scan Completed";

// Each folder whose sub-folders are still waiting keeps its descriptor open; allow as many as
// the hard limit permits, once per process.
void raiseDescriptorLimit() {
    static const bool raised = [] {
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        return true;
    }();
    (void)raised;
}

} // namespace

AsyncDiskScanner::AsyncDiskScanner(std::function<ProtectedPrefixesSnapshot()> snapshotProvider,
                                   ScannerSeams seams)
    : m_snapshotProvider(std::move(snapshotProvider)), m_seams(std::move(seams)) {}

AsyncDiskScanner::~AsyncDiskScanner() = default;

void AsyncDiskScanner::cancel() {
    std::lock_guard lock(m_mutex);
    if (m_current) {
        m_current->request_stop();
    }
}

DiskNodePtr AsyncDiskScanner::scan(const std::filesystem::path& rootURL, int maxDepth,
                                   const std::function<void(const ScanProgress&)>& onProgress) {
    auto source = std::make_shared<std::stop_source>();
    {
        std::lock_guard lock(m_mutex);
        m_current = source;
    }
    struct SourceReset {
        AsyncDiskScanner& scanner;
        const std::shared_ptr<std::stop_source>& source;
        ~SourceReset() {
            std::lock_guard lock(scanner.m_mutex);
            if (scanner.m_current == source) {
                scanner.m_current.reset();
            }
        }
    } reset{*this, source};
    raiseDescriptorLimit();

    std::error_code ignored;
    const std::filesystem::path absolute =
        rootURL.is_absolute() ? rootURL : std::filesystem::absolute(rootURL, ignored);
    const std::string rootPath = paths::standardize(absolute.empty() ? rootURL : absolute);

    ProtectedPrefixesSnapshot snapshot;
    if (m_snapshotProvider) {
        snapshot = m_snapshotProvider();
    } else {
        snapshot.system = ProtectedPathRegistry::defaultSystemPrefixes();
    }

    const TimePoint started = std::chrono::system_clock::now();
    struct stat info {};
    const bool statted = ::lstat(rootPath.c_str(), &info) == 0;
    DiskNode::Fields fields;
    fields.id = Uuid::random();
    fields.url = rootPath;
    const std::string last = paths::lastComponent(rootPath);
    fields.name = last.empty() ? std::string("/") : last;
    fields.size = statted ? static_cast<std::int64_t>(info.st_size) : 0;
    fields.allocatedSize = statted ? static_cast<std::int64_t>(info.st_blocks) * 512 : 0;
    fields.isDirectory = true;
    fields.category = StorageCategory::systemData;
    fields.riskLevel = RiskLevel::low;
    fields.confidence = 1.0;
    fields.modifiedDate = statted ? modificationTime(info) : started;
    fields.inode = statted ? info.st_ino : 0;
    fields.deviceID = statted ? info.st_dev : 0;
    fields.sourceVolume = rootPath;
    DiskNodePtr root = DiskNode::make(std::move(fields));

    detail::ScanWalk walk(maxDepth, onProgress, m_seams, std::move(snapshot), source->get_token());
    detail::ScanWalk::Totals totals;
    if (!walk.run(*root, rootPath, totals)) {
        return root;
    }
    // The walk sums the tree as its folders complete, unless it stopped early.
    if (!totals.summed) {
        root->recalculateTotalSize();
    }
    if (onProgress) {
        onProgress(ScanProgress{root->size, root->allocatedSize, totals.files, totals.inaccessible,
                                kCompleted, true, totals.errors});
    }
    return root;
}

} // namespace fernwick
