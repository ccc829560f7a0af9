#include "FernwickCore/Platform/DesktopEntry.h"

#include "FernwickCore/Platform/DirectoryReader.h"
#include "FernwickCore/Platform/UniqueFd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fernwick {
namespace {

// The desktop entry specification's escapes of string values; any other backslash pair is kept
// for the argument quoting to read.
std::string unescapeString(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        switch (const char next = value[++i]) {
        case 's':
            text += ' ';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'r':
            text += '\r';
            break;
        case '\\':
            text += '\\';
            break;
        default:
            text += '\\';
            text += next;
        }
    }
    return text;
}

} // namespace

std::string desktopExecProgram(std::string_view value) {
    const std::string text = unescapeString(value);
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) {
        return {};
    }
    std::string program;
    if (text[i] != '"') {
        const std::size_t end = text.find_first_of(" \t", i);
        return text.substr(i, end == std::string::npos ? std::string::npos : end - i);
    }
    // A quoted argument: a backslash takes the next character literally.
    for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
        }
        program += text[i];
    }
    return program;
}

std::string desktopEntryProgram(std::string_view text) {
    constexpr std::string_view kMainGroup = "[Desktop Entry]";
    constexpr std::string_view kKey = "Exec=";
    bool inMainGroup = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with('[')) {
            inMainGroup = line == kMainGroup;
        } else if (inMainGroup && line.starts_with(kKey)) {
            return desktopExecProgram(line.substr(kKey.size()));
        }
    }
    return {};
}

namespace {

// The whole contents of the launcher `name` in `folder`, or nothing when it is not a regular
// file of at most kMaxDesktopEntryBytes. The entry is examined before it is opened, so a FIFO or
// a device is never opened; O_NONBLOCK and the second look cover one swapped in between.
std::optional<std::string> readLauncher(int folder, const char* name, struct stat& info) {
    if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > static_cast<off_t>(kMaxDesktopEntryBytes)) {
        return std::nullopt;
    }
    const UniqueFd fd(
        ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    // One byte more than the limit tells a file that grew since it was examined.
    std::string text(kMaxDesktopEntryBytes + 1, '\0');
    std::size_t length = 0;
    while (length < text.size()) {
        const ssize_t got = ::read(fd.get(), text.data() + length, text.size() - length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        length += static_cast<std::size_t>(got);
    }
    if (length > kMaxDesktopEntryBytes) {
        return std::nullopt;
    }
    text.resize(length);
    return text;
}

} // namespace

std::vector<DesktopLauncher> readDesktopLaunchers(const std::filesystem::path& folder) {
    std::vector<DesktopLauncher> launchers;
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DirectoryReader reader;
    if (!fd || reader.read(fd.get(), /*skipHidden=*/true) != 0) {
        return launchers;
    }
    for (const auto& entry : reader.entries()) {
        if (!entry.name.ends_with(".desktop") ||
            (entry.type != DT_REG && entry.type != DT_UNKNOWN)) {
            continue;
        }
        struct stat info {};
        const auto text = readLauncher(fd.get(), entry.name.data(), info);
        if (text) {
            launchers.push_back({std::string(entry.name), desktopEntryProgram(*text),
                                 static_cast<std::uint64_t>(info.st_ino),
                                 static_cast<std::uint64_t>(info.st_dev), modificationTime(info)});
        }
    }
    return launchers;
}

} // namespace fernwick
