// Save As: the native file or one exporter, chosen by the extension of the
// name the user picked, with the format's options dialog in between.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/UserTexts.h"
#include "document/ExportOptions.h"
#include "document/KinoDoc.h"
#include "export/ExportCommon.h"

namespace kinovela {

// One export format: its option record's extension, the options dialog's
// title and the message shown when its writer fails.
struct ExportFormat {
    const char* extension;
    const char* title;
    const char* failureMessage;
};

// A .w3d export whose description was written but not converted.
inline constexpr const char* kW3dConversionFailed =
    KINOVELA_TEXT("Messages", "Shockwave3Dへの書き出しに失敗しました。");

// The formats with a writer, in the order Save As tests them; null when the
// extension names none.
const ExportFormat* FindExportFormat(std::string_view extension);
const std::vector<ExportFormat>& ExportFormats();

// What every export needs besides its options.
struct ExportContext {
    std::vector<std::string> textureFolders;       // searched after the program's TEXTURE folder
    std::vector<std::string> textureFirstFolders;  // searched before it
    std::string w3dPlugin;  // the .w3d converter library; empty: beside the program, then the library path
    bool safeNames = false;                    // identifiers limited to [A-Za-z0-9_]
    ProgressFn progress;  // told how far the writer has come; may be empty (Save As uses the document's)
};

// Runs the writer of `format` (frames are recomputed first, as Save As
// does). The result says why a writer failed.
ExportResult RunExport(const ExportFormat& format, CKinovela& scene, CTimeline& t, const std::string& path,
                       const ExportOptions& options, const ExportContext& context);

// The windows Save As needs: the save dialog, the options dialog (false for
// Cancel; on OK it has written the user's choices into the record) and a
// message box.
class IExportUi {
public:
    virtual ~IExportUi() = default;
    virtual std::optional<std::string> ChooseSavePath() = 0;
    virtual bool EditOptions(ExportOptions& options, const std::string& title) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    // A question whose suggested answer is yes; true for yes. Without a
    // user to ask, nothing is done that was not asked for.
    virtual bool AskYesNo(const std::string& question)
    {
        (void)question;
        return false;
    }
};

class SaveAsDispatcher final : public ISaveAsHandler {
public:
    SaveAsDispatcher(ExportOptionsTable& options, IExportUi& ui) : m_options(options), m_ui(ui) {}
    DocResult SaveAs(CKinoDoc& doc) override;
    ExportContext m_context;

private:
    bool EditOptions(const ExportFormat& format, ExportOptions& options);
    // The native file, with the offer to copy the textures the new folder
    // would not find.
    DocResult SaveNative(CKinoDoc& doc, const std::string& path);

    ExportOptionsTable& m_options;
    IExportUi& m_ui;
};

}  // namespace kinovela
