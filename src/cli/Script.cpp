#include "cli/Script.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <cstdio>
#include <functional>
#include <map>

#include "cli/ExportArgs.h"
#include "cli/InfoCommand.h"
#include "common/AtomicFile.h"
#include "common/TextCodec.h"
#include "document/DocumentMessages.h"
#include "document/HeadlessViews.h"
#include "document/KinoDoc.h"
#include "scene/NativeFile.h"

namespace kinovela::cli {

namespace {

struct LineError {
    std::string reason;
};

[[noreturn]] void Fail(std::string reason) { throw LineError{std::move(reason)}; }

// Splits a line into words; double quotes group a word with blanks in it.
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size()) break;
        std::string w;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos) Fail("unterminated quote");
            w = line.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w += line[i++];
        }
        words.push_back(w);
    }
    return words;
}

// A word for an error message, cut short when it is long.
std::string Shown(const std::string& w) { return w.size() <= 80 ? w : w.substr(0, 77) + "..."; }

int Int(const std::string& w, const char* what)
{
    int v = 0;
    const auto r = std::from_chars(w.data(), w.data() + w.size(), v);
    if (r.ec != std::errc() || r.ptr != w.data() + w.size())
        Fail(std::string(what) + " must be a whole number: " + Shown(w));
    return v;
}

float Float(const std::string& w, const char* what)
{
    double v = 0;
    const char* b = w.data();
    if (!w.empty() && w[0] == '+') ++b;
    const auto r = std::from_chars(b, w.data() + w.size(), v, std::chars_format::fixed | std::chars_format::scientific);
    if (r.ec != std::errc() || r.ptr != w.data() + w.size() || w.empty())
        Fail(std::string(what) + " must be a number: " + Shown(w));
    const auto f = static_cast<float>(v);
    if (!std::isfinite(f)) Fail(std::string(what) + " is too large: " + Shown(w));
    return f;
}

bool Finite(const CVector& v) { return std::isfinite(v.m_x) && std::isfinite(v.m_y) && std::isfinite(v.m_z); }

class Interpreter {
public:
    Interpreter(ScriptResult& result, std::string baseDir)
        : m_result(result), m_baseDir(std::move(baseDir)), m_doc(m_scene, m_timeline), m_tree(m_scene), m_controls(m_doc)
    {
        m_doc.AddView(&m_tree);
        m_doc.AddView(&m_controls);
        m_doc.OnNewDocument();
        Register();
    }

    void Run(const std::vector<std::string>& words)
    {
        const auto it = m_commands.find(words[0]);
        if (it == m_commands.end()) Fail("unknown command: " + Shown(words[0]));
        const Command& c = it->second;
        const int args = static_cast<int>(words.size()) - 1;
        if (args < c.minArgs || args > c.maxArgs) Fail("usage: " + words[0] + (c.usage.empty() ? "" : " " + c.usage));
        c.run(std::vector<std::string>(words.begin() + 1, words.end()));
    }

    // Files are written when the script ends; a folder that cannot take
    // them is reported at the line already.
    static void CheckFolder(const std::string& path)
    {
        const std::size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        if (::access(folder.c_str(), W_OK) != 0) Fail("cannot save in " + folder + ": " + std::strerror(errno));
    }

    // Paths in a script are relative to the script's folder.
    std::string Path(const std::string& p) const
    {
        if (p.empty() || p[0] == '/' || m_baseDir.empty()) return p;
        return m_baseDir + "/" + p;
    }

    void SaveTo(const std::string& path)
    {
        if (PathExtension(path) != "kvl") Fail("save writes Kinovela scenes: the file must end in .kvl");
        CheckFolder(path);
        m_result.files.emplace_back(path, SerializeNativeFile(m_scene, m_timeline));
        m_doc.SetPathName(path);
        m_doc.SetModified(false);
    }

private:
    struct Command {
        int minArgs;
        int maxArgs;
        std::string usage;
        std::function<void(const std::vector<std::string>&)> run;
    };

    void Add(const std::string& name, int minArgs, int maxArgs, std::string usage,
             std::function<void(const std::vector<std::string>&)> run)
    {
        m_commands[name] = Command{minArgs, maxArgs, std::move(usage), std::move(run)};
    }

    CModel& Selected()
    {
        CModel* m = m_scene.SelectedModel();
        if (!m) Fail(msg::kSelectModel);
        return *m;
    }

