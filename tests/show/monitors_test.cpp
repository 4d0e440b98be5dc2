// Shows on several monitors: which pictures each monitor takes from the one show order, how
// a monitor's show follows the primary's folder scan, and each show laid out for its own size.
#include "show_rig.h"
#include "../startup/fake_file_system.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace velmora;
using namespace velmora::show;
using namespace velmora::show::testing;

namespace {

// A catalogue scan that finishes only when the test says so.
class HeldScan final : public PictureSource {
public:
    explicit HeldScan(PictureLoader& loader) : pictures_(loader) {}
    bool held = true;
    void request(const std::string& path, const LoadRequest& request) override { pictures_.request(path, request); }
    std::optional<Result<LoadedPicture>> take(int waitMs) override { return pictures_.take(waitMs); }
    void requestCatalogue(std::function<Catalogue()> scan) override { pictures_.requestCatalogue(std::move(scan)); }
    std::optional<Catalogue> takeCatalogue(int waitMs) override
    {
        return held ? std::nullopt : pictures_.takeCatalogue(waitMs);
    }

private:
    LoadWhenTaken pictures_;
};

// A desktop of its own colour for each monitor, as each monitor's part of the desktop differs.
class ColouredDesktop final : public SimulatedPlatform {
public:
    explicit ColouredDesktop(std::uint8_t red) : red_(red) {}
    bool copyDesktop(Picture& target) override
    {
        target = solid(target.width(), target.height(), red_, 0, 0);
        return true;
    }

private:
    std::uint8_t red_;
};

// The shows of all monitors, run frame by frame as a shell runs them.
struct Monitors {
    std::vector<std::unique_ptr<ColouredDesktop>> platforms;
    std::vector<std::unique_ptr<ShowForm>> forms;
    SilentMusic silent;

    // The show of monitor `index` of `count`, w x h; the primary's music and scan are its own.
    void add(Show& primary, int index, int count, int w, int h, PictureSource* source = nullptr,
             std::optional<CatalogueScan> scan = {}, std::shared_ptr<FileSystem> files = {})
    {
        platforms.push_back(std::make_unique<ColouredDesktop>(std::uint8_t(10 + 40 * index)));
        ShowMusic& music = index == 0 ? static_cast<ShowMusic&>(primary.music) : silent;
        ShowServices services{*platforms.back(), primary.loader, music, primary.random, primary.engine, source, scan,
                              files};
        services.monitor = {index, count};
        services.leader = index == 0 ? nullptr : forms.front().get();
        forms.push_back(std::make_unique<ShowForm>(primary.settings, primary.catalogue, services));
        forms.back()->Form_Load(w, h);
    }
    void frame(Show& primary)
    {
        primary.platform.now += FrameIntervalMs;
        for (auto& p : platforms) p->now = primary.platform.now;
        for (auto& f : forms) f->frame();
    }
    // The colour at the centre of each monitor's Master, every time one comes up, until each
    // has shown `rounds` pictures.
    std::vector<std::vector<std::uint32_t>> pictures(Show& primary, std::size_t rounds)
    {
        std::vector<std::vector<std::uint32_t>> seen(forms.size());
        std::vector<ShowPhase> last(forms.size(), ShowPhase::NotLoaded);
        for (int i = 0; i < 100000; ++i) {
            bool done = true;
            for (std::size_t m = 0; m < forms.size(); ++m) {
                const ShowState& s = forms[m]->state();
                const Picture& master = forms[m]->buffers().Master;
                if (s.phase == ShowPhase::Tiles && last[m] != ShowPhase::Tiles && seen[m].size() < rounds)
                    seen[m].push_back(master.pixelValue(master.width() / 2, master.height() / 2));
                last[m] = s.phase;
                done = done && seen[m].size() >= rounds;
            }
            if (done) break;
            frame(primary);
        }
        return seen;
    }
};

} // namespace

TEST(MonitorSequence, EachMonitorStartsAtItsOwnPositionAndStepsByTheMonitorCount)
{
    std::vector<std::int64_t> positions;
    for (MonitorPlace place : {MonitorPlace{0, 1}, MonitorPlace{0, 3}, MonitorPlace{2, 3}})
        for (int step = 0; step < 3; ++step) positions.push_back(monitorPicturePosition(place, step));
    EXPECT_EQ(positions, (std::vector<std::int64_t>{1, 2, 3, 1, 4, 7, 3, 6, 9}));
}

