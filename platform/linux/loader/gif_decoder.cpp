// GIF through giflib, first frame only: later frames are never read, so an animation costs
// what its first picture costs. Transparent and uncovered pixels are black, as the show's
// background is. Rows are reduced to the shown size as they are decoded, as for bitmaps.
#include "platform/linux/loader/decoders.h"
#include "show/drawing.h"
#include "show/picture_formats.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace velmora::decode {
namespace {

int readInput(GifFileType* gif, GifByteType* buffer, int length)
{
    return int(static_cast<MemoryInput*>(gif->UserData)->read(buffer, std::size_t(length < 0 ? 0 : length)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

Result<GifFile> openGif(MemoryInput& input)
{
    int error = 0;
    GifFile gif(DGifOpen(&input, readInput, &error));
    if (!gif) {
        const char* text = GifErrorString(error);
        return Reason{std::string("GIF: ") + (text != nullptr ? text : "cannot open")};
    }
    return gif;
}

// The logical screen, or the first frame's box when the screen is given as 0 x 0.
PictureSize canvasSize(const GifFileType& gif, const GifImageDesc* frame)
{
    if (gif.SWidth > 0 && gif.SHeight > 0) {
        return {gif.SWidth, gif.SHeight};
    }
    return frame != nullptr ? PictureSize{frame->Width, frame->Height} : PictureSize{};
}

} // namespace

Result<LoadedPicture> decodeGif(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    const loading::Deadline deadline(request.timeLimitMs);
    MemoryInput input{data, size};
    Result<GifFile> opened = openGif(input);
    if (!opened.ok()) {
        return opened.reason();
    }
    GifFile gif = std::move(opened.value());
    if (gif->SWidth > 0 && gif->SHeight > 0) {
        if (Result<void> fits = loading::checkPictureSize(gif->SWidth, gif->SHeight); !fits.ok()) {
            return fits.reason();
        }
    }
    int transparent = -1;
    for (;;) {
        if (deadline.passed()) {
            return Reason{"GIF took too long to decode"};
        }
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
            return Reason{"GIF ends before its first picture"};
        }
        if (type == TERMINATE_RECORD_TYPE) {
            return Reason{"GIF holds no picture"};
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
                return Reason{"GIF extension is broken"};
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                transparent = (block[1] & 1) != 0 ? block[4] : -1;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                    return Reason{"GIF extension is broken"};
                }
            }
            continue;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        return Reason{"GIF record not understood"};
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        return Reason{"GIF picture header is broken"};
    }
    const GifImageDesc& frame = gif->Image;
    if (Result<void> fits = loading::checkPictureSize(frame.Width, frame.Height); !fits.ok()) {
        return fits.reason();
    }
    const PictureSize canvas = canvasSize(*gif, &frame);
    const ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (colours == nullptr || colours->Colors == nullptr) {
        return Reason{"GIF has no colour table"};
    }

    LoadedPicture result;
    result.ownSize = canvas;
    // Each row is sampled into the picture as it arrives, at the size the show places it at
    // (the whole canvas when there is no smaller box): output row y and column x take the
    // canvas pixel under their centre, as the show's stretched copy would. The canvas itself is
    // never held.
    const PictureSize out = loading::sampledSize(canvas, request);
    struct Column {
        std::size_t at;     // byte offset of the output pixel in its row
        std::size_t source; // the pixel of the frame's line it takes
    };
    std::vector<Column> columns;
    for (int x = 0; x < out.width; ++x) {
        const int fx = show::stretchSample(x, out.width, canvas.width) - frame.Left;
        if (fx >= 0 && fx < frame.Width) {
            columns.push_back({4 * std::size_t(x), std::size_t(fx)});
        }
    }
    // The output row each of the frame's rows gives (-1: none). Out is no taller than the
    // canvas, so no canvas row gives two.
    std::vector<int> outputRow(std::size_t(frame.Height), -1);
    for (int y = 0; y < out.height; ++y) {
        const int fy = show::stretchSample(y, out.height, canvas.height) - frame.Top;
        if (fy >= 0 && fy < frame.Height) {
            outputRow[std::size_t(fy)] = y;
        }
    }
    // Each colour index as the pixel's bytes; transparent and undefined indexes stay black,
    // as the show's background is.
    std::array<std::array<std::uint8_t, 4>, 256> colourOf{};
    for (int index = 0; index < 256 && index < colours->ColorCount; ++index) {
        if (index != transparent) {
            const GifColorType& c = colours->Colors[index];
            colourOf[std::size_t(index)] = {c.Blue, c.Green, c.Red, 0};
        }
    }
    std::vector<GifPixelType> line(std::size_t(frame.Width));
    // Interlaced rows arrive in four passes: every 8th from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1.
    static constexpr int kPassStart[4] = {0, 4, 2, 1};
    static constexpr int kPassStep[4] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    int rowsRead = 0;
    bool broken = false;
    for (int pass = 0; pass < passes && !broken; ++pass) {
        const int start = frame.Interlace ? kPassStart[pass] : 0;
        const int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int row = start; row < frame.Height; row += step) {
            if (deadline.passed()) {
                return Reason{"GIF took too long to decode"};
            }
            if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) {
                broken = true; // cut short: keep the rows that decoded
                break;
            }
            if (rowsRead++ == 0) {
                // Only now that pixel data decodes: a broken file never costs its claimed size.
                result.picture.resize(out.width, out.height);
            }
            const int y = outputRow[std::size_t(row)];
            if (y < 0) {
                continue;
            }
            std::uint8_t* dst = result.picture.data() + std::size_t(out.width) * 4 * std::size_t(y);
            for (const Column& c : columns) {
                std::memcpy(dst + c.at, colourOf[line[c.source]].data(), 4);
            }
        }
    }
    if (rowsRead == 0) {
        return Reason{"GIF picture data is broken"};
    }
    return result;
}

Result<PictureSize> gifSize(const std::uint8_t* data, std::size_t size)
{
    MemoryInput input{data, size};
    Result<GifFile> opened = openGif(input);
    if (!opened.ok()) {
        return opened.reason();
    }
    const GifFile gif = std::move(opened.value());
    PictureSize canvas = canvasSize(*gif, nullptr);
    if (canvas.width == 0) {
        // No screen size: the first frame's box tells.
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        while (DGifGetRecordType(gif.get(), &type) != GIF_ERROR && type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
                break;
            }
            while (block != nullptr && DGifGetExtensionNext(gif.get(), &block) != GIF_ERROR) {
            }
        }
        if (type == IMAGE_DESC_RECORD_TYPE && DGifGetImageDesc(gif.get()) != GIF_ERROR) {
            canvas = canvasSize(*gif, &gif->Image);
        }
    }
    return checkedSize(canvas.width, canvas.height);
}

} // namespace velmora::decode