    // A model by UTF-8 name or by "#index".
    int FindModel(const std::string& which)
    {
        if (which.size() > 1 && which[0] == '#') {
            const int i = Int(which.substr(1), "a model index");
            if (i < 0 || static_cast<std::size_t>(i) >= m_scene.m_models.size())
                Fail("no model #" + Shown(which.substr(1)) + " (the scene has " + std::to_string(m_scene.m_models.size()) +
                     " models)");
            return i;
        }
        const int i = m_scene.FindModel(Utf8ToCp932(which));
        if (i == kNoModel) Fail("no model is named \"" + Shown(which) + "\"");
        return i;
    }

    void Warn(const DocResult& r)
    {
        for (const std::string& w : r.warnings) m_result.warnings.push_back(w);
        if (!r.missingTextures.empty()) m_result.warnings.push_back(r.missingTextures);
    }

    void Frame(bool selectedOnly)
    {
        const CKinoDoc::FrameResult r = m_doc.OnFrameView(selectedOnly, 1.0f);
        if (r == CKinoDoc::FrameResult::Nothing) Fail("there is no model with a vertex to frame");
        if (r == CKinoDoc::FrameResult::TooDeep) m_result.warnings.push_back(msg::kTooDeepToFrame);
    }

    CVector Vector(const std::vector<std::string>& a)
    {
        return {Float(a[0], "X"), Float(a[1], "Y"), Float(a[2], "Z")};
    }

    void Register();

public:
    void SetTextureFolders(const std::vector<std::string>& folders) { m_doc.m_textureFolders = folders; }

private:

    ScriptResult& m_result;
    std::string m_baseDir;
    CKinovela m_scene;
    CTimeline m_timeline;
    CKinoDoc m_doc;
    HeadlessTree m_tree;
    HeadlessControls m_controls;
    ExportOptionsTable m_exportOptions;
    std::map<std::string, Command> m_commands;
};

