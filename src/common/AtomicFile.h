// Whole-file writes that never leave a half-written file behind: the data
// goes to a temporary file beside the target, is flushed to disk and then
// renamed over the target. Every write error (a full disk included) is
// reported. And the matching whole-file read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "common/Progress.h"

namespace kinovela {

struct WriteResult {
    bool ok = false;
    std::string error;  // what failed, with the system's reason
    int errorNumber = 0;  // the errno of the failure, when the system gave one
};

// Takes the bytes of a file piece by piece. After a failed write it ignores
// what follows; the failure is reported by WriteFileAtomically.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
};

// Streams the file from `produce` to `path`. `expectedSize`, when known,
// scales the progress reports. A target that exists and is not a regular file
// (a device such as /dev/null or /dev/full) is written in place, since it
// cannot be replaced by a rename. A new file gets the usual 0666 & ~umask
// permissions; an existing one keeps its own.
WriteResult WriteFileAtomically(const std::string& path, const std::function<void(ByteSink&)>& produce,
                                std::uint64_t expectedSize = 0, const ProgressFn& progress = {});
WriteResult WriteFileAtomically(const std::string& path, std::string_view data, const ProgressFn& progress = {});

// The two halves of an atomic write, for saving several files all or none:
// Prepare writes and flushes the temporary file beside the target, Commit
// renames it into place. A prepared file that is never committed is removed.
// (A device target is written by Prepare; Commit has nothing left to do.)
class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    WriteResult Prepare(const std::string& path, const std::function<void(ByteSink&)>& produce,
                        std::uint64_t expectedSize = 0, const ProgressFn& progress = {});
    // Prepare for a file whose name does not come from the user (the side
    // files of an export): a symbolic link at `path` is replaced by the file,
    // never followed, and anything there but a regular file or a link (a
    // folder, a device, a FIFO) is refused.
    WriteResult PrepareReplacing(const std::string& path, const std::function<void(ByteSink&)>& produce,
                                 std::uint64_t expectedSize = 0);
    WriteResult Commit();

private:
    void Discard();
    WriteResult PrepareTemporary(const std::string& path, mode_t mode,
                                 const std::function<void(ByteSink&)>& produce, std::uint64_t expectedSize,
                                 const ProgressFn& progress);

    std::string m_path;    // as given
    std::string m_target;  // the file the rename replaces (links followed by Prepare)
    std::string m_temp;    // the prepared temporary, empty when none
    bool m_device = false;
};

// A whole regular file in memory.
class FileContents {
public:
    // False with a reason in `error` when the file cannot be opened or read,
    // or is not a regular file.
    bool Open(const std::string& path, std::string& error, const ProgressFn& progress = {});
    std::string_view Data() const { return m_view; }

private:
    std::unique_ptr<char[]> m_buffer;
    std::string_view m_view;
};

// Reads a whole file into `out`; false with a reason in `error` when it cannot.
bool ReadWholeFile(const std::string& path, std::string& out, std::string& error, const ProgressFn& progress = {});

}  // namespace kinovela
