// libFuzzer target: the PPM and PGM reader (P2, P3, P5, P6).
//
//   CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja \
//       -DKINOVELA_FUZZ=ON -DKINOVELA_SANITIZE=address,undefined
//   cmake --build build/fuzz --target fuzz_ppm
//   mkdir -p /tmp/ppm-corpus
//   build/fuzz/fuzz/fuzz_ppm /tmp/ppm-corpus fuzz/corpus/ppm -max_len=4096 -rss_limit_mb=3000
//
// A picture that reads must hold the rows its header describes, and survive
// the copies and conversions a texture goes through. Some inputs cancel the
// decode from the progress callback (see fuzzimage::Progress).
#include "FuzzImage.h"

#include "image/Decoders.h"

using namespace kinovela;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzzimage::Run(data, size, [](std::FILE* f, DibStream& img, ImageProgress p, void* v) { return LoadPPM(f, img, p, v); });
}
