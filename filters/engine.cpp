// The dispatcher: moves a picture through Pix_Work / Pix_Orgn and runs one filter type.
#include "filters/engine.h"

#include "filters/filter_table.h"

#include <cstring>

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

FilterResult Fil_Run(FilterEngine& engine, int filType, PictureView picture, std::int32_t param)
{
    if (engine.Fil_Busy) {
        return {FilterStatus::Busy, "busy"};
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
        return FilterResult::done();
    }

    engine.Pix_Work.resize(picture.width, picture.height);
    engine.Pix_Orgn.resize(picture.width, picture.height);
    std::memcpy(engine.Pix_Work.data(), picture.bytes, picture.byteCount());
    std::memcpy(engine.Pix_Orgn.data(), picture.bytes, picture.byteCount());

    const FilterResult result = entry->proc(engine);
    if (result.status != FilterStatus::Done) {
        return result; // the picture keeps its old pixels
    }
    std::memcpy(picture.bytes, engine.Pix_Work.data(), picture.byteCount());
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
