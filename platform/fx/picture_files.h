// Reading and writing whole picture files for velmora-fx, in the engine's pixel layout.
#pragma once

#include "filters/picture.h"
#include "show/picture_loader.h"

#include <filesystem>
#include <string>

namespace velmora::fx {

// A UTF-8 path as the file system's own path type, so that names outside the ANSI code page
// work on Windows too.
inline std::filesystem::path utf8Path(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// The picture in `path` (a regular file only) as 32-bit top-down pixels. The show's kinds come
// through the platform's picture decoders (alpha on black, reserved byte 255); other kinds
// through stb (the file's alpha, if any, in the reserved byte).
Result<LoadedPicture> readPicture(const std::string& path);

// What a file name's extension asks for: ".png" or ".bmp" in any case, else None.
enum class OutputKind { None, Bmp, Png };
OutputKind outputKindOf(const std::string& path);

// Writes `picture` to `path` as PNG or as an uncompressed 32-bit BMP (bottom-up, the reserved
// byte kept).
Result<void> writePicture(const std::string& path, const Picture& picture, OutputKind kind);

} // namespace velmora::fx
