// A stand-in for the Shockwave 3D converter, built only for the tests. It
// checks that the scene description lies in the current folder, writes a
// marker file at the path it was given (or refuses when that path contains
// "refuse"), and appends the path to $KINOVELA_W3D_STUB_LOG when set.
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int SaveW3DFile(const char* path)
{
    if (const char* log = std::getenv("KINOVELA_W3D_STUB_LOG")) {
        if (std::FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "%s\n", path);
            std::fclose(f);
        }
    }
    std::FILE* sdf = std::fopen("Shockwave3D.sdf", "rb");
    if (!sdf) return 0;
    long size = 0;
    if (std::fseek(sdf, 0, SEEK_END) == 0) size = std::ftell(sdf);
    std::fclose(sdf);
    if (std::strstr(path, "refuse")) return 0;
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return 0;
    std::fprintf(out, "W3D stub: converted a %ld-byte description\n", size);
    return std::fclose(out) == 0 ? 1 : 0;
}