// Two monitors of different sizes: each lays out its own grid and takes its own pictures, the
// two never showing the same one at once; only the primary starts the music.
TEST(ShowMonitors, TwoMonitorsShowAlternatePicturesEachOnItsOwnGrid)
{
    Show primary;
    const std::uint32_t colours[] = {0x100000, 0x200000, 0x300000, 0x400000, 0x500000};
    for (int k = 0; k < 5; ++k)
        primary.addPicture(std::string(1, char('a' + k)), solid(64, 48, std::uint8_t(colours[k] >> 16), 0, 0));
    Monitors monitors;
    monitors.add(primary, 0, 2, 256, 192);
    monitors.add(primary, 1, 2, 200, 150);

    const ShowState& second = monitors.forms[1]->state();
    EXPECT_EQ(second.TileW, 25);
    EXPECT_EQ(second.TileH, 25);
    EXPECT_EQ(second.GridW, 25);
    EXPECT_EQ(monitors.forms[1]->buffers().Pic_D.width(), 25);
    EXPECT_EQ(monitors.forms[0]->state().TileW, 32);
    EXPECT_EQ(monitors.forms[1]->buffers().Display.pixelValue(25, 5), 0u); // its own grid line
    EXPECT_NE(monitors.forms[1]->buffers().Display.pixelValue(32, 5), 0u);

    const auto seen = monitors.pictures(primary, 6);
    const auto c = [&](int position) { return colours[position - 1]; };
    EXPECT_EQ(seen[0], (std::vector<std::uint32_t>{c(1), c(3), c(5), c(2), c(4), c(1)}));
    EXPECT_EQ(seen[1], (std::vector<std::uint32_t>{c(2), c(4), c(1), c(3), c(5), c(2)}));
    EXPECT_EQ(primary.music.starts, 1);
}

// One picture: every monitor shows it, loaded once each and never again; none: each monitor
// filters its own part of the desktop.
TEST(ShowMonitors, WithOnePictureAllShowItAndWithNoneEachShowsItsOwnDesktop)
{
    for (int pictures : {1, 0}) {
        Show primary;
        if (pictures == 1) primary.addPicture("only", solid(64, 48, 0, 0, 200));
        Monitors monitors;
        monitors.add(primary, 0, 2, 320, 240);
        monitors.add(primary, 1, 2, 160, 120);
        const auto seen = monitors.pictures(primary, 3);
        for (std::size_t m = 0; m < 2; ++m) {
            const std::uint32_t expected = pictures == 1 ? 0x0000C8u : std::uint32_t(10 + 40 * m) << 16;
            EXPECT_EQ(seen[m], std::vector<std::uint32_t>(3, expected)) << pictures << " pictures, monitor " << m;
        }
        EXPECT_EQ(primary.loader.loads.size(), std::size_t(2 * pictures));
    }
}

// While the primary's folder is still being listed the other monitor waits on black, and then
// takes its pictures from the primary's catalogue.
TEST(ShowMonitors, AnotherMonitorWaitsForThePrimarysScanAndSharesItsOrder)
{
    Show primary;
    std::vector<std::uint32_t> colours;
    auto folder = std::make_shared<velmora::testing::FakeFileSystem>('/');
    folder->addFolder("/p");
    for (int k = 0; k < 4; ++k) {
        const std::string path = std::string("/p/") + char('a' + k) + ".bmp";
        folder->addFile(path);
        colours.push_back(std::uint32_t(0x20 * (k + 1)) << 8);
        primary.loader.pictures[path].picture = solid(64, 48, 0, std::uint8_t(0x20 * (k + 1)), 0);
    }
    HeldScan source(primary.loader);
    Monitors monitors;
    monitors.add(primary, 0, 2, 320, 240, &source, CatalogueScan{"/p", {1, 1, 1, 1}}, folder);
    monitors.add(primary, 1, 2, 320, 240);
    for (int i = 0; i < 20; ++i) monitors.frame(primary);
    for (const auto& form : monitors.forms) {
        EXPECT_EQ(form->state().phase, ShowPhase::FirstPicture);
        EXPECT_EQ(form->buffers().Display.pixelValue(5, 5), 0u);
    }

    source.held = false;
    const auto seen = monitors.pictures(primary, 2);
    EXPECT_EQ(seen[0], (std::vector<std::uint32_t>{colours[0], colours[2]}));
    EXPECT_EQ(seen[1], (std::vector<std::uint32_t>{colours[1], colours[3]}));
}
