// A show form on fakes, shared by the show's tests and the Linux shell's: pictures by name,
// a desktop of one colour, music that counts what it is asked, and a clock moved by hand.
#pragma once

#include "show/show_form.h"
#include "fake_loader.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::show::testing {

using velmora::testing::FakeLoader;

inline Picture solid(int w, int h, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, blue, green, red);
    return p;
}

// Every pixel differs from its neighbours, so a wrong sample shows; `seed` makes another.
inline Picture pattern(int w, int h, int seed = 0)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, std::uint8_t(x * 5 + seed), std::uint8_t(y * 3), std::uint8_t((x ^ y) + 40 * seed));
    return p;
}

// Shut until released; released for good. Holds a fake's work where a test needs it held.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    void release()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
    void wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return open; });
    }
};

class DesktopPlatform final : public SimulatedPlatform {
public:
    std::vector<Rect> presented; // every area presented, in order
    void present(const Picture& picture, const Rect& area) override
    {
        SimulatedPlatform::present(picture, area);
        presented.push_back(area);
    }
    bool copyDesktop(Picture& target) override
    {
        target = solid(target.width(), target.height(), 10, 90, 160);
        return true;
    }
};

class CountingMusic final : public ShowMusic {
public:
    bool trackKeys = false;
    int starts = 0, stops = 0, previous = 0, next = 0, timer1Ticks = 0;
    void start() override { ++starts; }
    bool timer1Enabled() const override { return true; }
    void timer1Tick() override { ++timer1Ticks; }
    bool timer2Enabled() const override { return false; }
    void timer2Tick() override {}
    bool handlesTrackKeys() const override { return trackKeys; }
    void previousTrack() override { ++previous; }
    void nextTrack() override { ++next; }
    void stop() override { ++stops; }
};

struct Show {
    DesktopPlatform platform;
    FakeLoader loader;
    CountingMusic music;
    Random random{42};
    filters::FilterEngine engine;
    Settings settings;
    Catalogue catalogue;
    std::unique_ptr<ShowForm> form;

    explicit Show(std::uint64_t seed = 42) : random(seed) { engine.random = &random; }

    void addPicture(const std::string& name, const Picture& picture)
    {
        if (catalogue.ShowOrder.empty()) catalogue.ShowOrder.push_back(0);
        catalogue.ImageCount += 1;
        catalogue.ImageList.push_back(name);
        catalogue.ShowOrder.push_back(catalogue.ImageCount);
        if (!picture.empty()) loader.pictures[name].picture = picture;
    }
    ShowForm& start(int w, int h, bool commandLineEmpty = false)
    {
        return start(w, h, {platform, loader, music, random, engine}, commandLineEmpty);
    }
    // With other services: another loader, a picture source, a folder still to scan.
    ShowForm& start(int w, int h, const ShowServices& services, bool commandLineEmpty = false)
    {
        form = std::make_unique<ShowForm>(settings, catalogue, services, commandLineEmpty);
        form->Form_Load(w, h);
        return *form;
    }
    void frame()
    {
        platform.now += FrameIntervalMs;
        form->frame();
    }
    // Frames until `done`, with a generous cap; a frame that moved nothing on gives a picture
    // source's thread a moment. Returns `done()`.
    template <typename Done>
    bool frameUntil(Done done)
    {
        for (int i = 0; i < 20000 && !done(); ++i) {
            const ShowState before = state();
            frame();
            if (state().phase == before.phase && state().TileCounter == before.TileCounter &&
                state().FlipStep == before.FlipStep && state().revealIndex == before.revealIndex)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    const ShowState& state() const { return form->state(); }
    const ShowBuffers& buffers() const { return form->buffers(); }
    bool tileJustStarted() const { return form->timer(4).enabled && state().FlipStep == 0; }
};

} // namespace velmora::show::testing
