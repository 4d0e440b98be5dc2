// The dispatcher: moves a picture through Pix_Work / Pix_Orgn and runs one filter type.
#include "filters/engine.h"

#include "filters/filter_table.h"

#include <cstring>
#include <new>

namespace velmora::filters {

namespace {

// Clears the busy flag and shrinks the arrays whichever way the run ends.
struct RunGuard {
    FilterEngine& engine;
    ~RunGuard()
    {
        engine.Pix_Work.release();
        engine.Pix_Orgn.release();
        engine.Fil_Busy = false;
    }
};

} // namespace

Result<void> Fil_Run(FilterEngine& engine, int filType, PictureView picture, std::int32_t param)
{
    if (engine.Fil_Busy) {
        return Reason{std::string(FilterBusy)};
    }
    assert(picture.width >= 0 && picture.height >= 0);
    assert(picture.bytes != nullptr || picture.byteCount() == 0);
    engine.Fil_Busy = true;
    RunGuard guard{engine};

    engine.W = picture.width;
    engine.H = picture.height;
    engine.param = param;
    const FilterType* entry = findFilterType(filType);
    if (picture.byteCount() == 0 || entry == nullptr || entry->proc == nullptr) {
        return {};
    }

    try {
        engine.Pix_Orgn.copyFrom(picture.bytes, picture.width, picture.height);
    } catch (const std::bad_alloc&) {
        return Reason{"out of memory"};
    }
    engine.Pix_Work.borrow(picture.bytes, picture.width, picture.height);

    Result<void> result;
    try {
        result = entry->proc(engine);
    } catch (const std::bad_alloc&) {
        // Some filters allocate small work buffers of their own.
        result = Reason{"out of memory"};
    }
    if (!result.ok()) {
        // A filter may stop part-way: put the picture's own pixels back.
        std::memcpy(picture.bytes, engine.Pix_Orgn.data(), picture.byteCount());
    }
    return result;
}

FilterEngine& sharedFilterEngine()
{
    static FilterEngine engine;
    return engine;
}

void Split_RGB(std::int32_t colour, std::int32_t& red, std::int32_t& green, std::int32_t& blue)
{
    red = colour % 256;
    green = (colour >> 8) & 0xFF;
    blue = (colour >> 16) & 0xFF;
}

} // namespace velmora::filters
