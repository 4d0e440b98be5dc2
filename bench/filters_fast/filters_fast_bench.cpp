// Filter types 19 to 31 on a 1920 x 1080 picture, each against a memcpy of the same 8 MB in
// the same run. The counter x_memcpy is filter time / memcpy time, both the best of their
// repetitions in processor time, so that other work on a shared machine does not blur the ratio.
#include "filters/engine.h"
#include "filters/filter_table.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstring>
#include <vector>

using namespace velmora;
using namespace velmora::filters;

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

// A photo-like picture: smooth gradients plus a little noise, so every filter has edges,
// flat parts and ties to work through.
std::vector<std::uint8_t> samplePicture()
{
    std::vector<std::uint8_t> bytes(std::size_t(Width) * Height * 4);
    Random random(42);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            std::uint8_t* p = bytes.data() + (std::size_t(y) * Width + x) * 4;
            p[0] = std::uint8_t((x / 8 + random.below(16)) & 0xFF);
            p[1] = std::uint8_t((y / 5 + random.below(16)) & 0xFF);
            p[2] = std::uint8_t(((x + y) / 12 + random.below(16)) & 0xFF);
            p[3] = 0;
        }
    return bytes;
}

// Processor time of this process, in seconds.
double cpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// Best of several copies: the figure the filters are compared with.
double memcpySeconds(const std::vector<std::uint8_t>& from, std::vector<std::uint8_t>& to)
{
    double best = 1e9;
    for (int i = 0; i < 30; ++i) {
        const double start = cpuSeconds();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
        best = std::min(best, cpuSeconds() - start);
    }
    return best;
}

// The filter procedure alone, on arrays filled as the dispatcher fills them.
void BM_Filter(benchmark::State& state)
{
    const int type = int(state.range(0));
    const std::int32_t param = std::int32_t(state.range(1));
    const std::vector<std::uint8_t> source = samplePicture();
    std::vector<std::uint8_t> work = source;
    FilterEngine engine;
    Random random(7);
    engine.random = &random;
    engine.W = Width;
    engine.H = Height;
    engine.param = param;
    engine.Pix_Orgn.copyFrom(source.data(), Width, Height);
    engine.Pix_Work.borrow(work.data(), Width, Height);
    const FilterProc proc = findFilterType(type)->proc;

    double filterSeconds = 1e9;
    for (auto _ : state) {
        const double start = cpuSeconds();
        benchmark::DoNotOptimize(proc(engine));
        benchmark::ClobberMemory();
        filterSeconds = std::min(filterSeconds, cpuSeconds() - start);
    }
    engine.Pix_Work.release();
    engine.Pix_Orgn.release();
    state.counters["x_memcpy"] = filterSeconds / memcpySeconds(source, work);
    state.SetLabel(findFilterType(type)->name);
}

// Fil_Run as the show calls it: copy in, filter, result in place.
void BM_FilRun(benchmark::State& state)
{
    const int type = int(state.range(0));
    const std::int32_t param = std::int32_t(state.range(1));
    const std::vector<std::uint8_t> source = samplePicture();
    std::vector<std::uint8_t> work = source;
    FilterEngine engine;
    Random random(7);
    engine.random = &random;
    double runSeconds = 1e9;
    for (auto _ : state) {
        const double start = cpuSeconds();
        benchmark::DoNotOptimize(Fil_Run(engine, type, PictureView{work.data(), Width, Height}, param));
        benchmark::ClobberMemory();
        runSeconds = std::min(runSeconds, cpuSeconds() - start);
    }
    state.counters["x_memcpy"] = runSeconds / memcpySeconds(source, work);
    state.SetLabel(findFilterType(type)->name);
}

void BM_Memcpy(benchmark::State& state)
{
    const std::vector<std::uint8_t> source = samplePicture();
    std::vector<std::uint8_t> work(source.size());
    for (auto _ : state) {
        std::memcpy(work.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
}

// The params the show's effect rows use for these types.
void showParams(benchmark::internal::Benchmark* b)
{
    const std::pair<int, int> rows[] = {{19, 0},  {20, 0},  {21, 15}, {22, 15}, {23, 15}, {24, 0}, {25, 0},
                                        {26, 0},  {27, 0},  {28, 0},  {29, 50}, {30, 15}, {31, 50}};
    for (const auto& [type, param] : rows) b->Args({type, param});
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Filter)->Apply(showParams)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilRun)->Apply(showParams)->Unit(benchmark::kMillisecond);
