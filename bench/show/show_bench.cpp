// Cost of the show's per-frame work at 1920 x 1080: one Timer3 tick (copy a tile, filter it),
// one Timer4 tick of the flip (and its last tick alone), a frame of the reveal (five steps),
// Form_Load, and a whole picture's cycle on one monitor and on two.
#include "filters/engine.h"
#include "music/show_music.h"
#include "show/flip.h"
#include "show/show_form.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace velmora;
using namespace velmora::show;

namespace {

constexpr int ScreenW = 1920;
constexpr int ScreenH = 1080;

class PatternLoader final : public PictureLoader {
public:
    // A decoded 1600 x 1200 picture, made once: the benchmarks measure the show, not decoding.
    static const Picture& decoded()
    {
        static const Picture picture = [] {
            Picture p(1600, 1200);
            for (int y = 0; y < 1200; ++y)
                for (int x = 0; x < 1600; ++x) p.setPixel(x, y, std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y));
            return p;
        }();
        return picture;
    }
    Result<LoadedPicture> load(const std::string&, const LoadRequest&) override
    {
        return LoadedPicture{decoded(), {1600, 1200}};
    }
    Result<PictureSize> ownSize(const std::string&) override { return PictureSize{1600, 1200}; }
};

struct Bench {
    SimulatedPlatform platform;
    PatternLoader loader;
    SilentMusic music;
    Random random{1};
    filters::FilterEngine engine;
    Settings settings;
    Catalogue catalogue;
    std::unique_ptr<ShowForm> form;

    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;
    Bench()
    {
        engine.random = &random;
        catalogue.ImageCount = 2;
        catalogue.ImageList = {"", "a", "b"};
        catalogue.ShowOrder = {0, 1, 2};
        form = std::make_unique<ShowForm>(settings, catalogue, ShowServices{platform, loader, music, random, engine});
        form->Form_Load(ScreenW, ScreenH);
    }
    void frame()
    {
        platform.now += FrameIntervalMs;
        form->frame();
    }
};

