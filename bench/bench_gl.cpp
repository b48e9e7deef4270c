// Frame cost of the OpenGL preview for a fixed number of models as their
// meshes grow. A frame replays display lists, so the work the program does
// per frame must not grow with the face count. The immediate variant sends
// every vertex each frame instead, for comparison.
//
// Needs a display: bench/run.sh runs it under xvfb-run.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "mqo/LoaderMQO.h"
#include "render/gl/GlRenderer.h"

using namespace kinovela;

namespace {

constexpr int kModels = 8;

// kModels flat grids of side × side quads, side by side, facing the camera.
std::string GridDocument(int side)
{
    std::string s = "Metasequoia Document\nFormat Text Ver 1.0\n";
    s += "Material 1 {\n\t\"m\" col(0.8 0.6 0.4 1.0) dif(0.8) amb(0.6) emi(0) spc(0) power(5)\n}\n";
    char line[128];
    const float cell = 100.0f / static_cast<float>(side);
    for (int m = 0; m < kModels; ++m) {
        s += "Object \"grid" + std::to_string(m) + "\" {\n\tvertex " + std::to_string((side + 1) * (side + 1)) +
             " {\n";
        const float x0 = -450.0f + 110.0f * static_cast<float>(m);
        for (int r = 0; r <= side; ++r)
            for (int c = 0; c <= side; ++c) {
                std::snprintf(line, sizeof line, "\t\t%.4f %.4f 0\n", x0 + cell * static_cast<float>(c),
                              -50.0f + cell * static_cast<float>(r));
                s += line;
            }
        s += "\t}\n\tface " + std::to_string(side * side) + " {\n";
        for (int r = 0; r < side; ++r)
            for (int c = 0; c < side; ++c) {
                const int a = r * (side + 1) + c;
                std::snprintf(line, sizeof line, "\t\t4 V(%d %d %d %d) M(0)\n", a, a + side + 1, a + side + 2, a + 1);
                s += line;
            }
        s += "\t}\n}\n";
    }
    return s;
}

struct GlFixture {
    QOpenGLContext context;
    QOffscreenSurface surface;
    CKinovela scene;
    CTimeline timeline;
    std::unique_ptr<GlRenderer> renderer;

    bool Open(int side)
    {
        QSurfaceFormat format;
        format.setVersion(2, 1);
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        context.setFormat(format);
        if (!context.create()) return false;
        surface.setFormat(context.format());
        surface.create();
        if (!context.makeCurrent(&surface)) return false;
        std::string text = GridDocument(side);
        std::FILE* f = ::fmemopen(text.data(), text.size(), "rb");
        if (!f) return false;
        const MqoImportResult r = LoadMQOStream(scene, timeline, f, kNoModel, "grid.mqo");
        std::fclose(f);
        if (!r.ok) return false;
        scene.RecomputeAll(timeline);
        scene.m_selected = 0;
        renderer = std::make_unique<GlRenderer>(scene, timeline);
        renderer->Initialize();
        renderer->Resize(640, 480);
        return true;
    }
    ~GlFixture()
    {
        if (renderer) renderer->Release();
        context.doneCurrent();
    }
};

// What walking the meshes every frame would cost instead: the same faces
// sent one vertex at a time.
void DrawImmediate(const CKinovela& scene)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const CModel& m : scene.m_models) {
        glBegin(GL_QUADS);
        for (const CFace& f : m.m_faces)
            for (int i : f.Indices()) {
                const CVertex& v = m.m_vertices[static_cast<std::size_t>(i)];
                glNormal3f(-v.m_normal.m_x, -v.m_normal.m_y, -v.m_normal.m_z);
                glVertex3f(v.m_pos.m_x, v.m_pos.m_y, v.m_pos.m_z);
            }
        glEnd();
    }
}

// side 25: 5,000 faces in all; side 250: 500,000.
template <bool kImmediate> void BM_Frame(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    GlFixture gl;
    if (!gl.Open(side)) {
        state.SkipWithError("no OpenGL context or scene");
        return;
    }
    glFinish();
    for (auto _ : state) {
        // A tick of the playback timer: a new frame number and a redraw,
        // finished so that no frame's work spills into the next one's.
        gl.timeline.m_current = (gl.timeline.m_current + 1) % (gl.timeline.m_last + 1);
        if (kImmediate)
            DrawImmediate(gl.scene);
        else
            gl.renderer->Draw();
        glFinish();
    }
    state.counters["faces"] = static_cast<double>(kModels) * side * side;
}

// Run with the driver's drawing switched off (GALLIUM_NOOP=1, as bench/run.sh
// does first), a frame costs the program's own work plus the GL front end's,
// which must not grow with the faces. With llvmpipe it includes the vertex
// and pixel work that a graphics card would do.
BENCHMARK_TEMPLATE(BM_Frame, false)->Arg(25)->Arg(250)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_TEMPLATE(BM_Frame, true)->Arg(25)->Arg(250)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
