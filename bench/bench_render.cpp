// Frame cost of the two previews on the 500,000-quad sheet (bench/data,
// made by make_bench_data.py) at 1280 x 720: the Direct3D preview on the
// software device with one and with two threads, and the OpenGL preview on
// whatever GL the display offers (llvmpipe under xvfb-run), in one run so
// that they share the machine's load. Run with
// --benchmark_enable_random_interleaving=true (bench/run.sh does) so that
// the repetitions of the three alternate.
//
//   KINOVELA_BENCH_DATA=bench/data xvfb-run -a build/bench/bench/kinovela_render_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <ctime>

#include "image/Textures.h"
#include "mqo/LoaderMQO.h"
#include "render/soft/Direct3DRenderer.h"

#ifdef KINOVELA_BENCH_GL
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include "render/gl/GlRenderer.h"
#endif

using namespace kinovela;

namespace {

constexpr int kWidth = 1280, kHeight = 720;

struct Sheet {
    CKinovela scene;
    CTimeline timeline;
    std::string error;

    Sheet()
    {
        const char* dir = std::getenv("KINOVELA_BENCH_DATA");
        const std::string folder = dir ? dir : "bench/data";
        const std::string path = (std::filesystem::path(folder) / "quads.mqo").string();
        const MqoImportResult r = LoadMQO(scene, timeline, path, kNoModel);
        if (!r.ok) {
            error = "cannot read " + path + " (run bench/make_bench_data.py or set KINOVELA_BENCH_DATA)";
            return;
        }
        TextureSearch search;
        search.documentFolders.push_back(folder);
        if (const TextureReport r = LoadSceneTextures(scene, search); !r.Empty()) error = MissingTexturesMessage(r);
    }
};

// CPU time of the whole process, every thread of it: the work a frame costs
// whatever else the machine is doing.
double ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

Sheet& TheSheet()
{
    static Sheet sheet;
    return sheet;
}

void BM_SoftwareFrame(benchmark::State& state)
{
    Sheet& s = TheSheet();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    Direct3DRenderer renderer(s.scene, s.timeline);
    renderer.SetThreadCount(static_cast<int>(state.range(0)));
    if (renderer.InitDirect3D() != 0) {
        state.SkipWithError("no device");
        return;
    }
    renderer.ResizeDirect3D(kWidth, kHeight);
    renderer.RebuildModelBuffers();
    const double cpu0 = ProcessCpuMs();
    for (auto _ : state) {
        s.timeline.m_current = (s.timeline.m_current + 1) % (s.timeline.m_last + 1);
        renderer.DrawDirect3D();
        benchmark::DoNotOptimize(renderer.Picture()->pixels.data());
    }
    state.counters["threads"] = static_cast<double>(renderer.Device()->ThreadCount());
    state.counters["cpu_ms_all_threads"] =
        (ProcessCpuMs() - cpu0) / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}
BENCHMARK(BM_SoftwareFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

#ifdef KINOVELA_BENCH_GL
void BM_OpenGLFrame(benchmark::State& state)
{
    Sheet& s = TheSheet();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    QSurfaceFormat format;
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QOpenGLContext context;
    context.setFormat(format);
    QOffscreenSurface surface;
    if (!context.create()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface)) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    {
        // The picture size of the view, whatever the surface's own size.
        QOpenGLFramebufferObject target(kWidth, kHeight, QOpenGLFramebufferObject::Depth);
        target.bind();
        GlRenderer renderer(s.scene, s.timeline);
        renderer.Initialize();
        renderer.Resize(kWidth, kHeight);
        glFinish();
        const double cpu0 = ProcessCpuMs();
        for (auto _ : state) {
            s.timeline.m_current = (s.timeline.m_current + 1) % (s.timeline.m_last + 1);
            renderer.Draw();
            glFinish();
        }
        state.counters["cpu_ms_all_threads"] =
            (ProcessCpuMs() - cpu0) / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
        state.SetLabel(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        renderer.Release();
    }
    context.doneCurrent();
}
BENCHMARK(BM_OpenGLFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
#endif

}  // namespace

int main(int argc, char** argv)
{
#ifdef KINOVELA_BENCH_GL
    QGuiApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
