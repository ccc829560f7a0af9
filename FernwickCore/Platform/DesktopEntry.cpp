#include "FernwickCore/Platform/DesktopEntry.h"

#include <fstream>

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

std::vector<std::string> desktopEntryPrograms(const std::filesystem::path& file) {
    std::vector<std::string> programs;
    std::ifstream stream(file);
    std::string line;
    constexpr std::string_view kKey = "Exec=";
    while (std::getline(stream, line)) {
        if (line.starts_with(kKey)) {
            programs.push_back(desktopExecProgram(std::string_view(line).substr(kKey.size())));
        }
    }
    return programs;
}

} // namespace fernwick