void Interpreter::Register()
{
    CKinoDoc& doc = m_doc;
    CKinovela& scene = m_scene;
    CTimeline& t = m_timeline;

    Add("new", 0, 0, "", [&](auto&) { doc.OnNewDocument(); });
    Add("open", 1, 1, "PATH", [&, this](auto& a) {
        const std::string ext = PathExtension(a[0]);
        if (ext != "kvl" && ext != "mqo") Fail("open reads .kvl and .mqo files");
        const DocResult r = doc.OnOpenDocument(Path(a[0]));
        Warn(r);
        if (!r.ok || !r.message.empty()) Fail(r.message);
    });
    Add("add-model", 1, 1, "PATH", [&, this](auto& a) {
        const DocResult r = doc.AddModels(Path(a[0]));
        Warn(r);
        if (!r.ok) Fail(r.message);
    });
    Add("save", 0, 1, "[PATH]", [&, this](auto& a) {
        if (a.empty() && doc.PathName().empty()) Fail("the document has no file yet: save PATH");
        SaveTo(a.empty() ? doc.PathName() : Path(a[0]));
    });
    Add("select", 1, 1, "NAME|#INDEX|none", [&, this](auto& a) {
        if (a[0] == "none") {
            doc.ClickTreeItem(kNoModel);
            return;
        }
        const int i = FindModel(a[0]);
        // A hidden model is chosen as its tree item's right click chooses it.
        if (scene.m_models[static_cast<std::size_t>(i)].m_visible == 1)
            doc.ClickTreeItem(i);
        else
            doc.RightClickTreeItem(i);
    });
    Add("frame", 1, 1, "N", [&, this](auto& a) {
        m_controls.m_currentFrameField = Int(a[0], "the frame");
        doc.OnCurrentFrameEditLeft();
    });
    Add("last-frame", 1, 1, "N", [&, this](auto& a) {
        const int v = Int(a[0], "the last frame");
        if (v < 0 || v > kMaxLastFrame) Fail("the last frame must lie in 0.." + std::to_string(kMaxLastFrame));
        m_controls.m_lastFrameField = v;
        doc.OnLastFrameEditLeft();
    });
    Add("fps", 1, 1, "N", [&, this](auto& a) {
        Float(a[0], "the frame rate");
        m_controls.m_fpsField = a[0];
        doc.OnFpsChanged();
    });
    Add("mode", 1, 1, "move|rotate|scale", [&](auto& a) {
        if (a[0] == "move")
            doc.OnModeMove();
        else if (a[0] == "rotate")
            doc.OnModeRotate();
        else if (a[0] == "scale")
            doc.OnModeScale();
        else
            Fail("usage: mode move|rotate|scale");
    });
    Add("target", 1, 1, "camera|model", [&](auto& a) {
        if (a[0] == "camera")
            doc.OnMouseCamera();
        else if (a[0] == "model")
            doc.OnMouseModel();
        else
            Fail("usage: target camera|model");
    });
    Add("set", 3, 3, "X Y Z", [&, this](auto& a) {
        m_controls.m_vectorField = Vector(a);
        doc.OnVectorEditLeft();
    });
    Add("nudge", 3, 3, "X Y Z", [&, this](auto& a) {
        const CVector d = Vector(a);
        // A sum past the float range would store infinity in the pose (a
        // pose damaged already is the user's to mend, so it may be moved).
        const CVector now = doc.m_mouseTarget == 0          ? scene.m_camera[0].m_position
                            : doc.m_transformMode == 0 ? scene.GetPosition(t)
                            : doc.m_transformMode == 1 ? scene.GetRotation(t)
                                                       : scene.GetScale(t);
        const CVector sum = now + d;
        if (Finite(now) && !Finite(sum)) Fail("the nudge would take the values past the largest number");
        // A press records the pose; the drag then adds to it.
        const std::size_t mark = scene.m_undo.Size();
        scene.PushUndoForSelection(t);
        if (doc.m_mouseTarget == 0) {
            // With the camera as the mouse's target a drag moves the camera:
            // a view change, not an edit.
            scene.m_camera[0].m_position += d;
            return;
        }
        if (doc.m_transformMode == 0)
            scene.AddPosition(t, d);
        else if (doc.m_transformMode == 1)
            scene.AddRotation(t, d);
        else
            scene.AddScale(t, d);
        doc.SetModified();
        // With auto-key on, the drag's end keys the pose.
        if (scene.HasSelection()) doc.FinishPoseEdit(mark);
    });
    Add("auto-key", 1, 1, "on|off", [&](auto& a) {
        if (a[0] != "on" && a[0] != "off") Fail("usage: auto-key on|off");
        if (doc.m_autoKey != (a[0] == "on")) doc.OnAutoKey();
    });
    // A script has no window: the camera frames for a square view, which
    // shows the same in any view at least as wide as it is tall.
    Add("frame-all", 0, 0, "", [&, this](auto&) { Frame(false); });
    Add("frame-selected", 0, 0, "", [&, this](auto&) {
        Selected();
        Frame(true);
    });
    Add("key", 1, 3, "add|delete [all] [FRAME]", [&, this](auto& a) {
        const bool add = a[0] == "add";
        if (!add && a[0] != "delete") Fail("usage: key add|delete [all] [FRAME]");
        std::size_t k = 1;
        const bool all = k < a.size() && a[k] == "all";
        if (all) ++k;
        if (a.size() > k + 1) Fail("usage: key add|delete [all] [FRAME]");
        Selected();
        if (k < a.size())
            doc.OnKeyFrameDialog(Int(a[k], "the frame"), (add ? 0 : 2) + (all ? 1 : 0));
        else if (add)
            doc.OnAddKey(all);
        else
            doc.OnDeleteKey(all);
    });
    Add("insert-frames", 2, 2, "AFTER COUNT", [&](auto& a) {
        const std::string m = doc.OnInsertFrames(Int(a[0], "AFTER"), Int(a[1], "COUNT"));
        if (!m.empty()) Fail(m);
    });
    Add("delete-frames", 2, 2, "FIRST LAST", [&](auto& a) {
        const std::string m = doc.OnDeleteFrames(Int(a[0], "FIRST"), Int(a[1], "LAST"));
        if (!m.empty()) Fail(m);
    });
    Add("next", 0, 0, "", [&](auto&) { doc.OnNextFrame(); });
    Add("prev", 0, 0, "", [&](auto&) { doc.OnPrevFrame(); });
    Add("first", 0, 0, "", [&](auto&) { doc.OnFirstFrame(); });
    Add("last", 0, 0, "", [&](auto&) { doc.OnLastFrame(); });
    Add("next-key", 0, 0, "", [&](auto&) { doc.OnNextKey(); });
    Add("prev-key", 0, 0, "", [&](auto&) { doc.OnPrevKey(); });
    Add("play", 0, 0, "", [&](auto&) {
        // There is no clock in a script: play the range once, frame by
        // frame as the playback timer does, and stop where it started.
        const int start = t.m_current;
        doc.OnPlay();
        for (int f = 0; f <= t.m_last; ++f)
            if (t.Step(1) > t.m_last) t.m_current = 0;
        t.m_current = start;
        doc.OnStop();
    });
    Add("undo", 0, 0, "", [&](auto&) {
        if (!doc.GetState(ID_EDIT_UNDO).enabled) Fail("nothing to undo");
        doc.OnEditUndo();
    });
    Add("redo", 0, 0, "", [&](auto&) {
        if (!doc.GetState(ID_EDIT_REDO).enabled) Fail("nothing to redo");
        doc.OnEditRedo();
    });
    Add("copy-animation", 0, 0, "", [&](auto&) {
        const std::string m = doc.OnCopyAnimation();
        if (!m.empty()) Fail(m);
    });
    Add("paste-animation", 0, 0, "", [&](auto&) {
        const std::string m = doc.OnPasteAnimation();
        if (!m.empty()) Fail(m);
    });
    Add("rename", 1, 1, "NEW", [&, this](auto& a) {
        Selected();
        if (a[0].empty()) Fail("a model needs a name");
        std::string name;
        if (!Utf8ToCp932Strict(a[0], name)) Fail("the name is not UTF-8 text that Shift_JIS can hold: " + Shown(a[0]));
        doc.RenameSelected(name);
    });
    Add("parent", 1, 1, "NAME|#INDEX|root", [&, this](auto& a) {
        Selected();
        const int target = a[0] == "root" ? kNoModel : FindModel(a[0]);
        if (!doc.Reparent(scene.m_selected, target, false))
            Fail("a model cannot go under itself or one of its descendants");
    });
    Add("hide", 0, 0, "", [&, this](auto&) {
        if (Selected().m_visible == 1) doc.ToggleVisibility(scene.m_selected);
    });
    Add("show", 0, 0, "", [&, this](auto&) {
        if (Selected().m_visible != 1) doc.ToggleVisibility(scene.m_selected);
    });
    Add("delete-model", 0, 0, "", [&, this](auto&) {
        Selected();
        doc.DeleteSelectedModel();
    });
    Add("smooth", 1, 1, "on|off", [&](auto& a) {
        if (a[0] != "on" && a[0] != "off") Fail("usage: smooth on|off");
        if ((scene.m_smooth == 1) != (a[0] == "on")) doc.OnSmooth();
    });
    Add("camera-reset", 0, 0, "", [&](auto&) { doc.OnCameraReset(); });
    Add("background", 3, 3, "R G B", [&](auto& a) {
        std::uint32_t c = 0;
        for (int i = 0; i < 3; ++i) {
            const int v = Int(a[static_cast<std::size_t>(i)], "a colour component");
            if (v < 0 || v > 255) Fail("colour components lie in 0..255");
            c |= static_cast<std::uint32_t>(v) << (8 * i);
        }
        doc.OnBackground(c);
    });
    Add("export", 1, 40, "PATH [options]", [&, this](auto& a) {
        const std::string path = Path(a[0]);
        const ExportFormat* format = FindExportFormat(PathExtension(path));
        ExportOptions* record = format ? m_exportOptions.Find(format->extension) : nullptr;
        if (!record) Fail("export cannot write " + Shown(a[0]) + ": the extension names no export format");
        ExportOptions options = *record;
        bool safeNames = false;
        const std::string problem =
            ApplyExportArgs(std::vector<std::string>(a.begin() + 1, a.end()), options, safeNames, PathExtension(path));
        if (!problem.empty()) Fail(problem);
        CheckFolder(path);
        // The options are kept for the next export of the format, as the
        // options dialog keeps them.
        *record = options;
        ScriptResult::Export e{format, path, options, {}, std::make_shared<CKinovela>(scene.CopyWithoutHistory()), t};
        e.context.safeNames = safeNames;
        e.context.textureFirstFolders = doc.m_textureFolders;
        if (!doc.PathName().empty()) e.context.textureFolders.push_back(FolderOf(doc.PathName()));
        e.context.textureFolders.push_back(m_baseDir.empty() ? "." : m_baseDir);
        m_result.exports.push_back(std::move(e));
        doc.SetModified(true);
    });
    Add("print", 0, 2, "[--json] [--frames]", [&, this](auto& a) {
        InfoOptions opt;
        for (const std::string& w : a) {
            if (w == "--json")
                opt.json = true;
            else if (w == "--frames")
                opt.frames = true;
            else
                Fail("usage: print [--json] [--frames]");
        }
        LoadOutcome lo;
        lo.ok = true;
        lo.format = PathExtension(doc.PathName()) == "kvl" ? "kvl" : "";
        lo.versionText = doc.m_versionText.empty() ? kNativeVersionText : doc.m_versionText;
        m_result.output += FormatInfo(doc.PathName().empty() ? doc.Title() : doc.PathName(), lo, scene, t, opt);
    });
}

}  // namespace

