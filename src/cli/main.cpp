// kinovela-cli: the scene tools without a window.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/ExportArgs.h"
#include "cli/InfoCommand.h"
#include "cli/RenderCommand.h"
#include "cli/SceneFiles.h"
#include "cli/Script.h"
#include "cli/Terminal.h"
#include "common/TextCodec.h"
#include "common/Paths.h"
#include "document/ExportDispatch.h"
#include "scene/NativeFile.h"

namespace {

using namespace kinovela;

std::vector<std::string> g_textureFolders;

constexpr const char* kUsage =
    "Usage:\n"
    "  kinovela-cli info [--json] [--frames] FILE...\n"
    "      Summarise .mqo and .kvl files: frame range, camera, models,\n"
    "      materials and the hierarchy. --json prints one JSON object per\n"
    "      file and line; --frames adds every stored pose.\n"
    "  kinovela-cli convert IN OUT.kvl\n"
    "      Read a .mqo or .kvl file and save it as a Kinovela scene.\n"
    "  kinovela-cli export IN OUT [options]\n"
    "      Export a .mqo or .kvl scene; OUT's extension picks the format:\n"
    "      .x (DirectX), .k3d (Kino3D package), .wrl (VRML97), .w3d (Shockwave 3D,\n"
    "      through the libShockwave3D.so converter), .mx (Hot Soup Processor),\n"
    "      .mqs (RayTrans Library), .h (C header), .gltf or .glb (glTF 2.0; its\n"
    "      scale is 0.01 by default, so that millimetres become metres).\n"
    "%s"
    "  kinovela-cli render SCENE OUT.png [--frame N | --frames A-B] [--size WxH]\n"
    "                      [--camera-reset] [--threads N]\n"
    "      Draw frames of a .mqo or .kvl scene as the editor's DirectX view does\n"
    "      (frame 0 and 640x480 unless told); a range writes OUT-0000.png,\n"
    "      OUT-0001.png, ... for its frames in order.\n"
    "  kinovela-cli run SCRIPT [--out FILE.kvl]\n"
    "      Run a command script (see the README); --out saves the final scene.\n"
    "  kinovela-cli --help | --version\n"
    "\n"
    "Any command also takes --texture-dir DIR (repeatable): a folder searched for\n"
    "texture images before the program's TEXTURE folder, the scene's folder and\n"
    "the scene's TEXTURE folder. The folders of KINOVELA_TEXTURE_PATH (separated\n"
    "by ':') are searched after those given with --texture-dir.\n"
    "\n"
    ".mqo files are Metasequoia text documents, \"Format Text Ver 1.0\" or \"1.1\"\n"
    "(Metasequoia 4), with names in code page 932 or, after \"CodePage utf8\", UTF-8.\n"
    "\n"
    "Exit status: 0 success, 1 a file could not be read or written, 2 usage error.\n";

void PrintUsage(std::FILE* f) { std::fprintf(f, kUsage, cli::kExportOptionsHelp); }

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "kinovela-cli: %s\n\n", problem.c_str());
    PrintUsage(stderr);
    return 2;
}

// Reads the scene a command works on, with progress, printing its warnings
// and, on failure, why.
bool ReadScene(const std::string& in, CKinovela& scene, CTimeline& timeline)
{
    cli::LoadOutcome lo;
    {
        cli::TerminalProgress progress("Reading", in);
        lo = cli::LoadSceneFile(in, scene, timeline, progress.Callback(), g_textureFolders);
    }
    for (const std::string& w : lo.warnings)
        std::fprintf(stderr, "kinovela-cli: warning: %s\n", EscapeControlCharacters(w, true).c_str());
    if (!lo.ok) std::fprintf(stderr, "kinovela-cli: %s\n", lo.error.c_str());
    return lo.ok;
}

int Export(const std::vector<std::string>& args)
{
    if (args.size() < 2) return Usage("export needs an input file and an output file");
    const std::string& in = args[0];
    const std::string& out = args[1];
    const ExportFormat* format = FindExportFormat(PathExtension(out));
    ExportOptionsTable table;
    ExportOptions* record = format ? table.Find(format->extension) : nullptr;
    if (!record) return Usage("export cannot write " + out + ": the extension names no export format");
    ExportOptions options = *record;
    bool safeNames = false;
    const std::string problem =
        cli::ApplyExportArgs(std::vector<std::string>(args.begin() + 2, args.end()), options, safeNames, PathExtension(out));
    if (!problem.empty()) return Usage(problem);

    CKinovela scene;
    CTimeline timeline;
    if (!ReadScene(in, scene, timeline)) return 1;
    ExportContext context;
    context.textureFirstFolders = g_textureFolders;
    context.safeNames = safeNames;
    context.textureFolders.push_back(FolderOf(in).empty() ? "." : FolderOf(in));
    const ExportResult r = RunExport(*format, scene, timeline, out, options, context);
    for (const std::string& w : r.warnings) std::fprintf(stderr, "kinovela-cli: warning: %s\n", w.c_str());
    if (!r.ok) {
        std::fprintf(stderr, "kinovela-cli: %s\n%s\n", r.MessageOr(format->failureMessage), r.error.c_str());
        return 1;
    }
    return 0;
}

