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
    if (m_currentToken) {
        m_currentToken->store(true);
    }
}

DiskNodePtr AsyncDiskScanner::scan(const std::filesystem::path& rootURL, int maxDepth,
                                   std::function<void(const ScanProgress&)> onProgress) {
    auto token = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(m_mutex);
        m_currentToken = token;
    }
    struct TokenReset {
        AsyncDiskScanner& scanner;
        const std::shared_ptr<std::atomic<bool>>& token;
        ~TokenReset() {
            std::lock_guard lock(scanner.m_mutex);
            if (scanner.m_currentToken == token) {
                scanner.m_currentToken.reset();
            }
        }
    } reset{*this, token};
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
    fields.modifiedDate = statted ? TimePoint(std::chrono::seconds(info.st_mtime)) : started;
    fields.inode = statted ? info.st_ino : 0;
    fields.deviceID = statted ? info.st_dev : 0;
    fields.sourceVolume = rootPath;
    DiskNodePtr root = DiskNode::make(std::move(fields));

    detail::ScanWalk walk(maxDepth, onProgress, m_seams, std::move(snapshot), token);
    detail::ScanWalk::Totals totals;
    if (!walk.run(*root, rootPath, statted ? info.st_dev : 0, totals)) {
        return root;
    }
    root->recalculateTotalSize();
    if (onProgress) {
        onProgress(ScanProgress{root->size, root->allocatedSize, totals.files, totals.inaccessible,
                                kCompleted, true, totals.errors});
    }
    return root;
}

} // namespace fernwick
