// A progressive JPEG as the show's first picture, through the platform's own loader on the
// picture worker: the coarse picture from its first scans is shown at once, the tiles wait for
// the whole picture, and from there the show is byte for byte the one that loaded it whole.
#include "platform/picture_loader_factory.h"
#include "show/show_form.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

using namespace velmora;
using namespace velmora::show;
namespace fs = std::filesystem;

namespace {

const std::string kFixtures = VELMORA_SOURCE_DIR "/tests/loaders/fixtures/";

// Shut until opened; opened for good.
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

// The platform's loader, whose loading thread stops after handing out a coarse picture until
// the gate opens: the show surely meets the coarse picture before the whole one.
class HeldAfterCoarse final : public PictureLoader {
public:
    explicit HeldAfterCoarse(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
    LoadResult load(const std::string& path, const LoadRequest& request) override
    {
        LoadRequest held = request;
        if (request.coarse) {
            held.coarse = [&](LoadResult coarse) {
                request.coarse(std::move(coarse));
                gate_->wait();
            };
        }
        return loader_->load(path, held);
    }
    SizeResult ownSize(const std::string& path) override { return loader_->ownSize(path); }

private:
    std::unique_ptr<PictureLoader> loader_ = createPlatformPictureLoader();
    std::shared_ptr<Gate> gate_;
};

// One show of `first` then a baseline JPEG on a 160 x 120 screen, loading through `pictures`
// (none: loaded whole when taken).
struct Show {
    SimulatedPlatform platform;
    std::unique_ptr<PictureLoader> loader = createPlatformPictureLoader();
    SilentMusic music;
    Random random{7};
    filters::FilterEngine engine;
    std::unique_ptr<ShowForm> form;

    Show(const std::string& first, PictureSource* pictures)
    {
        engine.random = &random;
        Catalogue catalogue;
        catalogue.ImageList = {"", first, kFixtures + "baseline.jpg"};
        catalogue.ShowOrder = {0, 1, 2};
        catalogue.ImageCount = 2;
        form = std::make_unique<ShowForm>(Settings{}, catalogue,
                                          ShowServices{platform, *loader, music, random, engine, pictures});
        form->Form_Load(160, 120);
    }
    const ShowBuffers& buffers() const { return form->buffers(); }
    const ShowState& state() const { return form->state(); }
    // One display frame; a show that may be waiting on the worker gives it a moment.
    void frame()
    {
        const ShowState before = state();
        platform.now += FrameIntervalMs;
        form->frame();
        const bool waiting = before.phase == ShowPhase::Tiles || before.phase == ShowPhase::PauseBeforeReveal;
        if (waiting && state().phase == before.phase && state().TileCounter == before.TileCounter &&
            !form->timer(4).enabled) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Frames until `done`, at most about a minute of the show.
    template <typename Done>
    void frameUntil(Done done)
    {
        for (int i = 0; i < 4000 && !done(); ++i) frame();
        ASSERT_TRUE(done());
    }
};

// The coarse-first show of `first` against the plain one: the coarse picture shown first, no
// tile while the whole picture is held back, then the same Master and Display as the plain show
// at its first tile and at the end of the next picture's reveal. Returns the plain show's Master
// at its first tile.
Picture coarseThenWholeMatchesThePlainShow(const std::string& first)
{
    Show plain(first, nullptr);
    auto gate = std::make_shared<Gate>();
    PictureWorker worker(std::make_unique<HeldAfterCoarse>(gate));
    struct OpenAtEnd {
        Gate& gate;
        ~OpenAtEnd() { gate.release(); }
    } openAtEnd{*gate};
    Show coarse(first, &worker);

    // The coarse picture is on the screen, composed as a picture is.
    EXPECT_EQ(coarse.state().phase, ShowPhase::Tiles);
    EXPECT_GT(coarse.buffers().Pic_Orgn.width(), 0);
    EXPECT_LT(coarse.buffers().Pic_Orgn.width(), 64); // fewer pixels than the file's 64 x 48
    EXPECT_NE(coarse.buffers().Master.pixelValue(10, 10), 0u);
    EXPECT_EQ(coarse.buffers().Display.pixelValue(10, 10), coarse.buffers().Master.pixelValue(10, 10));
    EXPECT_NE(coarse.buffers().Display, plain.buffers().Display);
    const Picture shownCoarse = coarse.buffers().Display;
    for (int i = 0; i < 30; ++i) coarse.frame();
    EXPECT_EQ(coarse.state().TileCounter, 0);
    EXPECT_EQ(coarse.buffers().Display, shownCoarse);

    gate->release();
    plain.frame();
    EXPECT_EQ(plain.state().TileCounter, 1);
    coarse.frameUntil([&] { return coarse.state().TileCounter == 1; });
    EXPECT_EQ(coarse.buffers().Master, plain.buffers().Master);
    EXPECT_EQ(coarse.buffers().Display, plain.buffers().Display);
    const Picture firstMaster = plain.buffers().Master;

    // On to the next picture, read while the tiles turn, and its reveal.
    for (Show* show : {&plain, &coarse}) {
        show->frameUntil([&] { return show->state().phase == ShowPhase::Reveal; });
        show->frameUntil([&] { return show->state().phase == ShowPhase::PauseAfterReveal; });
    }
    EXPECT_EQ(coarse.buffers().Master, plain.buffers().Master);
    EXPECT_EQ(coarse.buffers().Display, plain.buffers().Display);
    EXPECT_EQ(coarse.buffers().Pic_Orgn, plain.buffers().Pic_Orgn);
    return firstMaster;
}

} // namespace

TEST(CoarseFirstPicture, AProgressiveJpegShowsCoarseThenEndsAsTheWholeLoad)
{
    const Picture master = coarseThenWholeMatchesThePlainShow(kFixtures + "progressive.jpg");
    EXPECT_NE(master.pixelValue(80, 60), 0u); // the picture itself, not a failed load
}

// Cut inside the Huffman table of its second scan: the first scan still gives the coarse
// picture, but the whole decode fails, as the plain load of the file does. The show goes on as
// after any picture that fails to load: black under the grid, then the next picture.
TEST(CoarseFirstPicture, AProgressiveJpegCutAfterItsFirstScanFailsAsAWholeLoadDoes)
{
    std::ifstream in(kFixtures + "progressive.jpg", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string cut = (fs::path(testing::TempDir()) / "velmora-cut-progressive.jpg").string();
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, 391);
    ASSERT_FALSE(createPlatformPictureLoader()->load(cut, {}).ok);

    const Picture master = coarseThenWholeMatchesThePlainShow(cut);
    EXPECT_EQ(master, Picture(master.width(), master.height())); // all black
    fs::remove(cut);
}
