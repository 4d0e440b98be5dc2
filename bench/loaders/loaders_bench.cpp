// A 6000 x 4000 photo for a 1920 x 1080 screen: time and peak memory of the full decode
// against the reduced one, and of the reduced decode of the same photo stored progressive
// (4:2:0 and 4:4:4), also asked for a coarse picture first; and the cost of a metafile drawn by
// the helper program. Peak memory is the process's, so run one benchmark per process:
//   loaders_bench --benchmark_filter=Full   and   loaders_bench --benchmark_filter=Reduced$ ...
#include "platform/picture_loader_factory.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>

namespace {

enum class Layout { Baseline, Progressive420, Progressive444 };

// A camera-like picture: smooth light with fine detail, so the encoder has real work. The
// default layout is baseline with 4:2:0 chroma.
const std::string& photoPath(Layout layout = Layout::Baseline)
{
    static std::string paths[3];
    std::string& path = paths[int(layout)];
    if (!path.empty()) {
        return path;
    }
    const char* names[3] = {"velmora-bench-6000x4000.jpg", "velmora-bench-6000x4000-progressive.jpg",
                            "velmora-bench-6000x4000-progressive-444.jpg"};
    const std::string file = (std::filesystem::temp_directory_path() / names[int(layout)]).string();
    path = file;
    if (std::filesystem::exists(file)) {
        return path;
    }
    constexpr int kWidth = 6000;
    constexpr int kHeight = 4000;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (layout != Layout::Baseline) {
        jpeg_simple_progression(&info);
    }
    if (layout == Layout::Progressive444) {
        info.comp_info[0].h_samp_factor = 1;
        info.comp_info[0].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(kWidth) * 3);
    std::uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28);
            row[std::size_t(x) * 3 + 0] = JSAMPLE((x * 255 / kWidth + grain) & 0xFF);
            row[std::size_t(x) * 3 + 1] = JSAMPLE((y * 255 / kHeight + ((x / 40 + y / 40) % 2) * 30) & 0xFF);
            row[std::size_t(x) * 3 + 2] = JSAMPLE(((x ^ y) / 16 + grain) & 0xFF);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
    return path;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // Linux reports kilobytes
}

void decode(benchmark::State& state, velmora::LoadRequest request, Layout layout = Layout::Baseline)
{
    const std::string& path = photoPath(layout);
    auto loader = velmora::createPlatformPictureLoader();
    request.timeLimitMs = 0;
    int width = 0;
    int height = 0;
    for (auto _ : state) {
        velmora::Result<velmora::LoadedPicture> r = loader->load(path, request);
        if (!r.ok()) {
            state.SkipWithError(r.reason().text.c_str());
            return;
        }
        width = r->picture.width();
        height = r->picture.height();
        benchmark::DoNotOptimize(r->picture.data());
    }
    state.counters["decoded_width"] = width;
    state.counters["decoded_height"] = height;
    state.counters["peak_rss_MB"] = peakMegabytes();
}

void BM_FullDecode(benchmark::State& state) { decode(state, velmora::LoadRequest{}); }
void BM_ReducedDecode(benchmark::State& state)
{
    velmora::LoadRequest request;
    request.fitWidth = 1920;
    request.fitHeight = 1080;
    decode(state, request);
}

void reducedProgressive(benchmark::State& state, Layout layout)
{
    velmora::LoadRequest request;
    request.fitWidth = 1920;
    request.fitHeight = 1080;
    decode(state, request, layout);
}
void BM_ReducedDecodeProgressive420(benchmark::State& state) { reducedProgressive(state, Layout::Progressive420); }
void BM_ReducedDecodeProgressive444(benchmark::State& state) { reducedProgressive(state, Layout::Progressive444); }

// The same reduced decode asked for a coarse picture first, as the show asks for its first
// picture: the benchmark's time is the whole load; coarse_ms is when the coarse picture came
// (processor time from the load's start), kept alive as the show keeps it.
void coarseFirst(benchmark::State& state, Layout layout)
{
    const std::string& path = photoPath(layout);
    auto loader = velmora::createPlatformPictureLoader();
    velmora::LoadRequest request;
    request.fitWidth = 1920;
    request.fitHeight = 1080;
    request.timeLimitMs = 0;
    velmora::Picture coarse;
    std::clock_t start = 0;
    double coarseMs = 0;
    request.coarse = [&](velmora::LoadedPicture r) {
        coarseMs += double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
        coarse = std::move(r.picture);
    };
    for (auto _ : state) {
        coarse = velmora::Picture();
        start = std::clock();
        velmora::Result<velmora::LoadedPicture> r = loader->load(path, request);
        if (!r.ok() || coarse.empty()) {
            state.SkipWithError(r.ok() ? "no coarse picture" : r.reason().text.c_str());
            return;
        }
        benchmark::DoNotOptimize(r->picture.data());
    }
    state.counters["coarse_ms"] = coarseMs / double(state.iterations());
    state.counters["coarse_width"] = coarse.width();
    state.counters["peak_rss_MB"] = peakMegabytes();
}
void BM_CoarseFirstProgressive420(benchmark::State& state) { coarseFirst(state, Layout::Progressive420); }
void BM_CoarseFirstProgressive444(benchmark::State& state) { coarseFirst(state, Layout::Progressive444); }

// A small metafile: almost all of its time is starting the helper program that draws it.
void BM_MetafileDecode(benchmark::State& state)
{
    const std::string path = VELMORA_SOURCE_DIR "/tests/loaders/fixtures/placeable.wmf";
    auto loader = velmora::createPlatformPictureLoader();
    for (auto _ : state) {
        velmora::Result<velmora::LoadedPicture> r = loader->load(path, {});
        if (!r.ok()) {
            state.SkipWithError(r.reason().text.c_str());
            return;
        }
        benchmark::DoNotOptimize(r->picture.data());
    }
}

BENCHMARK(BM_FullDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MetafileDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReducedDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReducedDecodeProgressive420)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReducedDecodeProgressive444)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CoarseFirstProgressive420)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CoarseFirstProgressive444)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
