#include "document/ExportDispatch.h"

#include <cstdint>
#include <cstdio>

#include "document/DocumentMessages.h"
#include "document/TextureCopies.h"
#include "export/GltfWriter.h"
#include "export/HeaderWriter.h"
#include "export/HspWriter.h"
#include "export/Kino3DWriter.h"
#include "export/NonFinite.h"
#include "export/SdfWriter.h"
#include "export/VrmlWriter.h"
#include "export/XWriter.h"
#include "mqo/MqoWriter.h"

namespace kinovela {

const std::vector<ExportFormat>& ExportFormats()
{
    static const std::vector<ExportFormat> formats = {
        {"w3d", KINOVELA_TEXT("Messages", "Shockwave3Dフォーマットで保存"),
         KINOVELA_TEXT("Messages", "SDFファイルへの書き出しに失敗しました。")},
        {"x", KINOVELA_TEXT("Messages", "DirectXフォーマットで保存"),
         KINOVELA_TEXT("Messages", "xファイルへの書き出しに失敗しました。")},
        {"k3d", KINOVELA_TEXT("Messages", "Kino3D&x形式で保存"),
         KINOVELA_TEXT("Messages", "Kino3D&xファイルへの書き出しに失敗しました。")},
        {"wrl", KINOVELA_TEXT("Messages", "VRML97フォーマットで保存"),
         KINOVELA_TEXT("Messages", "VRMLファイルへの書き出しに失敗しました。")},
        {"mx", KINOVELA_TEXT("Messages", "Hot Soup Processorフォーマットで保存"),
         KINOVELA_TEXT("Messages", "Hot Soup Processorフォーマットで保存")},
        {"mqs", KINOVELA_TEXT("Messages", "RayTrans Libraryフォーマットで保存"),
         KINOVELA_TEXT("Messages", "RayTrans Libraryファイルへの書き出しに失敗しました。")},
        {"h", KINOVELA_TEXT("Messages", "Hフォーマットで保存"), KINOVELA_TEXT("Messages", "Hフォーマットで保存")},
        {"gltf", KINOVELA_TEXT("Messages", "glTF 2.0フォーマットで保存"),
         KINOVELA_TEXT("Messages", "glTFファイルへの書き出しに失敗しました。")},
        {"glb", KINOVELA_TEXT("Messages", "glTF 2.0フォーマットで保存"),
         KINOVELA_TEXT("Messages", "glTFファイルへの書き出しに失敗しました。")},
    };
    return formats;
}

const ExportFormat* FindExportFormat(std::string_view extension)
{
    std::string ext(extension);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    for (const ExportFormat& f : ExportFormats())
        if (ext == f.extension) return &f;
    return nullptr;
}

namespace {

// The description and its textures go into the output folder (the folder
// the save dialog leaves current), the converter plug-in turns them into
// the .w3d, and the description is removed once it has. The conversion is
// one more unit after the description's, so that the bar stops short of
// the end while the plug-in runs.
ExportResult ExportW3d(const CKinovela& scene, const CTimeline& t, const std::string& path, const ExportOptions& o,
                       const ExportContext& context)
{
    std::uint64_t described = 0;
    SdfOptions s;
    s.keyType = o.keyType;
    s.textureCoords = o.textureCoords != 0;
    s.camera = o.camera != 0;
    s.light = o.light != 0;
    s.scale = o.scale;
    s.safeNames = context.safeNames;
    if (context.progress)
        s.progress = [&](std::uint64_t done, std::uint64_t total) {
            described = total;
            context.progress(done, total + 1);
        };
    TextureSearch search;
    search.firstFolders = context.textureFirstFolders;
    search.documentFolders = context.textureFolders;
    const std::string folder = FolderOf(path);
    const std::string sdf = folder + kSdfFileName;
    ExportResult r = WriteSdfFile(scene, t, sdf, s, search);
    if (!r.ok) return r;
    std::string error;
    if (!ConvertSdfToW3d(path, folder.empty() ? "." : folder, context.w3dPlugin, error)) {
        r.ok = false;
        r.error = error + " (the scene description stays in " + sdf + ")";
        r.failureMessage = kW3dConversionFailed;
        return r;
    }
    std::remove(sdf.c_str());
    if (context.progress) context.progress(described + 1, described + 1);
    return r;
}

ExportResult RunWriter(const ExportFormat& format, const CKinovela& scene, const CTimeline& t, const std::string& path,
                       const ExportOptions& o, const ExportContext& context)
{
    const std::string_view ext = format.extension;
    if (ext == "x") {
        XOptions x;
        x.textureQuality = o.textureQuality;
        x.keyType = o.keyType;
        x.textureCoords = o.textureCoords != 0;
        x.speed = o.speed;
        x.camera = o.camera != 0;
        x.scale = o.scale;
        x.coordinateSystem = o.coordinateSystem;
        x.safeNames = context.safeNames;
        x.progress = context.progress;
        return WriteXFile(scene, t, path, x);
    }
    if (ext == "k3d") {
        Kino3DOptions k;
        k.textureQuality = o.textureQuality;
        k.textureCoords = o.textureCoords != 0;
        k.speed = o.speed;
        k.scale = o.scale;
        k.safeNames = context.safeNames;
        k.textureFolders = context.textureFolders;
        k.textureFirstFolders = context.textureFirstFolders;
        k.progress = context.progress;
        return WriteKino3DPackage(scene, t, path, k);
    }
    if (ext == "w3d") return ExportW3d(scene, t, path, o, context);
    TextureSearch search;
    search.firstFolders = context.textureFirstFolders;
    search.documentFolders = context.textureFolders;
    if (ext == "wrl") {
        VrmlOptions v;
        v.keyType = o.keyType;
        v.textureCoords = o.textureCoords != 0;
        v.normals = o.normals != 0;
        v.camera = o.camera != 0;
        v.scale = o.scale;
        v.safeNames = context.safeNames;
        v.progress = context.progress;
        return WriteVrmlFile(scene, t, path, v, search);
    }
    if (ext == "mx") {
        HspOptions h;
        h.textureQuality = o.textureQuality;
        h.keyType = o.keyType;
        h.scale = o.scale;
        h.textures = search;
        h.progress = context.progress;
        return WriteHspFile(scene, t, path, h);
    }
    if (ext == "mqs") return WriteMQS(scene, t, path, o.textureCoords != 0, o.scale, context.progress);
    if (ext == "h") return WriteHeaderFile(scene, path, o.scale, context.safeNames, context.progress);
    if (ext == "gltf" || ext == "glb") {
        GltfOptions g;
        g.binary = ext == "glb";
        g.scale = o.scale;
        g.animation = o.keyType != 2;
        g.everyFrame = o.everyFrame != 0;
        g.camera = o.camera != 0;
        g.textureCoords = o.textureCoords != 0;
        g.embedTextures = o.embedTextures != 0;
        g.safeNames = context.safeNames;
        g.progress = context.progress;
        return WriteGltfFile(scene, t, path, g, search);
    }
    ExportResult none;
    none.error = "no writer for ." + std::string(ext);
    return none;
}

}  // namespace

ExportResult RunExport(const ExportFormat& format, CKinovela& scene, CTimeline& t, const std::string& path,
                       const ExportOptions& o, const ExportContext& context)
{
    scene.RecomputeAll(t);
    // Every writer's numbers pass the same check (see NonFinite.h); the
    // user hears of it once, whichever format it was.
    const NonFiniteCount replaced;
    ExportResult r = RunWriter(format, scene, t, path, o, context);
    if (r.ok && replaced.Count() > 0) r.warnings.push_back(NonFiniteWarning(scene, t.m_last, replaced.Count()));
    return r;
}

bool SaveAsDispatcher::EditOptions(const ExportFormat& format, ExportOptions& options)
{
    if (std::string_view(format.extension) != "glb") return m_ui.EditOptions(options, UserText(format.title));
    // A .glb always holds its pictures: the dialog shows the box ticked and
    // fixed, and the .gltf choice in the shared record stays as it was.
    ExportOptions shown = options;
    shown.embedTextures = 1;
    shown.embedTexturesAvailability = -1;
    if (!m_ui.EditOptions(shown, UserText(format.title))) return false;
    shown.embedTextures = options.embedTextures;
    shown.embedTexturesAvailability = options.embedTexturesAvailability;
    options = shown;
    return true;
}

DocResult SaveAsDispatcher::SaveNative(CKinoDoc& doc, const std::string& path)
{
    // Asked once the scene is saved: a save that fails needs no copies.
    DocResult result = doc.OnSaveDocument(path);
    if (!result.ok) return result;
    const std::string folder = FolderOf(path);
    const std::vector<TextureCopy> copies = TexturesLeftBehind(doc.Scene(), folder, doc.m_textureFolders);
    if (!copies.empty() && m_ui.AskYesNo(CopyTexturesQuestion(copies, folder))) {
        const std::string problems = CopyTexturesInto(copies, folder);
        if (!problems.empty()) m_ui.ShowMessage(problems);
    }
    return result;
}

DocResult SaveAsDispatcher::SaveAs(CKinoDoc& doc)
{
    DocResult result;
    doc.UpdateAllViews(kHintFps);
    const std::optional<std::string> path = m_ui.ChooseSavePath();
    if (!path) return result;  // cancelled: nothing changes
    const std::string ext = PathExtension(*path);
    if (ext == "kvl") return SaveNative(doc, *path);

    const ExportFormat* format = FindExportFormat(ext);
    ExportOptions* options = format ? m_options.Find(ext) : nullptr;
    if (format && options) {
        doc.Scene().RecomputeAll(doc.Timeline());
        if (EditOptions(*format, *options)) {
            ExportContext context = m_context;
            if (!context.progress) context.progress = doc.m_progress;
            context.textureFirstFolders.insert(context.textureFirstFolders.end(), doc.m_textureFolders.begin(),
                                               doc.m_textureFolders.end());
            if (!doc.PathName().empty()) {
                const std::size_t slash = doc.PathName().find_last_of('/');
                context.textureFolders.push_back(slash == std::string::npos ? "." : doc.PathName().substr(0, slash));
            }
            ExportResult r;
            try {
                r = RunExport(*format, doc.Scene(), doc.Timeline(), *path, *options, context);
            } catch (const WorkCancelled&) {
                // The writer's atomic file was discarded; nothing to report.
                result.ok = false;
                result.cancelled = true;
                doc.SetModified(true);
                return result;
            }
            if (r.ok && !r.warnings.empty()) {
                // Side files skipped or kept: told once, after the export.
                std::string text = UserText(msg::kExportWarnings);
                for (const std::string& w : r.warnings) text += "\n  " + w;
                m_ui.ShowMessage(text);
            }
            if (!r.ok) {
                result.warnings = r.warnings;
                m_ui.ShowMessage(UserText(r.MessageOr(format->failureMessage)));
                result.shown = true;
                result.ok = false;
                result.message = UserText(r.MessageOr(format->failureMessage)) + "\n" + r.error;
            }
        }
    }
    // Any export, or a name that selects nothing, leaves the document marked
    // modified: the native file has not been written.
    doc.SetModified(true);
    return result;
}

}  // namespace kinovela
