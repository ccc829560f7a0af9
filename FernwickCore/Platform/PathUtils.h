#pragma once

#include <filesystem>
#include <string>
#include <string_view>

/// Path helpers that stand in for the original platform's URL operations. Paths are bytes:
/// nothing here validates or converts encodings. All functions are pure unless noted.
namespace fernwick::paths {

/// Lexical standardising: "." segments and repeated "/" removed, ".." removes the previous
/// segment (at the root it is dropped), no trailing "/" except for the root itself. No
/// file-system access. A relative path stays relative.
std::filesystem::path standardize(const std::filesystem::path& path);
/// standardize() on text, for callers that need no std::filesystem::path (which splits itself
/// into components on construction).
std::string standardizedText(std::string_view path);

/// "~" and "~/rest" become the home folder and home/rest; every other text is returned as is.
std::filesystem::path expandTilde(std::string_view text, const std::filesystem::path& home);

/// Best-effort symbolic-link resolution: the longest prefix that exists is resolved with
/// realpath(3) and the rest appended, so that missing items and dangling links keep their own
/// path. Reads the file system. The input is standardized first.
std::filesystem::path resolveSymlinks(const std::filesystem::path& path);

/// True when `path` equals `location` or begins with `location` followed by "/". Textual.
bool isAtOrUnder(std::string_view path, std::string_view location);

/// `folder` + "/" + `name` into `out`, with no second "/" after a folder that ends in one.
void joinInto(std::string& out, std::string_view folder, std::string_view name);
/// joinInto() as a new text.
std::string joined(std::string_view folder, std::string_view name);

/// The last path component ("" for "/" and for an empty path).
std::string lastComponent(const std::filesystem::path& path);

/// The extension without the dot, in its original case; "" when there is none. A leading dot
/// (".bashrc") is not an extension.
std::string extension(std::string_view name);
/// extension(), as a view into `name` (no allocation).
std::string_view extensionView(std::string_view name);

/// ASCII lower-casing, for case-insensitive comparisons of names and paths.
std::string lowercased(std::string_view text);

} // namespace fernwick::paths
