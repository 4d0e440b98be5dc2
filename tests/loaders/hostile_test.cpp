// Broken and hostile files: each one is refused (or yields what decoded cleanly) with a
// reason, never a crash, a hang or a huge allocation. The sanitizers watch the rest.
#include "platform/picture_loader_factory.h"
#include "tests/loaders/loader_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif

using namespace velmora;
using namespace loader_test;

namespace {

void expectCleanResult(PictureLoader& loader, const std::string& path, const std::string& what)
{
    const Result<LoadedPicture> r = loader.load(path, {});
    if (r.ok()) {
        EXPECT_FALSE(r->picture.empty()) << what;
    } else {
        EXPECT_FALSE(reasonText(r).empty()) << what;
    }
    const Result<PictureSize> s = loader.ownSize(path);
    EXPECT_TRUE(s.ok() || !reasonText(s).empty()) << what;
}

} // namespace

TEST(Hostile, CraftedFilesAndAScanFloodAreRefusedWithAReason)
{
    auto loader = createPlatformPictureLoader();
    for (const char* name : {"empty.jpg", "random.jpg", "random-after-magic.jpg", "huge.jpg", "huge.gif",
                             "huge-frame.gif", "noimage.gif", "huge.bmp", "offset-past-end.bmp",
                             "huge.wmf", "no-size.wmf", "record-size-zero.wmf", "record-size-huge.wmf",
                             "record-cut-short.wmf", "huge.png", "huge.tif", "bomb.png", "bomb.tif"
#ifndef _WIN32
                             , "huge.webp", "huge.heic", "bomb.avif"
#endif
                            }) {
        const Result<LoadedPicture> r = loader->load(hostile(name), {});
        EXPECT_FALSE(r.ok()) << name;
        EXPECT_FALSE(reasonText(r).empty()) << name;
        // Headers that claim too much are refused by the size query too.
        if (std::string_view(name).starts_with("huge.")) {
            const Result<PictureSize> s = loader->ownSize(hostile(name));
            EXPECT_TRUE(!s.ok() && !reasonText(s).empty()) << name;
        }
    }
    // A picture past the size limit says which limit; a bomb is refused before it inflates.
    EXPECT_NE(reasonText(loader->load(hostile("huge.bmp"), {})).find("16384"), std::string::npos);
    for (const char* bomb : {"bomb.png", "bomb.tif"}) {
        EXPECT_NE(reasonText(loader->load(hostile(bomb), {})).find("100 megapixels"), std::string::npos) << bomb;
    }
    // The old scan-flood attack, refused for its scans: a progressive JPEG whose last scan is
    // repeated 3000 times. In entropy-coded data an 0xFF is followed by 0 or a restart marker,
    // so the last FF DA begins the last scan, which runs to the end marker FF D9.
    const std::vector<std::uint8_t> jpeg = readBytes(fixture("progressive.jpg"));
    std::size_t lastScan = jpeg.size() - 2;
    while (lastScan > 0 && !(jpeg[lastScan] == 0xFF && jpeg[lastScan + 1] == 0xDA)) {
        --lastScan;
    }
    std::vector<std::uint8_t> flood = jpeg;
    for (int i = 0; i < 3000; ++i) {
        flood.insert(flood.end() - 2, jpeg.begin() + std::ptrdiff_t(lastScan), jpeg.end() - 2);
    }
    const Result<LoadedPicture> r = loader->load(writeTemporary("flood.jpg", flood), {});
    EXPECT_NE(reasonText(r).find("scans"), std::string::npos) << reasonText(r);
}

// What crashed a system decoder once it was handed over: refused by the common front end, for
// the load and the size query alike, with the reason that names the lie.
TEST(Hostile, HeadersThatLieNeverReachADecoder)
{
    auto loader = createPlatformPictureLoader();
    const std::pair<const char*, const char*> refusals[] = {
        {"square-60000.jpg", "16384"},
        {"lying-frame.gif", "GIF frame"},
        {"nocolours.gif", "no colour table"},
        {"masks-overlap.bmp", "masks are not valid"},
        {"masks-gap.bmp", "masks are not valid"},
        {"dangling-slots.wmf", "never created"},
        {"select-65535.wmf", "never created"},
        {"delete-65535.wmf", "never created"},
        {"bitmap-huge.wmf", "metafile bitmap"},
    };
    for (const auto& [name, reason] : refusals) {
        const Result<LoadedPicture> r = loader->load(hostile(name), {});
        EXPECT_FALSE(r.ok()) << name;
        EXPECT_NE(reasonText(r).find(reason), std::string::npos) << name << ": " << reasonText(r);
        EXPECT_EQ(reasonText(loader->ownSize(hostile(name))), reasonText(r)) << name;
    }
}

