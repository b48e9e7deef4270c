// libFuzzer target: the tokenizer and the Metasequoia importer.
//
//   CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja \
//       -DKINOVELA_FUZZ=ON -DKINOVELA_SANITIZE=address,undefined
//   cmake --build build/fuzz --target fuzz_mqo
//   mkdir -p /tmp/mqo-corpus
//   build/fuzz/fuzz/fuzz_mqo /tmp/mqo-corpus fuzz/corpus/mqo -max_total_time=300
//
// Whatever the importer makes of the input must survive the native file:
// writing the scene and reading it back gives the same bytes again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mqo/LoaderMQO.h"
#include "scene/NativeFile.h"

using namespace kinovela;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);

    // The tokenizer alone, with and without Shift_JIS pairs (the second
    // is how a "CodePage utf8" document is read).
    StringSeparator split;
    for (bool pairs : {true, false}) {
        split.SetShiftJisPairs(pairs);
        const int n = split.Split(text);
        for (int i = 0; i < n; ++i) {
            (void)split.TokenAsDouble(i);
            (void)split.TokenAsInt(i);
        }
    }

    if (size == 0) return 0;
    std::FILE* f = ::fmemopen(text.data(), text.size(), "rb");
    if (!f) return 0;
    CKinovela scene;
    CTimeline t;
    t.m_last = 5;  // small frame lists keep the runs fast
    LoadMQOStream(scene, t, f, kNoModel, "fuzz.mqo");
    std::fclose(f);

    scene.RecomputeAll(t);
    const std::string saved = SerializeNativeFile(scene, t);
    CKinovela back;
    CTimeline bt;
    if (!ReadNativeData(saved, "fuzz.kvl", back, bt).ok) std::abort();
    if (SerializeNativeFile(back, bt) != saved) std::abort();
    return 0;
}
