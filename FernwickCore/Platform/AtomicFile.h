#pragma once

#include "FernwickCore/Platform/Result.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace fernwick {

/// Replaces `file` with `contents` so that a crash leaves either the old or the new file, never
/// a truncated one: a temporary file in the same folder is written in full, fsync'ed and renamed
/// over the target, then the folder is fsync'ed. Creates missing parent folders (mode 0700).
Status writeFileAtomically(const std::filesystem::path& file, std::string_view contents);

/// Reads a whole regular file. Fails with ENOENT when it is missing.
Result<std::string> readWholeFile(const std::filesystem::path& file);

} // namespace fernwick
