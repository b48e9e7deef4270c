// libFuzzer target: the BMP reader, every depth allowed.
//
//   CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja \
//       -DKINOVELA_FUZZ=ON -DKINOVELA_SANITIZE=address,undefined
//   cmake --build build/fuzz --target fuzz_bmp
//   mkdir -p /tmp/bmp-corpus
//   build/fuzz/fuzz/fuzz_bmp /tmp/bmp-corpus fuzz/corpus/bmp -max_len=4096 -rss_limit_mb=3000
//
// A picture that reads must hold the rows its header describes, and survive
// the copies and conversions a texture goes through; a failed read leaves
// nothing behind.
#include "FuzzImage.h"

using namespace kinovela;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzzimage::Run(
        data, size, [](std::FILE* f, DibStream& img, ImageProgress, void*) { return img.LoadBMP(f, 63); }, true);
}