TEST(Hostile, LyingFieldsAndEscapeOnlyMetafilesStayHarmless)
{
    auto loader = createPlatformPictureLoader();
    // A wrong file size or image size field does not matter when the pixels are there; a
    // metafile of nothing but an escape plays nothing: its picture is blank, not an error.
    for (const char* name : {"lying-size.bmp", "only-escape.wmf"}) {
        const Result<LoadedPicture> r = loader->load(hostile(name), {});
        EXPECT_TRUE(r.ok()) << name << ": " << reasonText(r);
        EXPECT_EQ(r->ownSize, (PictureSize{64, 48})) << name;
    }
    expectCleanResult(*loader, hostile("huge-palette.bmp"), "huge-palette.bmp");
    // Headers claiming other sizes than their data holds: a picture or a reason.
    for (const char* name : {"lying-size.png", "lying-size.tif", "lying-size.webp", "lying-size.heic"}) {
        expectCleanResult(*loader, hostile(name), name);
    }
}

TEST(Hostile, TruncatedFilesYieldWhatDecodedOrFail)
{
    auto loader = createPlatformPictureLoader();
    for (const char* name : {"baseline.jpg", "progressive.jpg", "orient6.jpg", "plain.gif", "interlaced.gif",
                             "bits24.bmp", "rle8.bmp", "rle4.bmp", "bits16-565.bmp", "placeable.wmf",
                             "interlaced.png", "alpha16.png", "tiled.tif", "alpha16.tif", "lossy.webp",
                             "animated.webp", "plain.heic", "turned.avif"}) {
        const std::vector<std::uint8_t> whole = readBytes(fixture(name));
        ASSERT_FALSE(whole.empty()) << name;
        const std::size_t step = std::max<std::size_t>(1, whole.size() / 40);
        for (std::size_t cut = 0; cut < whole.size(); cut += step) {
            const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + std::ptrdiff_t(cut));
            const std::string path = writeTemporary("truncated", part);
            expectCleanResult(*loader, path, std::string(name) + " cut at " + std::to_string(cut));
        }
    }
}

// Only regular files that exist are read, and never more than a picture of their kind can need: a FIFO
// or a device is refused at once (opening it would wait for a writer, reading it never ends),
// and an enormous sparse file is refused from its size without reading it.
TEST(Hostile, OnlyRegularFilesOfAPlausibleSizeAreRead)
{
    auto loader = createPlatformPictureLoader();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmora-loader-folder.jpg";
    std::filesystem::create_directories(folder);
    for (const std::string& path : {folder.string(), fixture("no-such-file.jpg")}) {
        const Result<LoadedPicture> r = loader->load(path, {});
        EXPECT_TRUE(!r.ok() && !reasonText(r).empty()) << path;
        EXPECT_FALSE(loader->ownSize(path).ok()) << path;
    }
#ifndef _WIN32
    const std::string fifo = writeTemporary("fifo.jpg", {});
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        const Result<LoadedPicture> r = loader->load(path, {});
        EXPECT_EQ(reasonText(r), "not a regular file") << path;
        EXPECT_EQ(reasonText(loader->ownSize(path)), "not a regular file") << path;
    }
    std::filesystem::remove(fifo);
#endif
    const auto sparse = [](const std::string& name, std::vector<std::uint8_t> head, std::uintmax_t size) {
        const std::string path = writeTemporary(name, head);
        std::filesystem::resize_file(std::filesystem::path(path), size);
        return path;
    };
    const std::string jpeg = sparse("sparse.jpg", {0xFF, 0xD8, 0xFF, 0xE0}, std::uintmax_t(600) << 20);
    EXPECT_EQ(reasonText(loader->load(jpeg, {})), "file is too large");
    // No bitmap within the pixel limit is 450 MB long.
    const std::string bmp = sparse("sparse.bmp", {'B', 'M'}, std::uintmax_t(450) << 20);
    EXPECT_EQ(reasonText(loader->load(bmp, {})), "file is too large for its kind of picture");
    std::filesystem::remove(std::filesystem::path(jpeg));
    std::filesystem::remove(std::filesystem::path(bmp));
}

#ifndef _WIN32
// Metafiles are drawn by a renderer process whose wait is capped: one not done in time is
// killed and reaped, and the load fails with a reason instead of holding up the show.
TEST(Hostile, AMetafileNotDrawnInTimeFailsAndLeavesNoProcess)
{
    auto loader = createPlatformPictureLoader();
    LoadRequest hurried;
    hurried.timeLimitMs = 1; // less than starting a process takes
    EXPECT_EQ(reasonText(loader->load(fixture("placeable.wmf"), hurried)), "WMF took too long to draw");
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_TRUE(loader->load(fixture("placeable.wmf"), {}).ok());
}
#endif
