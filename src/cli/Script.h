// Command scripts: one command per line, driving the document's commands the
// way the editor's menus, fields and mouse do. Nothing is written (no file,
// no output) unless the whole script succeeds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "document/ExportDispatch.h"

namespace kinovela::cli {

struct ScriptResult {
    bool ok = false;
    std::string error;   // "SCRIPT:LINE: reason" when a line failed
    std::string output;  // what print commands produced
    std::vector<std::string> warnings;
    // Files saved by the script, in order: path and bytes. Written by the
    // caller once the script has succeeded.
    std::vector<std::pair<std::string, std::string>> files;
    // Exports, each with the scene as it was at its line; run by the caller
    // once the script has succeeded.
    struct Export {
        const ExportFormat* format;
        std::string path;
        ExportOptions options;
        ExportContext context;
        std::shared_ptr<CKinovela> scene;
        CTimeline timeline;
    };
    std::vector<Export> exports;
};

// Runs the script text; `name` labels the error messages. Relative paths
// inside the script are taken from `baseDir` (empty: the current folder).
// `outPath`, when not empty, receives the final scene as a native file.
// `textureFolders` are searched first for texture images.
ScriptResult RunScript(const std::string& text, const std::string& name, const std::string& outPath,
                       const std::string& baseDir = {}, const std::vector<std::string>& textureFolders = {});

// Runs the script file and writes its files and output; returns the exit
// status: 0, or 1 when the script cannot be read, a line fails or a file
// cannot be written.
int RunScriptFile(const std::string& path, const std::string& outPath,
                  const std::vector<std::string>& textureFolders = {});

}  // namespace kinovela::cli
