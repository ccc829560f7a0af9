#include "FernwickUI/State/TreeSearch.h"

#include <QString>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr std::size_t kStopCheckInterval = 4096;

bool isASCII(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `needle` is lower-case ASCII.
bool containsASCII(std::string_view text, std::string_view needle) {
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return lower(a) == b; }) != text.end();
}

struct Entry {
    DiskNodePtr node;
    bool ancestorMatched;
    // The last bytes of the parent's path (at least the query's length; the whole path when
    // shorter). Any match lying wholly inside the parent's path made the parent match.
    std::string parentTail;
};

// The end of `entry`'s path that a match may need: the whole path for the root, else the
// parent's tail, a separator and the name.
void setWindow(std::string& window, const Entry& entry, bool isRoot) {
    const DiskNode& node = *entry.node;
    if (isRoot) {
        window = node.path();
        return;
    }
    window = entry.parentTail;
    // The root "/" ends with the separator already: its children are "/bin".
    if (window.empty() || window.back() != '/') {
        window += '/';
    }
    window += node.name();
}

} // namespace

std::vector<DiskNodePtr> searchTree(const DiskNodePtr& root, const std::string& query,
                                    std::size_t limit, const std::function<bool()>& stop) {
    std::vector<DiskNodePtr> matches;
    const QString needle = QString::fromStdString(query).trimmed();
    if (needle.isEmpty() || !root || limit == 0) {
        return matches;
    }
    const std::string needleBytes = needle.toStdString();
    const bool asciiNeedle = isASCII(needleBytes);
    std::string lowerNeedle = needleBytes;
    std::transform(lowerNeedle.begin(), lowerNeedle.end(), lowerNeedle.begin(), lower);
    const std::size_t tailLength = std::max<std::size_t>(needleBytes.size(), 1);

    const auto pathMatches = [&](const DiskNode& node, const std::string& window) {
        if (asciiNeedle && isASCII(window)) {
            return containsASCII(window, lowerNeedle);
        }
        // Qt folds some characters outside ASCII onto ASCII letters (the Kelvin sign onto
        // "k"): compare the whole path as Qt does.
        return QString::fromStdString(node.path()).contains(needle, Qt::CaseInsensitive);
    };

    std::vector<Entry> stack;
    stack.push_back({root, false, {}});
    std::size_t visited = 0;
    std::string window;
    while (!stack.empty() && matches.size() < limit) {
        if (stop && ++visited % kStopCheckInterval == 0 && stop()) {
            break;
        }
        Entry entry = std::move(stack.back());
        stack.pop_back();
        const DiskNode& node = *entry.node;
        setWindow(window, entry, entry.node == root);
        const bool matched = entry.ancestorMatched || pathMatches(node, window);
        if (matched) {
            matches.push_back(entry.node);
        }
        if (node.children.empty()) {
            continue;
        }
        std::string tail =
            window.size() > tailLength ? window.substr(window.size() - tailLength) : window;
        for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
            stack.push_back({*child, matched, tail});
        }
    }
    return matches;
}

} // namespace fernwick::ui
