// Speed of the scene core (wall-clock time for everything that touches files): Metasequoia import, native save and load, and
// keyframe interpolation. Run through bench/run.sh, which builds in Release,
// makes the input files and compares whole-process times with assimp.
//
//   KINOVELA_BENCH_DATA=bench/data build/bench/bench/kinovela_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/AtomicFile.h"
#include "export/GltfWriter.h"
#include "export/XWriter.h"
#include "image/Textures.h"
#include "mqo/LoaderMQO.h"
#include "scene/NativeFile.h"

using namespace kinovela;

namespace {

std::string DataFile(const char* name)
{
    const char* dir = std::getenv("KINOVELA_BENCH_DATA");
    return (std::filesystem::path(dir ? dir : "bench/data") / name).string();
}

std::uint64_t FileSize(const std::string& path)
{
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

// Bytes of the scene as held in memory: what the mesh and frame lists use.
std::size_t SceneBytes(const CKinovela& s)
{
    std::size_t n = 0;
    for (const CModel& m : s.m_models) {
        n += m.m_vertices.capacity() * sizeof(CVertex) + m.m_faces.capacity() * sizeof(CFace) +
             m.m_frames.capacity() * sizeof(CAnimation) + m.m_vertexFaceStart.capacity() * sizeof(std::uint32_t) +
             m.m_vertexFaces.capacity() * sizeof(int);
    }
    return n;
}

void BM_ImportMqo(benchmark::State& state)
{
    const std::string path = DataFile("quads.mqo");
    const std::uint64_t size = FileSize(path);
    if (size == 0) {
        state.SkipWithError("run bench/make_bench_data.py first (or set KINOVELA_BENCH_DATA)");
        return;
    }
    std::size_t sceneBytes = 0;
    for (auto _ : state) {
        CKinovela scene;
        CTimeline t;
        const MqoImportResult r = LoadMQO(scene, t, path, kNoModel);
        if (!r.ok) state.SkipWithError(r.message.c_str());
        sceneBytes = SceneBytes(scene);
        benchmark::DoNotOptimize(scene.m_models.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["scene_MB"] = static_cast<double>(sceneBytes) / 1e6;
}
BENCHMARK(BM_ImportMqo)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

struct KvlFixture {
    CKinovela scene;
    CTimeline t;
    std::string bytes;
    bool ok = false;
    KvlFixture()
    {
        ok = LoadMQO(scene, t, DataFile("quads.mqo"), kNoModel).ok;
        bytes = SerializeNativeFile(scene, t);
    }
};

KvlFixture& Kvl()
{
    static KvlFixture f;
    return f;
}

void BM_SaveKvl(benchmark::State& state)
{
    KvlFixture& f = Kvl();
    if (!f.ok) {
        state.SkipWithError("no input scene");
        return;
    }
    const std::string path = (std::filesystem::temp_directory_path() / "kinovela-bench.kvl").string();
    for (auto _ : state) {
        const WriteResult w = WriteNativeFile(path, f.scene, f.t);
        if (!w.ok) state.SkipWithError(w.error.c_str());
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes.size()));
}
BENCHMARK(BM_SaveKvl)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_LoadKvl(benchmark::State& state)
{
    KvlFixture& f = Kvl();
    if (!f.ok) {
        state.SkipWithError("no input scene");
        return;
    }
    const std::string path = (std::filesystem::temp_directory_path() / "kinovela-bench-load.kvl").string();
    WriteNativeFile(path, f.scene, f.t);
    for (auto _ : state) {
        CKinovela scene;
        CTimeline t;
        const NativeReadResult r = ReadNativeFile(path, scene, t);
        if (!r.ok) state.SkipWithError(r.detail.c_str());
        benchmark::DoNotOptimize(scene.m_models.data());
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes.size()));
}
BENCHMARK(BM_LoadKvl)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// The bench scene with a 61-frame animation (a key at frame 60 turns the
// sheet), for the writers; null after telling the benchmark it has none.
KvlFixture* AnimatedScene(benchmark::State& state)
{
    KvlFixture& f = Kvl();
    if (!f.ok) {
        state.SkipWithError("no input scene");
        return nullptr;
    }
    f.scene.m_selected = 0;
    f.t.m_current = 60;
    f.scene.SetRotation(f.t, {10, 90, 0});
    f.scene.AddKeyFrame(f.t, false, 60);
    return &f;
}

// Bytes written per second (the file's size each iteration), then the file
// goes.
void ReportFile(benchmark::State& state, const std::string& path)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(path)));
    state.counters["file_MB"] = static_cast<double>(FileSize(path)) / 1e6;
    std::filesystem::remove(path);
}

// The bench scene as DirectX text in matrix mode; once with the shared %f
// formatting, once through snprintf, same writer.
void WriteX(benchmark::State& state, bool viaSnprintf)
{
    KvlFixture* f = AnimatedScene(state);
    if (!f) return;
    XOptions o;
    o.keyType = 1;
    o.textureCoords = true;
    o.snprintfNumbers = viaSnprintf;
    const std::string path = (std::filesystem::temp_directory_path() / "kinovela-bench.x").string();
    for (auto _ : state) {
        const ExportResult r = WriteXFile(f->scene, f->t, path, o);
        if (!r.ok) state.SkipWithError(r.error.c_str());
    }
    ReportFile(state, path);
}

void BM_WriteXMatrix(benchmark::State& state) { WriteX(state, false); }
void BM_WriteXMatrixSnprintf(benchmark::State& state) { WriteX(state, true); }
BENCHMARK(BM_WriteXMatrix)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_WriteXMatrixSnprintf)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// The same scene as .glb with the sheet's picture inside: its MB of file
// per second stand beside the .x writer's.
void BM_WriteGlb(benchmark::State& state)
{
    KvlFixture* f = AnimatedScene(state);
    if (!f) return;
    TextureSearch search;
    search.documentFolders.push_back(std::filesystem::path(DataFile("quads.mqo")).parent_path().string());
    LoadSceneTextures(f->scene, search);
    const GltfOptions o;
    const std::string path = (std::filesystem::temp_directory_path() / "kinovela-bench.glb").string();
    for (auto _ : state) {
        const ExportResult r = WriteGltfFile(f->scene, f->t, path, o);
        if (!r.ok) state.SkipWithError(r.error.c_str());
    }
    ReportFile(state, path);
}
BENCHMARK(BM_WriteGlb)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// 200 models x 5,000 frames with a key every 40 frames: one million poses
// per recompute, nearly all of them interpolated.
void BM_RecomputeFrames(benchmark::State& state)
{
    CKinovela scene;
    CTimeline t;
    t.m_last = 4999;
    for (int i = 0; i < 200; ++i) {
        CModel m;
        m.ResizeFrames(t.m_last, 0);
        for (int f = 0; f <= t.m_last; f += 40) {
            CAnimation& a = m.m_frames[static_cast<std::size_t>(f)];
            a.m_key = 1;
            a.m_position = {static_cast<float>(f), static_cast<float>(i), 0.5f * static_cast<float>(f)};
            a.m_rotation = {static_cast<float>(f % 360), 10.0f, -static_cast<float>(f % 90)};
            a.m_scale = {1.0f + static_cast<float>(f % 7) * 0.1f, 1.0f, 1.0f};
        }
        scene.m_models.push_back(std::move(m));
    }
    for (auto _ : state) {
        scene.RecomputeAll(t);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 200 * 5000));
}
BENCHMARK(BM_RecomputeFrames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
