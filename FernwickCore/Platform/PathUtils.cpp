#include "FernwickCore/Platform/PathUtils.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

namespace fernwick::paths {
namespace {

// True when standardizing would change nothing: no empty, "." or ".." segment and no trailing
// "/" (the root aside). Most paths are like this, and then need no rebuilding.
bool isStandard(std::string_view text) {
    if (text == "/") {
        return true;
    }
    if (text.back() == '/') {
        return false;
    }
    std::size_t start = text.front() == '/' ? 1 : 0;
    for (;;) {
        const auto slash = text.find('/', start);
        const std::string_view segment = text.substr(start, slash - start);
        if (segment.empty() || segment == "." || segment == "..") {
            return false;
        }
        if (slash == std::string_view::npos) {
            return true;
        }
        start = slash + 1;
    }
}

} // namespace

std::filesystem::path standardize(const std::filesystem::path& path) {
    return standardizedText(path.native());
}

std::string standardizedText(std::string_view text) {
    if (text.empty() || isStandard(text)) {
        return std::string(text);
    }
    const bool absolute = text.front() == '/';
    std::vector<std::string_view> segments;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (segment.empty() || segment == ".") {
            continue;
        }
        if (segment == "..") {
            if (!segments.empty() && segments.back() != "..") {
                segments.pop_back();
            } else if (!absolute) {
                segments.push_back(segment);
            }
            continue;
        }
        segments.push_back(segment);
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            out += '/';
        }
        out += segments[i];
    }
    if (out.empty()) {
        out = ".";
    }
    return out;
}

std::filesystem::path expandTilde(std::string_view text, const std::filesystem::path& home) {
    if (text == "~") {
        return home;
    }
    if (text.size() >= 2 && text[0] == '~' && text[1] == '/') {
        return std::filesystem::path(home.native() + std::string(text.substr(1)));
    }
    return std::filesystem::path(std::string(text));
}

std::filesystem::path resolveSymlinks(const std::filesystem::path& path) {
    const std::string standardized = standardize(path).native();
    std::string prefix = standardized;
    std::string suffix;
    for (;;) {
        std::unique_ptr<char, decltype(&std::free)> resolved(realpath(prefix.c_str(), nullptr),
                                                             &std::free);
        if (resolved) {
            std::string out = resolved.get();
            if (!suffix.empty()) {
                if (out != "/") {
                    out += '/';
                }
                out += suffix;
            }
            return out;
        }
        const auto slash = prefix.rfind('/');
        if (slash == std::string::npos || prefix == "/") {
            return standardized;
        }
        const std::string tail = prefix.substr(slash + 1);
        if (suffix.empty()) {
            suffix = tail;
        } else {
            suffix.insert(0, 1, '/');
            suffix.insert(0, tail);
        }
        prefix = slash == 0 ? "/" : prefix.substr(0, slash);
    }
}

bool isAtOrUnder(std::string_view path, std::string_view location) {
    if (path.size() == location.size()) {
        return path == location;
    }
    return path.size() > location.size() && path[location.size()] == '/' &&
           path.substr(0, location.size()) == location;
}

void joinInto(std::string& out, std::string_view folder, std::string_view name) {
    out.reserve(folder.size() + 1 + name.size());
    out.assign(folder);
    if (out.empty() || out.back() != '/') {
        out.push_back('/');
    }
    out.append(name);
}

std::string joined(std::string_view folder, std::string_view name) {
    std::string out;
    joinInto(out, folder, name);
    return out;
}

std::string lastComponent(const std::filesystem::path& path) {
    const std::string& text = path.native();
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] == '/') {
        --end;
    }
    const auto slash = text.rfind('/', end == 0 ? 0 : end - 1);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return start >= end ? std::string{} : text.substr(start, end - start);
}

std::string_view extensionView(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) {
        return {};
    }
    return name.substr(dot + 1);
}

std::string extension(std::string_view name) {
    return std::string(extensionView(name));
}

std::string lowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

} // namespace fernwick::paths