int Info(const std::vector<std::string>& args)
{
    cli::InfoOptions opt;
    opt.textureFolders = g_textureFolders;
    std::vector<std::string> files;
    bool optionsDone = false;
    for (const std::string& a : args) {
        if (!optionsDone && a == "--json")
            opt.json = true;
        else if (!optionsDone && a == "--frames")
            opt.frames = true;
        else if (!optionsDone && a == "--")
            optionsDone = true;
        else if (!optionsDone && a.size() > 1 && a[0] == '-')
            return Usage("unknown option for info: " + a);
        else
            files.push_back(a);
    }
    if (files.empty()) return Usage("info needs at least one file");
    return cli::RunInfo(files, opt);
}

int Convert(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-') return Usage("unknown option for convert: " + a);
        files.push_back(a);
    }
    if (files.size() != 2) return Usage("convert needs an input file and an output file");
    const std::string& in = files[0];
    const std::string& out = files[1];
    if (!cli::HasExtension(out, ".kvl")) return Usage("convert writes Kinovela scenes: the output must end in .kvl");

    CKinovela scene;
    CTimeline timeline;
    if (!ReadScene(in, scene, timeline)) return 1;
    WriteResult w;
    {
        cli::TerminalProgress progress("Writing", out);
        w = WriteNativeFile(out, scene, timeline, progress.Callback());
    }
    if (!w.ok) {
        std::fprintf(stderr, "kinovela-cli: %s\n", w.error.c_str());
        return 1;
    }
    return 0;
}

int Render(const std::vector<std::string>& args)
{
    cli::RenderOptions options;
    const std::string problem = cli::ParseRenderArgs(args, options);
    if (!problem.empty()) return Usage(problem);
    options.textureFolders = g_textureFolders;
    return cli::RunRender(options);
}

int RunCommand(const std::vector<std::string>& args)
{
    std::string script, out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out") {
            if (i + 1 >= args.size()) return Usage("--out needs a file name");
            out = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage("unknown option for run: " + args[i]);
        } else if (script.empty()) {
            script = args[i];
        } else {
            return Usage("run takes one script");
        }
    }
    if (script.empty()) return Usage("run needs a script");
    if (!out.empty() && !cli::HasExtension(out, ".kvl")) return Usage("--out writes Kinovela scenes: the file must end in .kvl");
    return cli::RunScriptFile(script, out, g_textureFolders);
}

int Run(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {  // the rest are operands
            args.insert(args.end(), argv + i, argv + argc);
            break;
        }
        if (a == "--texture-dir") {
            if (i + 1 >= argc) return Usage("--texture-dir needs a folder");
            g_textureFolders.push_back(argv[++i]);
        } else if (a.rfind("--texture-dir=", 0) == 0) {
            g_textureFolders.push_back(a.substr(14));
        } else {
            args.push_back(a);
        }
    }
    if (const char* path = std::getenv("KINOVELA_TEXTURE_PATH"))
        for (std::string& folder : SplitFolderList(path)) g_textureFolders.push_back(std::move(folder));
    if (args.empty()) return Usage("no command given");
    const std::string cmd = args[0];
    args.erase(args.begin());
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        PrintUsage(stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (cmd == "--version") {
        std::printf("Kinovela %d.%d\n", KINOVELA_VERSION_MAJOR, KINOVELA_VERSION_MINOR);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (cmd == "info") return Info(args);
    if (cmd == "convert") return Convert(args);
    if (cmd == "run") return RunCommand(args);
    if (cmd == "export") return Export(args);
    if (cmd == "render") return Render(args);
    return Usage("unknown command: " + cmd);
}

}  // namespace

int main(int argc, char** argv)
{
    // A closed pipe must end the program with a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("kinovela-cli: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kinovela-cli: %s\n", e.what());
    }
    return 1;
}
