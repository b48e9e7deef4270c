// Texture file readers. Each fills a DibStream and returns false for a file
// it cannot read, without a message; none trusts the file's sizes. Every
// reader also takes an open stream, which is how the fuzz targets feed it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "image/DibStream.h"

namespace kinovela {

// Told the fraction of rows done; returning false aborts the decode.
using ImageProgress = bool (*)(float fraction, void* value);

bool LoadPPM(const std::string& path, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadPGM(const std::string& path, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadTGA(const std::string& path, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadIFF(const std::string& path, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadPNGFile(const std::string& path, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadJPGFile(const std::string& path, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);

bool LoadPPM(std::FILE* file, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadTGA(std::FILE* file, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadIFF(std::FILE* file, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadPNGFile(std::FILE* file, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);
bool LoadJPGFile(std::FILE* file, DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);

// The text after the last '.' of the last path component ('\' and '/' both
// end a component); empty when there is none.
std::string FileExtension(const std::string& path);
// Chooses the reader by extension (bmp, ppm, pgm, tga, png, jpg, iff, in
// any ASCII case); any other extension reads nothing and fails.
bool LoadImageFile(const std::string& path, DibStream& image);

// Opens a file for a reader: regular files only (a FIFO or a device would
// block or never end), in binary mode. Null when it cannot be opened.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
FilePtr OpenImageFile(const std::string& path);

// The bytes from the current position to the end of the stream.
long RemainingBytes(std::FILE* file);

}  // namespace kinovela
