// Metafile records held to their own layouts before they are played: a system renderer trusts
// counts, embedded bitmap headers and object indexes, and reads or writes past them when they lie.
#include "show/wmf_record_check.h"

#include "show/picture_formats.h"

#include <cstdlib>
#include <cstring>

namespace velmora::loading {

namespace {

// Word `index` of a record's parameters or an object's fields.
std::uint16_t word(const std::uint8_t* p, std::size_t index) { return readLe16(p + 2 * index); }

// Record functions, by the name the format gives them.
enum : std::uint16_t {
    META_SAVEDC = 0x001E,
    META_REALIZEPALETTE = 0x0035,
    META_SETPALENTRIES = 0x0037,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_RESTOREDC = 0x0127,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_RESIZEPALETTE = 0x0139,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETTEXTJUSTIFICATION = 0x020A,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228,
    META_SETMAPPERFLAGS = 0x0231,
    META_SELECTPALETTE = 0x0234,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_FLOODFILL = 0x0419,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_FRAMEREGION = 0x0429,
    META_ANIMATEPALETTE = 0x0436,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_EXTFLOODFILL = 0x0548,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_BITBLT = 0x0922,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_STRETCHBLT = 0x0B23,
    META_DIBSTRETCHBLT = 0x0B41,
    META_SETDIBTODEV = 0x0D33,
    META_STRETCHDIB = 0x0F43,
};

constexpr int kDibPaletteIndexes = 1; // colour table of 16-bit palette indexes, not colours

// The words a record of fixed layout carries after its function; -1 for variable layouts.
int fixedParameterWords(std::uint16_t function)
{
    switch (function) {
    case META_SAVEDC: case META_REALIZEPALETTE: return 0;
    case META_SETBKMODE: case META_SETMAPMODE: case META_SETROP2: case META_SETPOLYFILLMODE:
    case META_SETSTRETCHBLTMODE: case META_SETTEXTCHAREXTRA: case META_RESTOREDC: case META_INVERTREGION:
    case META_PAINTREGION: case META_SELECTCLIPREGION: case META_SELECTOBJECT: case META_SETTEXTALIGN:
    case META_RESIZEPALETTE: case META_DELETEOBJECT: case META_SELECTPALETTE: return 1;
    case META_SETBKCOLOR: case META_SETTEXTCOLOR: case META_SETTEXTJUSTIFICATION: case META_SETWINDOWORG:
    case META_SETWINDOWEXT: case META_SETVIEWPORTORG: case META_SETVIEWPORTEXT: case META_OFFSETWINDOWORG:
    case META_OFFSETVIEWPORTORG: case META_LINETO: case META_MOVETO: case META_OFFSETCLIPRGN:
    case META_FILLREGION: case META_SETMAPPERFLAGS: return 2;
    case META_SCALEWINDOWEXT: case META_SCALEVIEWPORTEXT: case META_EXCLUDECLIPRECT: case META_INTERSECTCLIPRECT:
    case META_ELLIPSE: case META_FLOODFILL: case META_RECTANGLE: case META_SETPIXEL: case META_FRAMEREGION:
    case META_CREATEBRUSHINDIRECT: return 4;
    case META_CREATEPENINDIRECT: case META_EXTFLOODFILL: return 5;
    case META_ROUNDRECT: case META_PATBLT: return 6;
    case META_ARC: case META_PIE: case META_CHORD: return 8;
    default: return -1;
    }
}

// A device-independent bitmap: header, masks and colour table inside `bytes`, its size within
// the limits and, when uncompressed, all `rows` rows of pixels there too (all rows when -1).
Result<void> checkDib(const std::uint8_t* p, std::size_t bytes, int colourUsage, long long rows = -1)
{
    if (bytes < 12) {
        return Reason{"metafile bitmap is cut short"};
    }
    const std::uint32_t headerSize = readLe32(p);
    long long width = 0;
    long long height = 0;
    int bits = 0;
    std::uint32_t compression = 0;
    std::uint64_t entries = 0;
    std::uint64_t tableBytes = 0;
    std::uint64_t used = headerSize;
    if (headerSize == 12) {
        width = word(p, 2);
        height = word(p, 3);
        bits = word(p, 5);
        entries = bits <= 8 ? std::uint64_t(1) << bits : 0;
        tableBytes = entries * (colourUsage == kDibPaletteIndexes ? 2 : 3);
    } else if (headerSize >= 40 && headerSize <= bytes) {
        width = std::int32_t(readLe32(p + 4));
        height = std::int32_t(readLe32(p + 8));
        bits = word(p, 7);
        compression = readLe32(p + 16);
        const std::uint32_t coloursUsed = readLe32(p + 32);
        entries = coloursUsed != 0 ? coloursUsed : bits <= 8 ? std::uint64_t(1) << bits : 0;
        tableBytes = entries * (colourUsage == kDibPaletteIndexes ? 2 : 4);
        if (headerSize == 40 && (compression == 3 || compression == 6)) {
            used += compression == 3 ? 12 : 16; // the masks follow the short header
        }
    } else {
        return Reason{"metafile bitmap header is not valid"};
    }
    if (width <= 0) {
        return Reason{"metafile bitmap has no width"};
    }
    height = std::llabs(height);
    if (Result<void> fits = checkPictureSize(width, height); !fits.ok()) {
        return Reason{"metafile bitmap: " + fits.reason().text};
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return Reason{"metafile bitmap bits per pixel not supported"};
    }
    if (compression != 0 && compression != 1 && compression != 2 && compression != 3 && compression != 6) {
        return Reason{"metafile bitmap compression not supported"};
    }
    used += tableBytes;
    if (used > bytes) {
        return Reason{"metafile bitmap colour table runs past its record"};
    }
    if (compression == 1 || compression == 2) {
        return {}; // run-length data decodes within the rows it may fill
    }
    const std::uint64_t stride = (std::uint64_t(width) * unsigned(bits) + 31) / 32 * 4;
    const std::uint64_t rowCount = rows >= 0 && rows < height ? std::uint64_t(rows) : std::uint64_t(height);
    if (stride * rowCount > bytes - used) {
        return Reason{"metafile bitmap pixels run past their record"};
    }
    return {};
}

// The old device-dependent bitmap of a few drawing records.
Result<void> checkBitmap16(const std::uint8_t* p, std::size_t bytes, std::size_t bitsAt)
{
    if (bytes < 10 || bitsAt > bytes) {
        return Reason{"metafile bitmap is cut short"};
    }
    const int width = std::int16_t(word(p, 1));
    const int height = std::int16_t(word(p, 2));
    const std::uint64_t widthBytes = word(p, 3);
    const int planes = p[8];
    const int bits = p[9];
    if (Result<void> fits = checkPictureSize(width, height); !fits.ok()) {
        return Reason{"metafile bitmap: " + fits.reason().text};
    }
    if (widthBytes * 8 < std::uint64_t(width) * unsigned(bits) ||
        widthBytes * std::uint64_t(height) * unsigned(planes) > bytes - bitsAt) {
        return Reason{"metafile bitmap pixels run past their record"};
    }
    return {};
}

Result<void> checkRegion(const std::uint8_t* p, std::size_t bytes)
{
    constexpr std::size_t kHeaderBytes = 22;
    if (bytes < kHeaderBytes) {
        return Reason{"metafile region is cut short"};
    }
    const std::size_t scans = word(p, 5);
    std::size_t at = kHeaderBytes;
    for (std::size_t i = 0; i < scans; ++i) {
        if (bytes - at < 8) {
            return Reason{"metafile region runs past its record"};
        }
        const std::size_t count = word(p + at, 0);
        if (count % 2 != 0 || 8 + 2 * count > bytes - at) {
            return Reason{"metafile region runs past its record"};
        }
        at += 8 + 2 * count;
    }
    return {};
}

Result<void> checkPaletteEntries(const std::uint8_t* p, std::size_t bytes)
{
    if (bytes < 4 || 4 + 4 * std::size_t(word(p, 1)) > bytes) {
        return Reason{"metafile palette runs past its record"};
    }
    return {};
}

Result<void> checkFont(const std::uint8_t* p, std::size_t bytes)
{
    constexpr std::size_t kFaceAt = 18;
    constexpr std::size_t kFaceBytes = 32;
    // The face name is read up to its end or 32 bytes, whichever comes first.
    if (bytes < kFaceAt + kFaceBytes &&
        (bytes <= kFaceAt || std::memchr(p + kFaceAt, 0, bytes - kFaceAt) == nullptr)) {
        return Reason{"metafile font runs past its record"};
    }
    return {};
}

} // namespace

Result<void> WmfRecordCheck::create(Kind kind)
{
    for (Kind& slot : slots_) {
        if (slot == Kind::Free) {
            slot = kind;
            return {};
        }
    }
    if (slots_.size() >= kMaxWmfObjects) {
        return Reason{"metafile keeps too many objects at once"};
    }
    slots_.push_back(kind);
    return {};
}

bool WmfRecordCheck::isLive(std::size_t index, Kind wanted) const
{
    return index < slots_.size() && slots_[index] != Kind::Free && (wanted == Kind::Free || slots_[index] == wanted);
}

Result<void> WmfRecordCheck::check(std::uint16_t function, const std::uint8_t* params, std::size_t paramBytes)
{
    const std::size_t words = paramBytes / 2;
    if (const int fixed = fixedParameterWords(function); fixed >= 0 && words < std::size_t(fixed)) {
        return Reason{"metafile record is shorter than its parameters"};
    }
    const auto at = [&](std::size_t i) { return std::size_t(word(params, i)); };
    // Made once: this runs for every record of every metafile.
    static const Result<void> playable;
    static const Reason dangling{"metafile uses an object it never created"};
    static const Reason shortRecord{"metafile record is shorter than its parameters"};
    static const Reason pointsOutside{"metafile points run past their record"};
    static const Reason textOutside{"metafile text runs past its record"};
    switch (function) {
    case META_SELECTOBJECT:
        // Any live object but a palette, which has its own record.
        return isLive(at(0), Kind::Free) && slots_[at(0)] != Kind::Palette ? playable : dangling;
    case META_DELETEOBJECT:
        if (!isLive(at(0), Kind::Free)) {
            return dangling;
        }
        slots_[at(0)] = Kind::Free;
        return {};
    case META_SELECTPALETTE: return isLive(at(0), Kind::Palette) ? playable : dangling;
    case META_SELECTCLIPREGION:
    case META_INVERTREGION:
    case META_PAINTREGION: return isLive(at(0), Kind::Region) ? playable : dangling;
    case META_FILLREGION:
    case META_FRAMEREGION:
        return isLive(at(0), Kind::Region) && isLive(at(1), Kind::Brush) ? playable : dangling;
    case META_CREATEPENINDIRECT: return create(Kind::Pen);
    case META_CREATEBRUSHINDIRECT: return create(Kind::Brush);
    case META_CREATEFONTINDIRECT: {
        Result<void> why = checkFont(params, paramBytes);
        return why.ok() ? create(Kind::Font) : why;
    }
    case META_CREATEPALETTE: {
        Result<void> why = checkPaletteEntries(params, paramBytes);
        return why.ok() ? create(Kind::Palette) : why;
    }
    case META_CREATEREGION: {
        Result<void> why = checkRegion(params, paramBytes);
        return why.ok() ? create(Kind::Region) : why;
    }
    case META_DIBCREATEPATTERNBRUSH: {
        Result<void> why = words < 2 ? shortRecord : checkDib(params + 4, paramBytes - 4, int(at(1)));
        return why.ok() ? create(Kind::Brush) : why;
    }
    case META_CREATEPATTERNBRUSH: {
        Result<void> why = checkBitmap16(params, paramBytes, 32);
        return why.ok() ? create(Kind::Brush) : why;
    }
    case META_SETPALENTRIES:
    case META_ANIMATEPALETTE: return checkPaletteEntries(params, paramBytes);
    case META_POLYGON:
    case META_POLYLINE:
        return words >= 1 && 1 + 2 * at(0) <= words ? playable : pointsOutside;
    case META_POLYPOLYGON: {
        if (words < 1 || 1 + at(0) > words) {
            return pointsOutside;
        }
        std::size_t points = 0;
        for (std::size_t i = 0; i < at(0); ++i) {
            points += at(1 + i);
        }
        return 1 + at(0) + 2 * points <= words ? playable : pointsOutside;
    }
    case META_TEXTOUT:
        return words >= 1 && 1 + (at(0) + 1) / 2 + 2 <= words ? playable : textOutside;
    case META_EXTTEXTOUT: {
        if (words < 4) {
            return shortRecord;
        }
        constexpr std::size_t kOpaqueOrClipped = 0x0006;
        const std::size_t rectBytes = (at(3) & kOpaqueOrClipped) != 0 ? 8 : 0;
        return 8 + rectBytes + at(2) <= paramBytes ? playable : textOutside;
    }
    // Bit transfers carry a bitmap unless their record is exactly the plain parameters.
    case META_BITBLT:
        return words == 9 ? playable : words < 8 ? shortRecord : checkBitmap16(params + 16, paramBytes - 16, 10);
    case META_STRETCHBLT:
        return words == 11 ? playable : words < 10 ? shortRecord : checkBitmap16(params + 20, paramBytes - 20, 10);
    case META_DIBBITBLT:
        return words == 9 ? playable : words < 8 ? shortRecord : checkDib(params + 16, paramBytes - 16, 0);
    case META_DIBSTRETCHBLT:
        return words == 11 ? playable : words < 10 ? shortRecord : checkDib(params + 20, paramBytes - 20, 0);
    case META_STRETCHDIB:
        return words < 11 ? shortRecord : checkDib(params + 22, paramBytes - 22, int(at(2)));
    case META_SETDIBTODEV:
        return words < 9 ? shortRecord
                         : checkDib(params + 18, paramBytes - 18, int(at(0)), (long long)(at(1)));
    default: return {};
    }
}

} // namespace velmora::loading
