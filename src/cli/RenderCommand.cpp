#include "cli/RenderCommand.h"

#include <charconv>
#include <cstdio>

#include "cli/SceneFiles.h"
#include "cli/Terminal.h"
#include "image/PngWriter.h"
#include "render/soft/Direct3DRenderer.h"

namespace kinovela::cli {

namespace {

// The whole text as a number, nothing before or after it.
bool ParseInt(std::string_view text, int& value)
{
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

constexpr int kMaxSide = 16384;

}  // namespace

std::string ParseRenderArgs(const std::vector<std::string>& args, RenderOptions& o)
{
    std::vector<std::string> files;
    bool frameGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--frame") {
            if (frameGiven) return "give --frame or --frames once";
            if (!value(v) || !ParseInt(v, o.first) || o.first < 0) return "--frame needs a frame number";
            o.last = o.first;
            frameGiven = true;
        } else if (a == "--frames") {
            if (frameGiven) return "give --frame or --frames once";
            const std::size_t dash = value(v) ? v.find('-', 1) : std::string::npos;
            if (dash == std::string::npos || !ParseInt(std::string_view(v).substr(0, dash), o.first) ||
                !ParseInt(std::string_view(v).substr(dash + 1), o.last) || o.first < 0 || o.last < o.first)
                return "--frames needs a range FIRST-LAST of frame numbers, FIRST not above LAST";
            o.range = true;
            frameGiven = true;
        } else if (a == "--size") {
            const std::size_t x = value(v) ? v.find_first_of("xX") : std::string::npos;
            if (x == std::string::npos || !ParseInt(std::string_view(v).substr(0, x), o.width) ||
                !ParseInt(std::string_view(v).substr(x + 1), o.height) || o.width < 1 || o.height < 1 ||
                o.width > kMaxSide || o.height > kMaxSide)
                return "--size needs WIDTHxHEIGHT, each 1 to " + std::to_string(kMaxSide) + " pixels";
        } else if (a == "--camera-reset") {
            o.cameraReset = true;
        } else if (a == "--threads") {
            if (!value(v) || !ParseInt(v, o.threads) || o.threads < 1 || o.threads > 64)
                return "--threads needs a number from 1 to 64";
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option for render: " + a;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) return "render needs a scene and a picture file";
    o.scene = files[0];
    o.out = files[1];
    if (!HasExtension(o.out, ".png")) return "render writes PNG pictures: the picture file must end in .png";
    return {};
}

std::string FramePictureName(const std::string& out, int index)
{
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", index);
    return out.substr(0, out.size() - 4) + number + out.substr(out.size() - 4);
}

int RunRender(const RenderOptions& o)
{
    CKinovela scene;
    CTimeline timeline;
    LoadOutcome lo;
    {
        TerminalProgress progress("Reading", o.scene);
        lo = LoadSceneFile(o.scene, scene, timeline, progress.Callback(), o.textureFolders);
    }
    for (const std::string& w : lo.warnings) std::fprintf(stderr, "kinovela-cli: warning: %s\n", w.c_str());
    if (!lo.ok) {
        std::fprintf(stderr, "kinovela-cli: %s\n", lo.error.c_str());
        return 1;
    }
    if (o.last > timeline.m_last) {
        std::fprintf(stderr, "kinovela-cli: %s has frames 0 to %d; frame %d is not one of them\n", o.scene.c_str(),
                     timeline.m_last, o.last);
        return 2;
    }
    if (o.cameraReset) scene.ResetCamera();
    // A picture of the scene, not of a session: no selection box.
    scene.m_selected = kNoModel;

    Direct3DRenderer renderer(scene, timeline);
    renderer.SetMessageHandler([](const std::string& text) { std::fprintf(stderr, "kinovela-cli: %s\n", text.c_str()); });
    renderer.SetThreadCount(o.threads);
    if (renderer.InitDirect3D() != 0) return 1;
    renderer.ResizeDirect3D(o.width, o.height);
    const soft::Surface* picture = renderer.Picture();
    if (!picture || picture->width != o.width || picture->height != o.height) return 1;
    renderer.RebuildModelBuffers();

    const int frames = o.last - o.first + 1;
    TerminalProgress progress("Rendering", o.out, 2);
    for (int i = 0; i < frames; ++i) {
        timeline.m_current = o.first + i;
        renderer.DrawDirect3D();
        const soft::Surface& s = *renderer.Picture();
        const std::string path = o.range ? FramePictureName(o.out, i) : o.out;
        const WriteResult w = WritePng(path, s.width, s.height, s.pixels.data());
        if (!w.ok) {
            std::fprintf(stderr, "kinovela-cli: %s\n", w.error.c_str());
            return 1;
        }
        if (progress.Callback()) progress.Callback()(static_cast<std::uint64_t>(i + 1), static_cast<std::uint64_t>(frames));
    }
    return 0;
}

}  // namespace kinovela::cli
