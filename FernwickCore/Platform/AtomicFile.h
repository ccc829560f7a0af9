#pragma once

#include "FernwickCore/Platform/Result.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace fernwick {

/// Replaces `file` with `contents` so that a crash leaves either the old or the new file, never
/// a truncated one: an unnamed file (O_TMPFILE) in the same folder is written in full and
/// fsync'ed, given a temporary name (".<name>.tmp-XXXXXX", or ".tmp-XXXXXX" when the longer
/// one would pass NAME_MAX) only just before it is renamed over
/// the target, then the folder is fsync'ed. A kill therefore leaves no temporary file behind
/// except in that last instant; `removeStaleTemporaryFiles` clears those at start. Where the
/// file system has no O_TMPFILE a named temporary file is written instead. Creates missing
/// parent folders (mode 0700).
Status writeFileAtomically(const std::filesystem::path& file, std::string_view contents);

/// Removes the temporary files that `writeFileAtomically` for `file` may have left when the
/// program was killed. Call once, before the first write.
void removeStaleTemporaryFiles(const std::filesystem::path& file);

/// Reads a whole regular file. Fails with ENOENT when it is missing, and with EFBIG (reading
/// no more than needed to tell) when it holds more than `maxBytes`.
Result<std::string> readWholeFile(const std::filesystem::path& file,
                                  std::size_t maxBytes = static_cast<std::size_t>(-1));

} // namespace fernwick