// A Timer3 tick: the tile is copied and filtered; the effect row varies from tick to tick.
void BM_Timer3Tick(benchmark::State& state)
{
    auto b = std::make_unique<Bench>();
    for (auto _ : state) {
        b->form->Timer3_Timer();
        state.PauseTiming();
        while (b->form->timer(4).enabled) b->form->Timer4_Timer();
        if (b->form->state().TileCounter >= TileCount) b = std::make_unique<Bench>(); // stay within the first pass
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Timer3Tick)->Unit(benchmark::kMicrosecond);

// A Timer4 tick of the filter flip, with its presentation bookkeeping.
void BM_Timer4Tick(benchmark::State& state)
{
    auto b = std::make_unique<Bench>();
    b->form->Timer3_Timer();
    for (auto _ : state) {
        b->form->Timer4_Timer();
        benchmark::DoNotOptimize(b->form->takeDirtyRect());
        state.PauseTiming();
        if (!b->form->timer(4).enabled) {
            b->form->Timer3_Timer();
            if (b->form->state().TileCounter >= TileCount) b = std::make_unique<Bench>();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Timer4Tick)->Unit(benchmark::kMicrosecond);

// The last Timer4 tick of a flip alone: the exact copy of the tile and the grid redraw.
void BM_Timer4FinalTick(benchmark::State& state)
{
    auto b = std::make_unique<Bench>();
    for (auto _ : state) {
        state.PauseTiming();
        if (b->form->state().TileCounter >= TileCount) b = std::make_unique<Bench>();
        b->form->Timer3_Timer();
        while (b->form->state().FlipStep < 24) b->form->Timer4_Timer();
        state.ResumeTiming();
        b->form->Timer4_Timer();
        benchmark::DoNotOptimize(b->form->takeDirtyRect());
    }
}
BENCHMARK(BM_Timer4FinalTick)->Unit(benchmark::kMicrosecond);

// One frame of the reveal: five drawing steps with their grid redraws.
void BM_RevealFrame(benchmark::State& state)
{
    auto b = std::make_unique<Bench>();
    while (b->form->state().phase != ShowPhase::Reveal) b->frame();
    for (auto _ : state) {
        b->frame();
        state.PauseTiming();
        if (b->form->state().phase != ShowPhase::Reveal) {
            b = std::make_unique<Bench>();
            while (b->form->state().phase != ShowPhase::Reveal) b->frame();
        }
        state.ResumeTiming();
    }
    state.counters["steps_per_frame"] = RevealStepsPerFrame;
}
BENCHMARK(BM_RevealFrame)->Unit(benchmark::kMicrosecond);

// Form_Load: buffers, first picture (a copy of the decoded pixels, then scaled), grid, orders.
void BM_FormLoad(benchmark::State& state)
{
    PatternLoader::decoded();
    for (auto _ : state) {
        Bench b;
        benchmark::DoNotOptimize(b.form->buffers().Display.data());
    }
}
BENCHMARK(BM_FormLoad)->Unit(benchmark::kMillisecond);

// One drawing step of a 1920 x 1080 tile (240 x 180), the mean over all 24 steps and the four
// directions of a filter flip: the work of a flip tick without the bookkeeping around it.
// `cold`: as the running show meets it, a frame later with the caches taken by others in
// between (64 MiB written before each step, outside the timing).
void flipSteps(benchmark::State& state, bool cold)
{
    Picture display(ScreenW, ScreenH);
    Picture oldImage(ScreenW, ScreenH);
    Picture newImage(ScreenW / 8, ScreenH / 6);
    for (int y = 0; y < ScreenH; ++y)
        for (int x = 0; x < ScreenW; ++x) oldImage.setPixel(x, y, std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y));
    std::vector<std::uint8_t> others(cold ? 64u << 20 : 0u);
    const Rect tile{ScreenW / 8 * 3, ScreenH / 6 * 2, ScreenW / 8, ScreenH / 6};
    int i = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            std::fill(others.begin(), others.end(), std::uint8_t(i));
            benchmark::DoNotOptimize(others.data());
            state.ResumeTiming();
        }
        const int step = i % 24 + 1;
        const int direction = i / 24 % 4 + 1;
        drawFlipStep(display, tile, {oldImage, tile.x, tile.y}, {newImage, 0, 0}, FlipForm::Filter, direction, step);
        benchmark::DoNotOptimize(display.data());
        ++i;
    }
}

void BM_FlipStep(benchmark::State& state) { flipSteps(state, false); }
BENCHMARK(BM_FlipStep)->Unit(benchmark::kMicrosecond);

void BM_FlipStepCold(benchmark::State& state) { flipSteps(state, true); }
BENCHMARK(BM_FlipStepCold)->Unit(benchmark::kMicrosecond);

// The show's whole work over one picture's cycle (1000 frames: 48 filtered tiles, the pauses
// and the reveal of the next picture) on one monitor or on two of 1920 x 1080 side by side,
// each with its own show as the shells run them; the argument is the number of monitors.
void BM_ShowCycleOnMonitors(benchmark::State& state)
{
    const int count = int(state.range(0));
    PatternLoader::decoded();
    for (auto _ : state) {
        state.PauseTiming();
        SimulatedPlatform platform;
        PatternLoader loader;
        SilentMusic music;
        Random random{1};
        filters::FilterEngine engine;
        engine.random = &random;
        Settings settings;
        Catalogue catalogue;
        catalogue.ImageCount = 4;
        catalogue.ImageList = {"", "a", "b", "c", "d"};
        catalogue.ShowOrder = {0, 1, 2, 3, 4};
        std::vector<std::unique_ptr<ShowForm>> forms;
        for (int k = 0; k < count; ++k) {
            ShowServices services{platform, loader, music, random, engine};
            services.monitor = {k, count};
            services.leader = k == 0 ? nullptr : forms.front().get();
            forms.push_back(std::make_unique<ShowForm>(settings, catalogue, services));
            forms.back()->Form_Load(ScreenW, ScreenH);
        }
        state.ResumeTiming();
        for (int frame = 0; frame < 1000; ++frame) {
            platform.now += FrameIntervalMs;
            for (const auto& form : forms) form->frame();
        }
        state.PauseTiming();
        forms.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ShowCycleOnMonitors)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace
