// Every filter type of the table through Fil_Run (source copy included), on one show tile
// (240 x 180), a 1920 x 1080 and a 3840 x 2160 picture, each with the show's own param. Each
// benchmark times a memcpy of the same bytes in the same loop, warm and cold: the counters
// x_memcpy_warm and x_memcpy_cold are the ratios. Times are processor time of the process, not
// wall time: the machines that run this are shared, and wall time there mostly measures the
// neighbours.
#include "bench/support/yardstick.h"
#include "filters/engine.h"
#include "filters/filter_table.h"
#include "show/effect_table.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

using namespace velmora;
using namespace velmora::filters;

namespace {

// A photo-like picture: gradients, a few hard edges and a little noise.
Picture samplePicture(int w, int h)
{
    Picture p(w, h);
    Random random(42);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int edge = (x / 97 + y / 61) % 2 ? 60 : 0;
            p.setPixel(x, y, std::uint8_t((x * 255 / w + edge + random.below(12)) & 0xFF),
                       std::uint8_t((y * 255 / h + random.below(12)) & 0xFF),
                       std::uint8_t(((x + y) * 200 / (w + h) + edge + random.below(12)) & 0xFF), 0);
        }
    return p;
}

// The param the show uses for the type (its first row in the effect table).
std::int32_t showParam(int type)
{
    for (const auto& row : show::EffectTable)
        if (row.type == type) return row.param;
    return 0;
}

void filterRun(benchmark::State& state, int type, int w, int h)
{
    const Picture source = samplePicture(w, h);
    Picture picture = source;
    FilterEngine engine;
    Random random(7);
    engine.random = &random;
    const std::int32_t param = showParam(type);
    bench::againstMemcpy(state, picture.data(), source.data(), source.byteCount(), [&] {
        benchmark::DoNotOptimize(Fil_Run(engine, type, picture.view(), param));
    });
    state.SetLabel(std::string(findFilterType(type)->name) + " param " + std::to_string(param));
}

void memcpyRun(benchmark::State& state, int w, int h)
{
    const Picture source = samplePicture(w, h);
    Picture target(w, h);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.byteCount());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(source.byteCount()));
}

const bool registered = [] {
    struct Size {
        const char* name;
        int w, h;
    };
    for (const Size size : {Size{"tile", 240, 180}, Size{"1080p", 1920, 1080}, Size{"2160p", 3840, 2160}}) {
        benchmark::RegisterBenchmark((std::string("memcpy/") + size.name).c_str(), memcpyRun, size.w, size.h);
        for (const FilterType& t : FilterTypes) {
            if (t.proc == nullptr) continue;
            benchmark::RegisterBenchmark((std::string("Fil_Run/") + size.name + "/" + std::to_string(t.type)).c_str(),
                                         filterRun, t.type, size.w, size.h)
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond);
        }
    }
    return true;
}();

} // namespace
