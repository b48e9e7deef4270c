// libFuzzer target: the native scene file reader.
//
//   CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja \
//       -DKINOVELA_FUZZ=ON -DKINOVELA_SANITIZE=address,undefined
//   cmake --build build/fuzz --target fuzz_kvl
//   mkdir -p /tmp/kvl-corpus
//   build/fuzz/fuzz/fuzz_kvl /tmp/kvl-corpus fuzz/corpus/kvl -max_total_time=300
//
// A file that reads must write back to bytes that read to the same scene,
// and the edits a user can make next must not fault on it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "scene/Hierarchy.h"
#include "scene/NativeFile.h"

using namespace kinovela;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CKinovela scene;
    CTimeline t;
    if (!ReadNativeData(bytes, "fuzz.kvl", scene, t).ok) return 0;
    // Keep the runs fast: the reader accepts a million frames per model.
    if (t.m_last > 2000) return 0;

    const std::string saved = SerializeNativeFile(scene, t);
    CKinovela back;
    CTimeline bt;
    if (!ReadNativeData(saved, "fuzz.kvl", back, bt).ok) std::abort();
    if (SerializeNativeFile(back, bt) != saved) std::abort();

    scene.RecomputeAll(t);
    scene.ResolveParents();
    scene.RebuildHierarchyWalk();
    if (!scene.m_models.empty()) {
        scene.m_selected = 0;
        t.m_current = t.m_last;
        scene.AddKeyFrame(t, true, 0);
        scene.NextKeyFrame(t);
        scene.PrevKeyFrame(t);
        scene.InsertFrames(t, 0, 2);
        scene.DeleteFrames(t, 1, 1);
        scene.SetLastFrame(t, t.m_last / 2);
        scene.m_selected = static_cast<int>(scene.m_models.size() - 1);
        scene.DeleteModel(t);
    }
    return 0;
}
