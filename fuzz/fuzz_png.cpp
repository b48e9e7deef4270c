// libFuzzer target: the PNG reader (libpng behind LoadPNG).
//
//   CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja \
//       -DKINOVELA_FUZZ=ON -DKINOVELA_SANITIZE=address,undefined
//   cmake --build build/fuzz --target fuzz_png
//   mkdir -p /tmp/png-corpus
//   build/fuzz/fuzz/fuzz_png /tmp/png-corpus fuzz/corpus/png -max_len=16384 -rss_limit_mb=3000
//
// A picture that reads must hold the rows its header describes, and survive
// the copies and conversions a texture goes through. Some inputs cancel the
// decode from the progress callback (see fuzzimage::Progress).
//
// libpng refuses a chunk whose CRC does not match, which is what nearly
// every mutation makes of a chunk; so the CRCs are put right before the
// bytes are read, unless bit 3 of the last byte is set.
#include <vector>

#include "FuzzImage.h"

#include "image/Decoders.h"

using namespace kinovela;

namespace {

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// Rewrites the CRC of every chunk that is whole, after the 8-byte signature.
void FixChunkCrcs(std::vector<std::uint8_t>& b)
{
    std::size_t at = 8;
    while (at + 12 <= b.size()) {
        const std::size_t length = std::size_t{b[at]} << 24 | std::size_t{b[at + 1]} << 16 |
                                   std::size_t{b[at + 2]} << 8 | b[at + 3];
        if (length > b.size() - at - 12) break;
        const std::uint32_t crc = Crc32(b.data() + at + 4, length + 4);
        for (int i = 0; i < 4; ++i) b[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += length + 12;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* raw, std::size_t size)
{
    std::vector<std::uint8_t> bytes(raw, raw + size);
    if (size != 0 && (raw[size - 1] & 0x08) == 0) FixChunkCrcs(bytes);
    return fuzzimage::Run(
        bytes.data(), size,
        [](std::FILE* f, DibStream& img, ImageProgress p, void* v) { return LoadPNGFile(f, img, p, v); }, true);
}
