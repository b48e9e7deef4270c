// The cost of the undo history on a long scene: 200 models of 10,001 frames
// with a key every 100 frames. Each benchmark does one edit of all models
// and undoes it, so the scene is the same on every iteration; the counter
// "poses held" is what the edit's record keeps (its memory follows it).
#include <benchmark/benchmark.h>

#include "document/History.h"
#include "scene/Kinovela.h"

using namespace kinovela;

namespace {

struct LongScene {
    CKinovela scene;
    CTimeline t;
    LongScene()
    {
        t.m_last = t.m_prevLast = 10000;
        for (int i = 0; i < 200; ++i) {
            CModel m;
            m.m_name = "m" + std::to_string(i);
            m.ResizeFrames(t.m_last, 0);
            for (int f = 100; f <= t.m_last; f += 100) {
                m.m_frames[static_cast<std::size_t>(f)].m_key = 1;
                m.m_frames[static_cast<std::size_t>(f)].m_position = {static_cast<float>(f), 0, 0};
            }
            m.RecomputeFrames(t.m_last);
            scene.m_models.push_back(std::move(m));
        }
        scene.m_selected = 0;
    }
};

LongScene& Scene()
{
    static LongScene s;
    return s;
}

// Runs `edit` and undoes it on every iteration; reports what the record
// kept.
template <class Edit> void EditAndUndo(benchmark::State& state, Edit edit)
{
    LongScene& s = Scene();
    for (auto _ : state) {
        edit(s);
        state.counters["poses held"] =
            static_cast<double>(s.scene.m_undo.At(s.scene.m_undo.Size() - 1).record->HeldPoses());
        Undo(s.scene, s.t);
    }
}

void KeyAllModelsAndUndo(benchmark::State& state)
{
    EditAndUndo(state, [](LongScene& s) {
        s.t.m_current = 5050;
        s.scene.AddKeyFrame(s.t, true, 5050);
    });
}
BENCHMARK(KeyAllModelsAndUndo)->Unit(benchmark::kMillisecond);

void InsertFramesAndUndo(benchmark::State& state)
{
    EditAndUndo(state, [](LongScene& s) { s.scene.InsertFrames(s.t, 5050, 20); });
}
BENCHMARK(InsertFramesAndUndo)->Unit(benchmark::kMillisecond);

void DeleteFramesAndUndo(benchmark::State& state)
{
    EditAndUndo(state, [](LongScene& s) { s.scene.DeleteFrames(s.t, 5010, 5029); });
}
BENCHMARK(DeleteFramesAndUndo)->Unit(benchmark::kMillisecond);

void DeleteModelAndUndo(benchmark::State& state)
{
    EditAndUndo(state, [](LongScene& s) {
        s.scene.m_selected = 100;
        s.scene.DeleteModel(s.t);
    });
}
BENCHMARK(DeleteModelAndUndo)->Unit(benchmark::kMillisecond);

}  // namespace