ScriptResult RunScript(const std::string& text, const std::string& name, const std::string& outPath,
                       const std::string& baseDir, const std::vector<std::string>& textureFolders)
{
    ScriptResult result;
    Interpreter interp(result, baseDir);
    interp.SetTextureFolders(textureFolders);
    std::size_t lineNo = 0, pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        try {
            std::string_view rest(line);
            if (lineNo == 1 && rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);  // a UTF-8 mark
            const std::size_t first = rest.find_first_not_of(" \t\r");
            if (first == std::string_view::npos || rest[first] == '#') continue;
            interp.Run(Words(std::string(rest)));
        } catch (const LineError& e) {
            result.ok = false;
            // The reason may quote the line (a name, a path, a command) with
            // whatever bytes it holds; only our own messages have line feeds.
            result.error = name + ":" + std::to_string(lineNo) + ": " + EscapeControlCharacters(e.reason, true);
            result.output.clear();
            result.files.clear();
            result.exports.clear();
            return result;
        }
    }
    if (!outPath.empty()) {
        try {
            interp.SaveTo(outPath);
        } catch (const LineError& e) {
            result.error = name + ": --out: " + EscapeControlCharacters(e.reason, true);
            result.files.clear();
            result.exports.clear();
            return result;
        }
    }
    result.ok = true;
    return result;
}

