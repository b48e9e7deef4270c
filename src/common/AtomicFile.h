// Whole-file writes that never leave a half-written file behind: the data
// goes to a temporary file beside the target, is flushed to disk and then
// renamed over the target. Every write error (a full disk included) is
// reported.
#pragma once

#include <string>
#include <string_view>

#include "common/Progress.h"

namespace kinovela {

struct WriteResult {
    bool ok = false;
    std::string error;  // what failed, with the system's reason
};

// Writes `data` to `path`. A target that exists and is not a regular file
// (a device such as /dev/null or /dev/full) is written in place, since it
// cannot be replaced by a rename. A new file gets the usual 0666 & ~umask
// permissions; an existing one keeps its own.
WriteResult WriteFileAtomically(const std::string& path, std::string_view data, const ProgressFn& progress = {});

// Reads a whole regular file; false with a reason in `error` when it cannot.
bool ReadWholeFile(const std::string& path, std::string& out, std::string& error, const ProgressFn& progress = {});

}  // namespace kinovela
