#include "FernwickCore/Platform/StateFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace fernwick::statefile {

bool nestingWithin(std::string_view text, int maxDepth) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i; // the escaped character cannot end the string
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth) {
                return false;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

nlohmann::json parse(std::string_view text) {
    if (!nestingWithin(text)) {
        return nlohmann::json(nlohmann::json::value_t::discarded);
    }
    return nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
}

Result<std::filesystem::path> setAside(const std::filesystem::path& file, std::int64_t unixSeconds,
                                       int names, const std::string& why) {
    for (int n = 1; n <= names; ++n) {
        std::filesystem::path aside = file;
        aside += ".unreadable-" + std::to_string(unixSeconds);
        if (n > 1) {
            aside += "-" + std::to_string(n);
        }
        // renameat2(2): RENAME_NOREPLACE, so an earlier set-aside copy is never lost.
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            std::fprintf(stderr, "Fernwick: %s could not be read (%s); it was kept as %s\n",
                         file.c_str(), why.c_str(), aside.c_str());
            return aside;
        }
        if (errno == ENOENT) {
            return std::filesystem::path();
        }
        if (errno != EEXIST) {
            return SystemError::fromErrno("set aside " + file.string());
        }
    }
    return SystemError{"set aside " + file.string(), EEXIST};
}

} // namespace fernwick::statefile
