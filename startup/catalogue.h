// The picture catalogue: the sorted list of picture files of one folder and the order
// the show walks it in, plus the small path helpers the settings and the dialog use.
#pragma once

#include "startup/file_system.h"
#include "startup/random.h"
#include "startup/settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Search patterns of the picture kinds, in scan order, and the ImageKinds index of each.
inline constexpr std::array<std::string_view, 11> PicturePatterns{
    "*.bmp", "*.gif", "*.jpg", "*.wmf", "*.png", "*.tif", "*.tiff", "*.webp", "*.heic", "*.heif", "*.avif"};
inline constexpr std::array<std::size_t, PicturePatterns.size()> PatternKind{0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 4};

// Rebuilds ImageList and ImageCount from the folder and the kinds whose flag is exactly 1.
void BuildImageList(const std::string& folder, const ImageKindFlags& kinds, FileSystem& fs,
                    Catalogue& catalogue);

// A catalogue left to build: what BuildImageList is given. The show builds it off the
// window's thread, since one listing of a large folder on slow storage can take a minute.
struct CatalogueScan {
    std::string folder; // empty: no pictures
    ImageKindFlags kinds{};
};

// BuildImageList now, or, when `later` is given, an empty catalogue and the scan kept there.
void BuildImageList(const std::string& folder, const ImageKindFlags& kinds, FileSystem& fs,
                    Catalogue& catalogue, CatalogueScan* later);

// The catalogue the scan finds (sorted; no show order yet).
Catalogue BuildImageList(const CatalogueScan& scan, FileSystem& fs);

// Appends the files matching one pattern (a folder, a separator and a wildcard name):
// every entry that is not a folder, not hidden and not a system file. BuildImageList takes
// all kinds from one listing of the folder instead.
void AddFiles(const std::string& pattern, FileSystem& fs, Catalogue& catalogue);

// Sorts entries 1..ImageCount ordinally by UTF-16 code unit (case-sensitive, a prefix first).
void SortImageList(Catalogue& catalogue);

// Fills ShowOrder(1..ImageCount): 1, 2, 3... when imageOrder is 0, else a uniform shuffle.
void MakeShowOrder(std::int16_t imageOrder, Random& random, Catalogue& catalogue);

bool FolderExists(FileSystem& fs, const std::string& path);
bool FileExists(FileSystem& fs, const std::string& path);

// Whether a search result is a file the catalogue takes: anything but a folder, a hidden
// or a system file (read-only and archive files alike, whatever their other bits).
inline bool IsCatalogueFile(const FoundFile& found)
{
    return !found.name.empty() && (found.attributes & AttrNotPlainFile) == 0;
}

// Trailing blanks removed and the separator appended when missing.
std::string AddSeparator(std::string_view path, char separator);

// The path up to its last separator (or, with "\" paths, drive colon), without a
// trailing separator: "C:\Pics\*.bmp" -> "C:\Pics", "C:\*.bmp" -> "C:".
std::string DirPart(std::string_view path, char separator);

// The ordering of SortImageList on UTF-8 text: a < b by UTF-16 code units.
bool utf16Less(std::string_view a, std::string_view b);

// Bytes whose plain (memcmp) order is utf16Less's order of the texts, and equal only for
// equal texts; the same bytes for text below U+D800, so most keys are the text itself.
std::string utf16SortKey(std::string_view text);

} // namespace velmora
