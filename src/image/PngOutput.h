// libpng write callbacks shared by the PNG writers: errors leave by
// longjmp, warnings are dropped, and the file grows in a std::string.
#pragma once

#include <new>
#include <string>

#include <png.h>

namespace kinovela::png_output {

[[noreturn]] inline void Error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
inline void Warning(png_structp, png_const_charp) {}

// A C++ exception must not unwind through libpng's C frames: running out
// of memory becomes a libpng error like any other.
inline void AppendToString(png_structp png, png_bytep data, png_size_t size)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    try {
        out->append(reinterpret_cast<const char*>(data), size);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}

inline void NoFlush(png_structp) {}

}  // namespace kinovela::png_output
