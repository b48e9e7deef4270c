// The native scene file (.kvl): a flat little-endian stream of the version
// text, the last frame and the scene record with every model, camera pose and
// material nested in a fixed order. Nothing in it names its parts, so the
// reader follows exactly the writer's order and checks every count and length
// against the bytes that remain before it allocates anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/AtomicFile.h"
#include "common/Progress.h"
#include "scene/Kinovela.h"

namespace kinovela {

inline constexpr const char* kNativeVersionText = "Version 6.6";

struct NativeReadResult {
    bool ok = false;
    std::string versionText;  // as stored; not checked
    std::string message;      // for the user, with the file name filled in
    std::string detail;       // what exactly was wrong, for logs and the CLI
    std::uint64_t offset = 0;  // byte offset where reading stopped
    bool ioError = false;      // the file could not be opened or read at all
};

// Reads a native scene into `scene` and `t`. On failure both are left exactly
// as they were. On success the file's models, cameras, materials and counters
// replace the scene's (the clipboard, background and field of view are kept),
// the history is cleared, the current frame is 0, the selection is none, and
// colours, boxes, normals and the hierarchy walk are rebuilt.
NativeReadResult ReadNativeData(std::string_view data, const std::string& fileName, CKinovela& scene, CTimeline& t);
NativeReadResult ReadNativeFile(const std::string& path, CKinovela& scene, CTimeline& t,
                                const ProgressFn& progress = {});

std::string SerializeNativeFile(const CKinovela& scene, const CTimeline& t);
// The exact size in bytes of the file SerializeNativeFile produces.
std::size_t NativeFileSize(const CKinovela& scene);
// Serialises and writes atomically; a failed write leaves the old file.
WriteResult WriteNativeFile(const std::string& path, const CKinovela& scene, const CTimeline& t,
                            const ProgressFn& progress = {});

}  // namespace kinovela