namespace {

void PrintError(const std::string& raw)
{
    // Messages quote names and paths from the script and from the files it
    // reads; none may reach the terminal as a control character.
    const std::string text = EscapeControlCharacters(raw, true);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

}  // namespace

int RunScriptFile(const std::string& path, const std::string& outPath, const std::vector<std::string>& textureFolders)
{
    std::string text, error;
    if (!ReadWholeFile(path, text, error)) {
        PrintError("kinovela-cli: " + error);
        return 1;
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? "" : (slash == 0 ? "/" : path.substr(0, slash));
    const ScriptResult r = RunScript(text, path, outPath, base, textureFolders);
    for (const std::string& w : r.warnings) PrintError("kinovela-cli: warning: " + w);
    if (!r.ok) {
        PrintError(r.error);
        return 1;
    }
    // All files or none: every file is written beside its target first and
    // only then are they all put in place.
    std::vector<std::unique_ptr<PendingFile>> pending;
    for (const auto& [file, bytes] : r.files) {
        pending.push_back(std::make_unique<PendingFile>());
        const std::string_view data = bytes;
        const WriteResult w =
            pending.back()->Prepare(file, [data](ByteSink& sink) { sink.Write(data.data(), data.size()); }, data.size());
        if (!w.ok) {
            PrintError(path + ": " + w.error);
            return 1;
        }
    }
    // Exports write several files each; they run once every save has been
    // prepared, and the saves are put in place only when all exports worked.
    for (const ScriptResult::Export& e : r.exports) {
        CTimeline timeline = e.timeline;
        const ExportResult x = RunExport(*e.format, *e.scene, timeline, e.path, e.options, e.context);
        for (const std::string& w : x.warnings) PrintError("kinovela-cli: warning: " + w);
        if (!x.ok) {
            PrintError(path + ": " + x.MessageOr(e.format->failureMessage) + " " + x.error);
            return 1;
        }
    }
    for (auto& p : pending) {
        const WriteResult w = p->Commit();
        if (!w.ok) {
            PrintError(path + ": " + w.error);
            return 1;
        }
    }
    if (std::fwrite(r.output.data(), 1, r.output.size(), stdout) != r.output.size() || std::fflush(stdout) != 0)
        return 1;
    return 0;
}

}  // namespace kinovela::cli
