// The export options of kinovela-cli export and of the script command
// export: they start from the format's option record and may only change
// what the format's options dialog would let the user change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/ExportOptions.h"

namespace kinovela::cli {

// Applies `args` to `options`. Returns an empty text, or what was wrong (an
// unknown option, a bad value, or an option this format does not offer).
// `extension` is the output's, for the choices one form of a format lacks
// (a .glb always holds its pictures).
std::string ApplyExportArgs(const std::vector<std::string>& args, ExportOptions& options, bool& safeNames,
                            std::string_view extension = {});

// One line per option, for the usage text.
extern const char* const kExportOptionsHelp;

}  // namespace kinovela::cli
