#include "FernwickCore/Platform/MountTable.h"

#include "FernwickCore/Platform/AtomicFile.h"

#include <sstream>

namespace fernwick {
namespace {

// proc(5): space, tab, newline and backslash in a path are written as \ooo.
std::string unescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                const int value =
                    (digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0');
                out += static_cast<char>(value & 0xFF);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

} // namespace

std::vector<MountEntry> parseMountTable(std::string_view text) {
    std::vector<MountEntry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string line(text.substr(start, end - start));
        start = end + 1;
        // "id parent major:minor root mount-point options [optional fields] - type source ..."
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point;
        fields >> id >> parent >> numbers >> root >> point;
        const auto dash = line.find(" - ");
        if (point.empty() || dash == std::string::npos) {
            continue;
        }
        std::istringstream tail(line.substr(dash + 3));
        std::string type;
        tail >> type;
        entries.push_back({unescapeMountField(point), type});
    }
    return entries;
}

std::vector<MountEntry> readMountTable() {
    const auto text = readWholeFile("/proc/self/mountinfo");
    return text ? parseMountTable(*text) : std::vector<MountEntry>{};
}

} // namespace fernwick
