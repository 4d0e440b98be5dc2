// Every picture format and variant decodes to what ImageMagick decodes (JPEG within
// decoder rounding), photos stand the right way up, and reduced decodes keep the own size.
#include "show/drawing.h"
#include "show/picture_formats.h"
#include "platform/picture_loader_factory.h"
#include "tests/loaders/loader_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>
#endif

using namespace velmora;
using namespace loader_test;

namespace {

struct Fixture {
    const char* name;
    int tolerance; // largest channel difference allowed against ImageMagick's decode
    int block = 1; // compared as means of block x block squares (1: pixel by pixel)
};

// JPEG decoders may round differently (IDCT), so JPEGs are compared by the means of 4 x 4
// squares. Colour subsampled 2 x 2 is widened differently by each decoder (Wine's WIC bleeds
// colour across sharp edges), so that fixture is compared over 8 x 8 squares.
constexpr int kJpeg = 6;
const Fixture kFixtures[] = {
    {"baseline.jpg", 16, 8}, {"progressive.jpg", kJpeg, 4}, {"grey.jpg", kJpeg, 4}, {"cmyk.jpg", 16, 4},
    {"broken-exif.jpg", kJpeg, 4},
    {"orient1.jpg", kJpeg, 4}, {"orient2.jpg", kJpeg, 4}, {"orient3.jpg", kJpeg, 4}, {"orient4.jpg", kJpeg, 4},
    {"orient5.jpg", kJpeg, 4}, {"orient6.jpg", kJpeg, 4}, {"orient7.jpg", kJpeg, 4}, {"orient8.jpg", kJpeg, 4},
    {"plain.gif", 0}, {"interlaced.gif", 0}, {"transparent.gif", 0}, {"animated.gif", 0}, {"offset.gif", 0},
    {"local-table.gif", 0},
    {"bits1.bmp", 0}, {"bits4.bmp", 0}, {"bits8.bmp", 0}, {"rle8.bmp", 0}, {"rle4.bmp", 0},
    // 5 and 6 bit channels widen to 8 bits by bit copying or by scaling: both are right.
    {"bits16-565.bmp", 2}, {"bits16-555.bmp", 2}, {"bits16-rgb.bmp", 2}, {"bits24.bmp", 0},
    {"bits32.bmp", 0}, {"top-down.bmp", 0}, {"os2.bmp", 0}, {"masks-10bit.bmp", 0}, {"masks-rgba.bmp", 0},
    {"placeable.wmf", 0}, {"plain.wmf", 0}, {"escape.wmf", 0},
    // The fifth kind. Alpha laid on black may round one step apart from ImageMagick's.
    {"plain.png", 0}, {"interlaced.png", 0}, {"grey.png", 0}, {"palette.png", 0}, {"alpha16.png", 1},
    {"orient6.png", 0}, {"plain.tif", 0}, {"tiled.tif", 0}, {"alpha16.tif", 1}, {"orient6.tif", 0},
#ifndef _WIN32
    // Lossy kinds against the pattern they were made from (WebP halves its colour, as a JPEG
    // does, so over 8 x 8 squares); the turns of the lossless ones exactly.
    {"lossy.webp", 16, 8}, {"alpha.webp", 1}, {"orient6.webp", 0}, {"animated.webp", 0},
    {"plain.heic", 12, 4}, {"alpha.heic", 12, 4}, {"plain.avif", 12, 4}, {"turned.avif", 0},
#endif
};

void PrintTo(const Fixture& f, std::ostream* out) { *out << f.name; }

class EachFixture : public ::testing::TestWithParam<Fixture> {};

std::string fixtureName(const ::testing::TestParamInfo<Fixture>& info)
{
    std::string n = info.param.name;
    std::replace_if(n.begin(), n.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return n;
}

} // namespace

TEST_P(EachFixture, DecodesToTheExpectedPixelsAndReportsItsOwnSize)
{
    const Fixture f = GetParam();
    auto loader = createPlatformPictureLoader();
    const Result<LoadedPicture> r = loader->load(fixture(f.name), LoadRequest{});
    ASSERT_TRUE(r.ok()) << reasonText(r);
    const Picture expected = readPpm(fixture(std::string(f.name) + ".expected.ppm"));
    EXPECT_EQ(r->ownSize, (PictureSize{expected.width(), expected.height()}));
    const int difference = largestDifference(r->picture, expected, f.block);
    ASSERT_GE(difference, 0) << "decoded " << r->picture.width() << " x " << r->picture.height();
    EXPECT_LE(difference, f.tolerance);
    for (std::size_t i = 3; i < r->picture.byteCount(); i += 4) {
        ASSERT_EQ(r->picture.data()[i], 0) << "reserved byte at " << i / 4;
    }

    const Result<PictureSize> size = loader->ownSize(fixture(f.name));
    ASSERT_TRUE(size.ok()) << reasonText(size);
    EXPECT_EQ(size.value(), r->ownSize);
}

INSTANTIATE_TEST_SUITE_P(Loader, EachFixture, ::testing::ValuesIn(kFixtures), fixtureName);

// WebP, HEIC and AVIF decode through whatever codecs the system has: each fixture is either
// shown right or refused with the reason, never shown wrong (Wine has no HEIF codec at all).
TEST(Loader, KindsWithoutACodecEverywhereShowRightOrFailWithTheReason)
{
    auto loader = createPlatformPictureLoader();
    for (const char* name : {"lossy.webp", "plain.heic", "plain.avif"}) {
        const Result<LoadedPicture> r = loader->load(fixture(name), LoadRequest{});
        if (!r.ok()) {
#ifdef _WIN32
            EXPECT_EQ(reasonText(r), "no codec for this picture on this system") << name;
#else
            ADD_FAILURE() << name << ": " << reasonText(r);
#endif
            continue;
        }
        EXPECT_LE(largestDifference(r->picture, readPpm(fixture(std::string(name) + ".expected.ppm")), 8), 16) << name;
    }
}

TEST(Loader, ReducedDecodeCoversTheBoxAndKeepsTheOwnSize)
{
    auto loader = createPlatformPictureLoader();
    LoadRequest request;
    request.fitWidth = 200;
    request.fitHeight = 150;
    const Result<LoadedPicture> r = loader->load(fixture("photo800x600.jpg"), request);
    ASSERT_TRUE(r.ok()) << reasonText(r);
    EXPECT_EQ(r->ownSize, (PictureSize{800, 600}));
    EXPECT_GE(r->picture.width(), 200);
    EXPECT_GE(r->picture.height(), 150);
    EXPECT_LT(r->picture.width(), 800) << "no reduction happened";
    // The white square of the top-left eighth survives the reduction.
    const int x = r->picture.width() / 16;
    EXPECT_GT(r->picture.pixel(x, x)[0], 200);

    // A picture turned by its EXIF tag is reduced in its upright shape: a wide box, which the
    // stored picture (lying on its side) would cover at a smaller scale than the upright one.
    request.fitWidth = 40;
    request.fitHeight = 16;
    const Result<LoadedPicture> turned = loader->load(fixture("orient6.jpg"), request);
    ASSERT_TRUE(turned.ok()) << reasonText(turned);
    EXPECT_EQ(turned->ownSize, (PictureSize{48, 64}));
    EXPECT_GE(turned->picture.width(), 40);
    EXPECT_GE(turned->picture.height(), 16);
    EXPECT_LT(turned->picture.width(), turned->picture.height());

#ifndef _WIN32
    // A HEIC's own thumbnail serves a box it covers; the own size stays the picture's.
    const Result<LoadedPicture> thumb = loader->load(fixture("thumbnail.heic"), LoadRequest{30, 20});
    ASSERT_TRUE(thumb.ok()) << reasonText(thumb);
    EXPECT_EQ(thumb->ownSize, (PictureSize{64, 48}));
    EXPECT_EQ(thumb->picture.width(), 32);
    EXPECT_EQ(loader->load(fixture("thumbnail.heic"), LoadRequest{40, 20})->picture.width(), 64);
    // A WebP is scaled by its decoder to the smallest size in its proportions that covers the box.
    const Result<LoadedPicture> webp = loader->load(fixture("lossy.webp"), LoadRequest{30, 20});
    ASSERT_TRUE(webp.ok()) << reasonText(webp);
    EXPECT_EQ(webp->picture.width(), 30);
    EXPECT_EQ(webp->picture.height(), 23);
#endif

    // Pictures smaller than the box come whole.
    const Result<LoadedPicture> small = loader->load(fixture("baseline.jpg"), LoadRequest{1920, 1080});
    ASSERT_TRUE(small.ok());
    EXPECT_EQ(small->picture.width(), 64);
}

TEST(Loader, AReducedBitmapOrGifIsPlacedWithTheWholeOnesPixels)
{
    // A bitmap or a GIF may come reduced to the size it is shown at: placed in the show's
    // full-screen way, it must give exactly the pixels the whole picture stretched would. Boxes
    // that halve, that leave odd ratios, that squeeze one side to a pixel, and that are larger
    // than the picture (whole); bottom-up, top-down and old-header bitmaps (read from the file
    // row by row, and from memory); GIFs interlaced, with a transparent colour, a local colour
    // table only, a first frame smaller than the screen and off its corner, and a 0 x 0 screen.
    auto loader = createPlatformPictureLoader();
    const PictureSize boxes[] = {{32, 24}, {37, 20}, {13, 50}, {1, 1}, {64, 48}, {63, 48}, {300, 200}};
    for (const char* name : {"bits24.bmp", "top-down.bmp", "os2.bmp", "plain.gif", "interlaced.gif", "transparent.gif",
                             "local-table.gif", "animated.gif", "offset.gif", "zero-screen.gif"}) {
        const Result<LoadedPicture> whole = loader->load(fixture(name), LoadRequest{});
        ASSERT_TRUE(whole.ok()) << reasonText(whole);
        for (const PictureSize box : boxes) {
            LoadRequest request;
            request.fitWidth = box.width;
            request.fitHeight = box.height;
            const Result<LoadedPicture> reduced = loader->load(fixture(name), request);
            ASSERT_TRUE(reduced.ok()) << reasonText(reduced);
            EXPECT_EQ(reduced->ownSize, whole->ownSize);
            const PictureSize shown = loading::fittedSize(whole->ownSize, box.width, box.height);
            Picture fromWhole(shown.width, shown.height), fromReduced(shown.width, shown.height);
            show::stretchCopy(fromWhole, 0, 0, shown.width, shown.height, whole->picture, 0, 0, whole->picture.width(),
                              whole->picture.height());
            show::stretchCopy(fromReduced, 0, 0, shown.width, shown.height, reduced->picture, 0, 0,
                              reduced->picture.width(), reduced->picture.height());
            EXPECT_EQ(fromReduced, fromWhole) << name << " in " << box.width << " x " << box.height;
            // The loader reads a bitmap's rows from the file as they come; from the file's bytes
            // in memory the same rows give the same picture.
            const Result<LoadedPicture> inMemory = decodePlatformPicture(readBytes(fixture(name)), request);
            EXPECT_EQ(reduced->picture, inMemory->picture) << name << " in " << box.width << " x " << box.height;
        }
    }
}

TEST(Loader, MetafileEscapesAreDroppedAndAbsurdPensNarrowed)
{
    // Calls `visit(function, record)` for each record of a cleaned metafile, whose sizes must hold.
    const auto forEachRecord = [](const std::vector<std::uint8_t>& wmf, auto visit) {
        for (std::size_t at = 18; at + 6 <= wmf.size();) {
            const std::uint32_t words = wmf[at] | wmf[at + 1] << 8 | wmf[at + 2] << 16;
            visit(wmf[at + 4] | wmf[at + 5] << 8, wmf.data() + at);
            ASSERT_GE(words, 3u);
            at += words * 2;
        }
    };
    const std::vector<std::uint8_t> bytes = readBytes(fixture("escape.wmf"));
    loading::WmfPlan plan;
    ASSERT_EQ(reasonText(loading::planWmf(bytes.data(), bytes.size(), plan)), "");
    EXPECT_EQ(plan.recordsDropped, 1u);
    forEachRecord(plan.cleaned, [](int function, const std::uint8_t*) { EXPECT_NE(function, 0x0626); });

    // A 2048-unit pen on a 64 x 48 window: drawn as a 128-unit pen, which covers as much.
    const std::vector<std::uint8_t> wide = readBytes(sourceFile("tests/fuzz/corpus/wmf/wide-pen.wmf"));
    ASSERT_EQ(reasonText(loading::planWmf(wide.data(), wide.size(), plan)), "");
    int pens = 0;
    forEachRecord(plan.cleaned, [&](int function, const std::uint8_t* record) {
        if (function == 0x02FA) {
            EXPECT_LE(std::int16_t(record[8] | record[9] << 8), 128);
            ++pens;
        }
    });
    EXPECT_EQ(pens, 1);
}

// Filled shapes drawn with a red brush and a null pen, one in each quarter of an 80 x 80
// metafile: Windows fills them all, and so must every loader (a null pen leaves the fill
// as the only thing that shows).
TEST(Loader, MetafileShapesAreFilledAsWindowsFillsThem)
{
    std::vector<std::uint8_t> wmf;
    auto record = [&](int function, std::initializer_list<int> params) {
        loading::putWmfDword(wmf, std::uint32_t(3 + params.size()));
        loading::putWmfWord(wmf, function);
        for (int p : params) loading::putWmfWord(wmf, p);
    };
    for (int v : {1, 9, 0x0300, 0, 0, 2, 0, 0, 0}) loading::putWmfWord(wmf, v); // header; sizes filled in below
    record(0x020B, {0, 0});                 // SETWINDOWORG
    record(0x020C, {80, 80});               // SETWINDOWEXT
    record(0x02FC, {0, 0x00FF, 0, 0});      // CREATEBRUSHINDIRECT solid red
    record(0x012D, {0});                    // SELECTOBJECT brush
    record(0x02FA, {5, 0, 0, 0, 0});        // CREATEPENINDIRECT PS_NULL
    record(0x012D, {1});                    // SELECTOBJECT pen
    record(0x0418, {40, 40, 0, 0});         // ELLIPSE in the top-left quarter
    record(0x0830, {20, 40, 20, 80, 40, 80, 0, 40}); // CHORD: the top half of the top-right quarter's ellipse
    record(0x081A, {40, 20, 60, 40, 80, 40, 40, 0}); // PIE: its upper right quarter, bottom-left
    record(0x061C, {20, 20, 80, 80, 40, 40});        // ROUNDRECT bottom-right, corners 20 x 20
    record(0x0000, {});
    const std::size_t words = wmf.size() / 2;
    wmf[6] = std::uint8_t(words);
    wmf[7] = std::uint8_t(words >> 8);
    wmf[12] = 11; // the longest record, in words

    auto loader = createPlatformPictureLoader();
    const Result<LoadedPicture> r = loader->load(writeTemporary("shapes.wmf", wmf), {});
    ASSERT_TRUE(r.ok()) << reasonText(r);
    ASSERT_EQ(r->ownSize, (PictureSize{80, 80}));
    // Points inside and beside the ellipse, the chord, the pie and the rounded rectangle.
    const std::uint32_t red = 0xFF0000, white = 0xFFFFFF;
    for (const auto& [x, y, want] : {std::tuple{20, 20, red}, {2, 2, white}, {60, 10, red}, {60, 32, white},
                                     {28, 52, red}, {12, 70, white}, {60, 60, red}, {60, 42, red}, {41, 41, white}}) {
        EXPECT_EQ(r->picture.pixelValue(x, y), want) << x << ", " << y;
    }
}

#ifdef VELMORA_FX_PATH
int runFx(const std::string& in, const std::string& out)
{
    const int status = std::system((std::string(VELMORA_FX_PATH) + " 0 0 " + in + " " + out).c_str());
#ifdef _WIN32
    return status; // a crash shows as its exception code
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// The tool's failures (one line, no output) are its own suite's; here only that it reads
// through this loader, which turns photos upright and refuses, as the tool's failure (1) and
// not a crash, the headers that once brought a system decoder down.
TEST(Loader, FxToolReadsThroughThisLoader)
{
    const std::string out = writeTemporary("fx-out.bmp", {});
#ifdef _WIN32
    for (const char* name : {"orient6.jpg", "orient6.tif"}) {
#else
    for (const char* name : {"orient6.jpg", "orient6.tif", "turned.avif"}) {
#endif
        ASSERT_EQ(runFx(fixture(name), out), 0) << name;
        const std::vector<std::uint8_t> bmp = readBytes(out);
        ASSERT_GE(bmp.size(), 26u);
        EXPECT_EQ(bmp[18] | bmp[19] << 8, 48) << name; // turned upright: 48 wide, 64 high
        EXPECT_EQ(bmp[22] | bmp[23] << 8, 64) << name;
    }
    for (const char* name : {"square-60000.jpg", "nocolours.gif", "masks-gap.bmp", "dangling-slots.wmf", "select-65535.wmf"}) {
        EXPECT_EQ(runFx(hostile(name), out), 1) << name;
    }
}
#endif
