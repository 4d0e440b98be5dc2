// A progressive JPEG as the show's first picture, through the platform's own loader on the
// picture worker: the coarse picture from its first scans is shown at once, the tiles wait for
// the whole picture, and from there the show is byte for byte the one that loaded it whole.
#include "platform/picture_loader_factory.h"
#include "show_rig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

using namespace velmora;
using namespace velmora::show;
using namespace velmora::show::testing;
namespace fs = std::filesystem;

namespace {

const std::string kFixtures = VELMORA_SOURCE_DIR "/tests/loaders/fixtures/";

// The platform's loader, whose loading thread stops after handing out a coarse picture until
// the gate opens: the show surely meets the coarse picture before the whole one.
class HeldAfterCoarse final : public PictureLoader {
public:
    explicit HeldAfterCoarse(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
    Result<LoadedPicture> load(const std::string& path, const LoadRequest& request) override
    {
        LoadRequest held = request;
        if (request.coarse) {
            held.coarse = [&](LoadedPicture coarse) {
                request.coarse(std::move(coarse));
                gate_->wait();
            };
        }
        return loader_->load(path, held);
    }
    Result<PictureSize> ownSize(const std::string& path) override { return loader_->ownSize(path); }

private:
    std::unique_ptr<PictureLoader> loader_ = createPlatformPictureLoader();
    std::shared_ptr<Gate> gate_;
};

// One show of `first` then a baseline JPEG on a 160 x 120 screen, through the platform's
// `loader`, its pictures prepared by `pictures` (none: loaded whole when taken).
void start(Show& show, PictureLoader& loader, const std::string& first, PictureSource* pictures)
{
    show.addPicture(first, {});
    show.addPicture(kFixtures + "baseline.jpg", {});
    show.start(160, 120, {show.platform, loader, show.music, show.random, show.engine, pictures});
}

// The coarse-first show of `first` against the plain one: the coarse picture shown first, no
// tile while the whole picture is held back, then the same Master and Display as the plain show
// at its first tile and at the end of the next picture's reveal. Returns the plain show's Master
// at its first tile.
Picture coarseThenWholeMatchesThePlainShow(const std::string& first)
{
    const auto loader = createPlatformPictureLoader();
    Show plain;
    start(plain, *loader, first, nullptr);
    auto gate = std::make_shared<Gate>();
    PictureWorker worker(std::make_unique<HeldAfterCoarse>(gate));
    Show coarse; // gone before the worker it takes pictures from
    start(coarse, *loader, first, &worker);

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
    EXPECT_TRUE(coarse.frameUntil([&] { return coarse.state().TileCounter == 1; }));
    EXPECT_EQ(coarse.buffers().Master, plain.buffers().Master);
    EXPECT_EQ(coarse.buffers().Display, plain.buffers().Display);
    const Picture firstMaster = plain.buffers().Master;

    // On to the next picture, read while the tiles turn, and its reveal.
    for (Show* show : {&plain, &coarse}) {
        EXPECT_TRUE(show->frameUntil([&] { return show->state().phase == ShowPhase::Reveal; }));
        EXPECT_TRUE(show->frameUntil([&] { return show->state().phase == ShowPhase::PauseAfterReveal; }));
    }
    EXPECT_EQ(coarse.buffers().Master, plain.buffers().Master);
    EXPECT_EQ(coarse.buffers().Display, plain.buffers().Display);
    EXPECT_EQ(coarse.buffers().Pic_Orgn, plain.buffers().Pic_Orgn);
    return firstMaster;
}

} // namespace

// A progressive JPEG, whole and cut inside the Huffman table of its second scan: the first scan
// still gives the cut one a coarse picture, but its whole decode fails, as the plain load of the
// file does, and the show goes on as after any picture that fails to load: black under the
// grid, then the next picture.
TEST(CoarseFirstPicture, AProgressiveJpegShowsCoarseThenEndsAsTheWholeLoadEvenWhenThatFails)
{
    const Picture master = coarseThenWholeMatchesThePlainShow(kFixtures + "progressive.jpg");
    EXPECT_NE(master.pixelValue(80, 60), 0u); // the picture itself, not a failed load

    std::ifstream in(kFixtures + "progressive.jpg", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string cut = (fs::path(::testing::TempDir()) / "velmora-cut-progressive.jpg").string();
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, 391);
    ASSERT_FALSE(createPlatformPictureLoader()->load(cut, {}).ok());
    const Picture black = coarseThenWholeMatchesThePlainShow(cut);
    EXPECT_EQ(black, Picture(black.width(), black.height()));
    fs::remove(cut);
}
