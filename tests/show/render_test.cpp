// The headless renderer: its command line refuses bad values, a seed replays exactly, and the
// settings file and the options decide what it shows.
#include "platform/linux/headless_render.h"
#include "platform/linux/startup_linux.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace velmora;
using namespace velmora::headless;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> args(std::initializer_list<const char*> list) { return {list.begin(), list.end()}; }

} // namespace

TEST(RenderArguments, BadValuesAreRefusedWithAReason)
{
    const Result<RenderOptions> good =
        parseRenderArguments(args({"--render", "out", "--size", "640x480", "--seconds", "2.5", "--fps", "24", "--seed", "9"}));
    ASSERT_TRUE(good.ok()) << reasonText(good);
    EXPECT_EQ(good->width, 640);
    EXPECT_EQ(good->seconds, 2.5);
    EXPECT_EQ(good->seed, 9u);

    for (const auto& bad : {args({"--render", "out", "--size", "640x480"}),
                            args({"--render", "out", "--size", "640x", "--seconds", "1"}),
                            args({"--render", "out", "--size", "99999x480", "--seconds", "1"}),
                            args({"--render", "out", "--size", "640x480", "--seconds", "nan"}),
                            args({"--render", "out", "--size", "640x480", "--seconds", "1", "--fps", "0"}),
                            args({"--render", "out", "--size", "640x480", "--seconds", "1", "--loud", "1"}),
                            args({"--render", "", "--size", "640x480", "--seconds", "1"}),
                            args({"--render", "out", "--size", "64x48", "--seconds", "1", "--ini", ""})}) {
        EXPECT_FALSE(reasonText(parseRenderArguments(bad)).empty()); // a parse that succeeds has no reason
    }
}

TEST(Render, TheSameSeedWritesTheSameFramesAndTheSettingsFileAndOptionsDecideThePictures)
{
    const fs::path root = fs::temp_directory_path() / ("velmora-render-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(root);
    // The renderer reads the user's settings file: keep the developer's own out of the test.
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    std::ostringstream log;
    RenderOptions options;
    options.width = 96;
    options.height = 72;
    options.seconds = 3;
    options.fps = 2;
    options.seed = 5;
    for (const char* run : {"a", "b"}) {
        options.outputDir = (root / run).string();
        const Result<RenderedShow> result = renderShow(options, log);
        ASSERT_TRUE(result.ok()) << reasonText(result);
        EXPECT_EQ(result->framesWritten, 6);
        EXPECT_GT(result->picturesFound, 0); // the samples
    }
    velmora::posix::PosixFileSystem files;
    for (int k = 0; k < 6; ++k) {
        const std::string name = "frame-0000" + std::to_string(k) + ".png";
        EXPECT_EQ(files.readFile(root / "a" / name, 1 << 20).bytes, files.readFile(root / "b" / name, 1 << 20).bytes)
            << name;
    }

    // A folder that is not there is reported, and the samples are shown as with no folder.
    const int samples = renderShow(options, log)->picturesFound;
    options.overrides.folder = (root / "no such folder").string();
    options.outputDir = (root / "c").string();
    const Result<RenderedShow> missing = renderShow(options, log);
    EXPECT_TRUE(missing.ok());
    EXPECT_EQ(missing->picturesFound, samples);
    EXPECT_NE(log.str().find("no such folder"), std::string::npos);

    // The settings file decides the folder and the kinds, and the options override it.
    fs::create_directories(root / "pictures");
    for (const char* name : {"1-sunset.jpg", "3-rings.gif", "5-mosaic.bmp"})
        fs::copy_file(fs::path(VELMORA_SOURCE_DIR) / "resources" / "samples" / name, root / "pictures" / name);
    // Written as a Linux editor writes it: UTF-8.
    std::ofstream(root / "v.ini") << "[Section]\n画像のﾌｫﾙﾀﾞ=" << (root / "pictures").string() << "\n画像種類_1=0\n";

    options.overrides = {};
    options.iniFile = (root / "v.ini").string();
    EXPECT_EQ(renderShow(options, log)->picturesFound, 2); // the GIF is switched off in the file

    options.overrides = parseRenderArguments(args({"--render", "x", "--size", "64x48", "--seconds", "1", "--kinds",
                                                   "bmp,gif,jpg,wmf", "--size", "original"}))
                            ->overrides;
    EXPECT_EQ(renderShow(options, log)->picturesFound, 3);
    EXPECT_EQ(options.overrides.imageSize, 0);
    fs::remove_all(root);
}
