// The show form: placement, tiles and grid, effect order by FilterMode, picture wrap,
// input rules, and a long seeded run checked against the cycle's invariants.
#include "show_rig.h"

#include "show/decoding_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <numeric>
#include <optional>
#include <set>

using namespace velmora;
using namespace velmora::show;
using namespace velmora::show::testing;

namespace {

bool onGrid(const ShowState& s, int x, int y)
{
    return (x > 0 && x % s.GridW == 0 && x / s.GridW < GridColumns) ||
           (y > 0 && y % s.GridH == 0 && y / s.GridH < GridRows);
}

// Pixels of `area` that differ between a and b, grid lines aside.
int differencesOffGrid(const ShowState& s, const Picture& a, int ax, int ay, const Picture& b, int bx, int by,
                       Rect area)
{
    int count = 0;
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
            if (!onGrid(s, area.x + x, area.y + y) &&
                a.pixelValue(ax + x, ay + y) != b.pixelValue(bx + x, by + y))
                ++count;
    return count;
}

bool isPermutation(const std::array<int, TileCount + 1>& order)
{
    std::array<int, TileCount> numbers;
    std::iota(numbers.begin(), numbers.end(), 1);
    return std::is_permutation(order.begin() + 1, order.end(), numbers.begin());
}

} // namespace

// With no picture or one, the same image stays on Master and is filtered again, the picture
// loaded once; with none it is the desktop.
TEST(ShowForm, PicturesAreScaledByTheirLongerSideOrPlacedAtTheirOwnSizeAndAnOnlyPictureIsFilteredAgain)
{
    struct Case {
        int w, h, imageSize;
        Rect expected;
    };
    for (const Case& c : {Case{200, 100, 1, {0, 128, 1024, 512}}, Case{200, 100, 0, {412, 334, 200, 100}},
                          Case{100, 200, 1, {320, 0, 384, 768}}, Case{0, 0, 1, {0, 0, 1024, 768}}}) {
        Show show;
        show.settings.ImageSize = std::int16_t(c.imageSize);
        if (c.w > 0) show.addPicture("p", solid(c.w, c.h, 255, 255, 255));
        Picture expected(1024, 768); // the picture's box white (the desktop's blue), black all around it
        fillBox(expected, c.expected.x, c.expected.y, c.expected.right(), c.expected.bottom(),
                c.w > 0 ? 0xFFFFFF : 0xA05A0A);
        EXPECT_TRUE(show.start(1024, 768).buffers().Master == expected) << c.w << " x " << c.h << ", " << c.imageSize;
        ASSERT_TRUE(show.frameUntil([&] { return show.state().phase == ShowPhase::PauseAfterReveal; }));
        EXPECT_TRUE(show.buffers().Master == expected) << c.w << " x " << c.h << ", " << c.imageSize;
        EXPECT_EQ(show.loader.loads.size(), c.w > 0 ? 1u : 0u);
    }
}

TEST(ShowForm, FilterModeDecidesHowOftenTheEffectAdvances)
{
    // Expected EffectCounter of the first 96 tiles (two pictures' passes).
    std::map<int, std::vector<int>> expected;
    for (int t = 0; t < 96; ++t) {
        expected[1].push_back((t + 1) % 48 + 1); // 2, 3, ... 48, 1, 2, ...
        expected[0].push_back(t < 48 ? 1 : 2);   // one effect per picture
        expected[7].push_back(1);                // never advances
    }
    for (const auto& [mode, counters] : expected) {
        Show show;
        show.settings.FilterMode = std::int16_t(mode);
        show.addPicture("a", pattern(96, 72));
        show.addPicture("b", solid(96, 72, 0, 200, 0));
        show.start(96, 72);
        std::vector<int> seen;
        for (int frames = 0; seen.size() < counters.size() && frames < 5000; ++frames) {
            show.frame();
            if (!show.tileJustStarted()) continue;
            const ShowState& s = show.state();
            seen.push_back(s.EffectCounter);
            EXPECT_EQ(s.CurEffect, s.EffectOrder[std::size_t(s.EffectCounter)]);
        }
        EXPECT_EQ(seen, counters) << "FilterMode " << mode;
    }

    // One effect per picture reaches every one of the 48 rows before it starts again.
    Show show;
    show.settings.FilterMode = 0;
    show.addPicture("a", pattern(48, 36));
    show.start(48, 36);
    std::vector<int> firstOfRound;
    for (int frames = 0; firstOfRound.size() < 49 && frames < 400000; ++frames) {
        show.frame();
        if (show.tileJustStarted() && show.state().TileCounter == 1)
            firstOfRound.push_back(show.state().EffectCounter);
    }
    std::vector<int> rounds(48);
    std::iota(rounds.begin(), rounds.end(), 1);
    rounds.push_back(1);
    EXPECT_EQ(firstOfRound, rounds);
}

// A picture that fails to load, or an order entry past the list, is black for its round; the
// counter wraps after the last whatever became of it.
TEST(ShowForm, ThePictureCounterWrapsEvenWhenTheLastPicturesFail)
{
    Show show;
    for (const char* name : {"a", "b"}) show.addPicture(name, pattern(40, 30));
    for (const char* name : {"broken", "c"}) show.addPicture(name, Picture());
    show.catalogue.ShowOrder[4] = 99; // points past the list
    ShowForm& form = show.start(96, 72);
    form.LoadNextPicture();
    EXPECT_EQ(form.state().PicCounter, 2);
    for (int counter : {3, 0}) {
        form.LoadNextPicture();
        EXPECT_EQ(form.state().PicCounter, counter);
        EXPECT_EQ(form.buffers().Master, Picture(96, 72));
    }
    form.LoadNextPicture();
    EXPECT_EQ(show.loader.loads, (std::vector<std::string>{"a", "b", "broken", "a"}));
}

// Checked frame by frame on a screen whose grid drifts from its tiles both ways (342 / 8 and
// 203 / 6 round up: lines every 43 and 34 pixels, tiles of 42 x 33); the tiles leave columns
// at the right and rows at the bottom, which the reveal must fill too.
TEST(ShowForm, ALongSeededRunKeepsTheCycleSound)
{
    Show show(7);
    show.addPicture("a", pattern(342, 203));
    show.addPicture("b", solid(100, 144, 200, 40, 40));
    show.start(342, 203);
    const ShowState& s = show.state();
    const ShowBuffers& b = show.buffers();
    EXPECT_EQ(b.Display.pixelValue(43, 5), 0u);
    EXPECT_NE(b.Display.pixelValue(42, 5), 0u);
    EXPECT_EQ(b.Display.pixelValue(5, 34), 0u);
    EXPECT_NE(b.Display.pixelValue(5, 33), 0u);

    std::set<int> directions;
    int reveals = 0, revealFrames = 0, pauseFrames = 0, tileStarts = 0;
    for (int frame = 0; reveals < 2; ++frame) {
        ASSERT_LT(frame, 5000);
        const Picture before = b.Display;
        const ShowPhase phaseBefore = s.phase;
        const bool flipping = show.form->timer(4).enabled;
        // The grid is redrawn only across the tile just drawn; between flips, drawing all of it
        // must change nothing.
        if (!flipping) {
            show.form->DrawGrid();
            ASSERT_TRUE(before == b.Display) << "frame " << frame;
        }
        const std::size_t presents = show.platform.presented.size();
        const int tileBefore = s.TileCounter, stepBefore = s.FlipStep;
        const std::int64_t at = show.platform.now + FrameIntervalMs;
        const std::optional<std::int64_t> due = show.form->nextWorkAt(at);
        ASSERT_TRUE(due.has_value());
        // A shell with interval timers sleeps through a pause in one wait, and ticks every frame otherwise.
        ASSERT_EQ(show.form->timerDelay(3, at), std::max<std::int64_t>(Timer3IntervalMs, *due - at));
        show.frame();

        // A shell may sleep until nextWorkAt: exactly the frames before it do nothing.
        const bool worked = s.phase != phaseBefore || s.TileCounter != tileBefore || s.FlipStep != stepBefore ||
                            !(before == b.Display);
        ASSERT_EQ(worked, *due <= at) << "frame " << frame;

        ASSERT_NE(show.form->timer(3).enabled, show.form->timer(4).enabled) << "frame " << frame;
        // Whatever changed on Display was presented this frame, in a few areas at most.
        const std::vector<Rect> shown(show.platform.presented.begin() + std::ptrdiff_t(presents),
                                      show.platform.presented.end());
        ASSERT_LE(shown.size(), 4u);
        for (int y = 0; y < 203; ++y)
            for (int x = 0; x < 342; ++x)
                if (before.pixelValue(x, y) != b.Display.pixelValue(x, y)) {
                    const auto covers = [&](const Rect& r) { return r.contains(x, y); };
                    ASSERT_TRUE(std::any_of(shown.begin(), shown.end(), covers));
                }

        if (s.phase == phaseBefore &&
            (s.phase == ShowPhase::PauseBeforeReveal || s.phase == ShowPhase::PauseAfterReveal)) {
            ++pauseFrames;
            ASSERT_TRUE(before == b.Display) << "a pause changed the screen";
        }
        if (s.phase == ShowPhase::Reveal || phaseBefore == ShowPhase::Reveal) ++revealFrames;
        if (show.tileJustStarted()) {
            ++tileStarts;
            ASSERT_TRUE(isPermutation(s.TileOrder));
            ASSERT_TRUE(isPermutation(s.EffectOrder));
            directions.insert(s.FlipDir);
        }
        if (flipping && !show.form->timer(4).enabled) { // the final copy is exact
            ASSERT_EQ(differencesOffGrid(s, b.Display, s.PointX, s.PointY, b.Pic_D, 0, 0,
                                         {s.PointX, s.PointY, s.TileW, s.TileH}), 0);
        }
        if (phaseBefore == ShowPhase::Reveal && s.phase == ShowPhase::PauseAfterReveal) {
            ++reveals;
            ASSERT_EQ(differencesOffGrid(s, b.Display, 0, 0, b.Master, 0, 0, boundsOf(b.Master)), 0);
        }
    }
    EXPECT_EQ(directions, (std::set<int>{1, 2, 3, 4}));
    EXPECT_EQ(tileStarts, 2 * TileCount); // each tile once a picture
    EXPECT_EQ(revealFrames, 2 * (TileCount * 25) / RevealStepsPerFrame);
    // Three whole pauses so far (before, after, before), each about a second of still frames.
    EXPECT_EQ(pauseFrames, 3 * (PicturePauseMs / FrameIntervalMs));
    EXPECT_EQ(show.loader.loads, (std::vector<std::string>{"a", "b", "a"}));
}

// Common screens whose size is no multiple of the tiles: the reveal brings the next picture
// to the columns (1366 x 768) or rows (1280 x 1024) that no tile covers.
TEST(ShowForm, TheRevealReachesTheEdgesNoTileCovers)
{
    for (const auto& [w, h] : {std::pair{1366, 768}, std::pair{1280, 1024}}) {
        Show show(3);
        show.addPicture("a", pattern(w, h));
        show.addPicture("b", solid(w, h, 0, 0, 250));
        show.start(w, h);
        const ShowBuffers& b = show.buffers();
        EXPECT_NE(b.Display.pixelValue(w - 1, h - 1), 0x0000FAu);
        ASSERT_TRUE(show.frameUntil([&] { return show.state().phase == ShowPhase::PauseAfterReveal; }));
        EXPECT_EQ(b.Display.pixelValue(w - 1, h - 1), 0x0000FAu) << w << " x " << h;
        EXPECT_EQ(differencesOffGrid(show.state(), b.Display, 0, 0, b.Master, 0, 0, boundsOf(b.Master)), 0);
    }
}

// A new window size lays the same show out again: the music plays on, Master holds the same
// picture composed for the new size, and the picture's tiles start over in the new layout. A
// pause keeps its end, a reveal ends at once, and sizes a window passes through do no harm.
TEST(ShowForm, ResizingLaysTheSameShowOutAgainAndKeepsItsCourse)
{
    Show show(5), fresh(5);
    for (Show* each : {&show, &fresh}) {
        each->addPicture("a", pattern(200, 100));
        each->addPicture("b", solid(100, 200, 0, 0, 250));
    }
    ShowForm& form = show.start(320, 240);
    while (form.state().TileCounter < 3 || form.state().FlipStep != 6) show.frame(); // a flip half-way
    form.Form_Resize(320, 240); // the same size again: the flip goes on
    EXPECT_TRUE(form.timer(4).enabled);
    const int effectCounter = form.state().EffectCounter;
    (void)form.takeDirtyRect();
    form.Form_Resize(1024, 768);

    fresh.start(1024, 768);
    EXPECT_TRUE(form.buffers().Master == fresh.buffers().Master);
    EXPECT_TRUE(form.buffers().Display == fresh.buffers().Display); // the picture and its grid, nothing turned
    EXPECT_EQ(form.tileRect(48), (Rect{896, 640, 128, 128}));
    EXPECT_EQ(form.takeDirtyRect(), (Rect{0, 0, 1024, 768}));
    EXPECT_EQ(show.music.stops, 0);
    EXPECT_EQ(show.loader.loads, (std::vector<std::string>{"a"})); // composed again from memory
    EXPECT_EQ(form.state().EffectCounter, effectCounter);
    EXPECT_TRUE(form.timer(3).enabled && !form.timer(4).enabled);

    std::set<int> tiles;
    while (form.state().phase == ShowPhase::Tiles) {
        show.frame();
        if (show.tileJustStarted()) tiles.insert(form.state().CurTile);
    }
    EXPECT_EQ(tiles.size(), 48u);

    // A picture change keeps its course: the pause before the reveal ends when it would have.
    ASSERT_EQ(form.state().phase, ShowPhase::PauseBeforeReveal);
    const std::int64_t pauseEnd = form.state().pauseEndMs;
    form.Form_Resize(240, 180);
    EXPECT_EQ(form.state().phase, ShowPhase::PauseBeforeReveal);
    EXPECT_EQ(form.state().pauseEndMs, pauseEnd);

    while (form.state().phase != ShowPhase::Reveal) show.frame();
    for (int i = 0; i < 20; ++i) show.frame();
    ASSERT_EQ(form.state().phase, ShowPhase::Reveal);
    form.Form_Resize(96, 72);
    // The reveal is over at once: the new picture stands on the screen and a whole pause follows.
    EXPECT_EQ(form.state().phase, ShowPhase::PauseAfterReveal);
    EXPECT_EQ(form.state().pauseEndMs, show.platform.now + PicturePauseMs);
    const ShowBuffers& b = form.buffers();
    EXPECT_EQ(differencesOffGrid(form.state(), b.Display, 0, 0, b.Master, 0, 0, boundsOf(b.Master)), 0);
    EXPECT_EQ(b.Master.pixelValue(48, 36), 0x0000FAu);
    EXPECT_EQ(show.loader.loads, (std::vector<std::string>{"a", "b"}));

    // Sizes a window can pass through on its way, and back.
    for (const auto& [w, h] :
         std::vector<std::pair<int, int>>{{0, 0}, {-3, 1 << 30}, {5, 3}, {13, 200}, {-4, 30}, {192, 144}}) {
        form.Form_Resize(w, h);
        for (int i = 0; i < 400; ++i) {
            show.frame();
            ASSERT_NE(form.timer(3).enabled, form.timer(4).enabled);
        }
    }
    EXPECT_EQ(show.music.starts, 1);
}

// Running out of memory anywhere in a load (opening or reading the file, decoding it, reading
// its size) is a failure with a reason, never an exception: the show then goes on as after any
// picture that fails to load.
TEST(DecodingLoader, AnAllocationFailureIsAFailedLoadWithAReason)
{
    class Decoders final : public loading::PictureDecoders {
    public:
        loading::OpenedFile openFile(const std::string&) override { throw std::bad_alloc(); }
        Result<LoadedPicture> decode(loading::PictureFormat, const std::uint8_t*, std::size_t, const LoadRequest&) override
        {
            throw std::bad_alloc();
        }
        Result<PictureSize> storedSize(loading::PictureFormat, const std::uint8_t*, std::size_t) override
        {
            throw std::bad_alloc();
        }
    } decoders;
    // A 1 x 1, 24-bit bitmap whose header passes the front end's check.
    const std::uint8_t bmp[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24};
    EXPECT_EQ(reasonText(loading::loadPicture(decoders, bmp, sizeof bmp, {})), "out of memory");
    EXPECT_EQ(reasonText(loading::pictureSize(decoders, bmp, sizeof bmp)), "out of memory");
    loading::DecodingLoader loader(std::make_unique<Decoders>());
    EXPECT_EQ(reasonText(loader.load("vast", {})), "out of memory");
    EXPECT_EQ(reasonText(loader.ownSize("vast")), "out of memory");
}

// Only a diagonal move from the first position ends the show, and every key but the arrows
// while the music takes them; the show then stops once. Straight and diagonal moves, and moves
// and a click without arguments, are driven on the real windows too (show_e2e.sh mouse and
// no-arguments, LinuxShow.MovementAndClicks...).
TEST(ShowInput, DiagonalMovesAndKeysEndTheShowButArrowsChangeTracksWhenTheMusicTakesThem)
{
    Show show;
    ShowForm& form = show.start(96, 72);
    EXPECT_FALSE(form.Display_MouseMove(100, 100)); // only recorded
    EXPECT_TRUE(form.Display_MouseMove(101, 101));
    // After a refused password the next move records a new first position.
    EXPECT_FALSE(form.Display_MouseMove(300, 300));
    EXPECT_FALSE(form.Display_MouseMove(300, 301));
    EXPECT_EQ(InputRules(true).Form_KeyDown(65, false), InputAction::EndShow);
    EXPECT_TRUE(form.Form_KeyDown(KeyRightArrow));

    show.music.trackKeys = true;
    EXPECT_FALSE(form.Form_KeyDown(KeyRightArrow));
    EXPECT_FALSE(form.Form_KeyDown(KeyLeftArrow));
    EXPECT_TRUE(form.Form_KeyDown(KeyLeftArrow + 1)); // up arrow
    EXPECT_EQ(show.music.next, 1);
    EXPECT_EQ(show.music.previous, 1);

    EXPECT_TRUE(form.timer(1).enabled);
    form.stopShow();
    form.stopShow();
    EXPECT_EQ(show.music.stops, 1);
    EXPECT_FALSE(form.timer(1).enabled || form.timer(3).enabled || form.timer(4).enabled);
    EXPECT_FALSE(form.nextWorkAt(0).has_value());
    const Picture last = form.buffers().Display;
    for (int i = 0; i < 50; ++i) show.frame();
    EXPECT_EQ(form.buffers().Display, last);
}

// Pictures prepared elsewhere (a worker reading slow storage) meet the show only through its
// state: the show opens on black and takes its first picture when it comes, the next picture
// is asked for as soon as the current one is placed, and the pause before a reveal lasts until
// it is ready. Ticks never wait, so input is served all along.
TEST(ShowForm, PicturesStillBeingPreparedHoldTheCycleNotTheTicks)
{
    // Loads when taken, once opened for the picture asked for.
    class GatedSource final : public PictureSource {
    public:
        explicit GatedSource(PictureLoader& loader) : whenTaken_(loader) {}
        void request(const std::string& path, const LoadRequest& request) override
        {
            asked.push_back(path);
            whenTaken_.request(path, request);
        }
        std::optional<Result<LoadedPicture>> take(int) override
        {
            return std::exchange(open, false) ? whenTaken_.take() : std::nullopt;
        }
        void requestCatalogue(std::function<Catalogue()>) override {}
        std::optional<Catalogue> takeCatalogue(int) override { return std::nullopt; }
        bool open = false; // the next take gets the picture
        std::vector<std::string> asked;

    private:
        LoadWhenTaken whenTaken_;
    };

    Show show;
    show.addPicture("a", solid(96, 72, 200, 0, 0));
    show.addPicture("b", solid(96, 72, 0, 0, 200));
    GatedSource source(show.loader);
    ShowForm& form = show.start(96, 72, {show.platform, show.loader, show.music, show.random, show.engine, &source});
    EXPECT_EQ(form.state().phase, ShowPhase::FirstPicture);
    EXPECT_EQ(form.buffers().Display.pixelValue(5, 5), 0u);
    for (int i = 0; i < 100; ++i) show.frame();
    EXPECT_EQ(form.state().phase, ShowPhase::FirstPicture);
    EXPECT_TRUE(form.timer(3).enabled);

    source.open = true;
    show.frame();
    EXPECT_EQ(form.state().phase, ShowPhase::Tiles);
    EXPECT_EQ(form.buffers().Display.pixelValue(5, 5), 0xC80000u);
    EXPECT_EQ(source.asked, (std::vector<std::string>{"a", "b"})); // b is read while a is filtered

    while (form.state().phase != ShowPhase::PauseBeforeReveal) show.frame();
    for (int i = 0; i < 500; ++i) show.frame(); // far past the pause's end
    EXPECT_EQ(form.state().phase, ShowPhase::PauseBeforeReveal);
    EXPECT_EQ(form.nextWorkAt(show.platform.now), show.platform.now); // polled every frame
    source.open = true;
    show.frame();
    EXPECT_EQ(form.state().phase, ShowPhase::Reveal);
    EXPECT_EQ(form.buffers().Master.pixelValue(5, 5), 0x0000C8u);
    EXPECT_EQ(source.asked, (std::vector<std::string>{"a", "b", "a"}));
    EXPECT_EQ(show.loader.loads, (std::vector<std::string>{"a", "b"}));
    show.form.reset(); // before the source it takes pictures from
}

TEST(ShowForm, AHeldFolderScanKeepsTheShowOpenAndEndableAndItsPicturesComeInOrder)
{
    // One folder whose listing waits until released, as on slow storage.
    class HeldFolder final : public FileSystem {
    public:
        std::vector<std::string> names;
        Gate gate;
        char separator() const override { return '/'; }
        std::vector<FoundFile> findFiles(const std::string& pattern) override
        {
            gate.wait();
            const std::string ending = pattern.substr(pattern.rfind('*') + 1); // "/p/*.bmp": ".bmp"
            std::vector<FoundFile> found;
            for (const auto& name : names)
                if (name.size() > ending.size() && name.substr(name.size() - ending.size()) == ending)
                    found.push_back({name, AttrArchive});
            return found;
        }
        bool canOpenForReading(const std::string&) override { return false; }
        bool fileExists(const std::string&) override { return false; }
        FileRead readFile(const std::string&, std::size_t) override { return {}; }
        Result<void, WriteProblem> replaceFile(const std::string&, std::string_view) override { return WriteProblem::Failed; }
        bool makeFolders(const std::string&) override { return false; }
    };
    const std::map<std::string, std::uint32_t> colours{
        {"/p/a.bmp", 0xC80000u}, {"/p/b.gif", 0x00C800u}, {"/p/c.jpg", 0x0000C8u}, {"/p/d.wmf", 0x646464u}};
    auto folder = std::make_shared<HeldFolder>();
    folder->names = {"c.jpg", "d.wmf", "a.bmp", "notes.txt", "b.gif"};
    auto loader = std::make_unique<FakeLoader>();
    for (const auto& [path, rgb] : colours)
        loader->pictures[path].picture = solid(96, 72, std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb));
    PictureWorker worker(std::move(loader));
    Show show(7); // its loader unused: the worker has one
    show.settings.ImageOrder = 1; // random: the show order is drawn once the folder is known
    ShowForm& form = show.start(96, 72, {show.platform, show.loader, show.music, show.random, show.engine, &worker,
                                         CatalogueScan{"/p", {1, 1, 1, 1}}, folder});
    const auto phaseIs = [&](ShowPhase phase) { return [&form, phase] { return form.state().phase == phase; }; };
    for (int i = 0; i < 50; ++i) show.frame();
    EXPECT_EQ(form.state().phase, ShowPhase::FirstPicture);
    EXPECT_EQ(form.buffers().Display.pixelValue(5, 5), 0u);
    EXPECT_EQ(show.music.starts, 1);
    EXPECT_TRUE(form.Form_KeyDown(65)); // a key ends the show while the folder is held

    folder->gate.release();
    ASSERT_TRUE(show.frameUntil(phaseIs(ShowPhase::Tiles)));

    // The draws come in the order of a show whose folder was scanned before it opened:
    // the show order, then the tile and effect orders.
    Random same(7);
    Catalogue sorted;
    sorted.ImageList = {"", "/p/a.bmp", "/p/b.gif", "/p/c.jpg", "/p/d.wmf"};
    sorted.ImageCount = 4;
    MakeShowOrder(1, same, sorted);
    Show before(7);
    for (int k = 1; k <= 4; ++k) before.addPicture(sorted.ImageList[std::size_t(sorted.ShowOrder[std::size_t(k)])], {});
    before.random = same;
    before.start(96, 72);
    EXPECT_EQ(form.state().TileOrder, before.state().TileOrder);
    EXPECT_EQ(form.state().EffectOrder, before.state().EffectOrder);

    // Every picture of the folder in that order, then the first again.
    std::vector<std::uint32_t> shown, expected;
    for (int k = 1; k <= 5; ++k) {
        shown.push_back(form.buffers().Master.pixelValue(5, 5));
        expected.push_back(colours.at(sorted.ImageList[std::size_t(sorted.ShowOrder[std::size_t((k - 1) % 4 + 1)])]));
        show.frameUntil(phaseIs(ShowPhase::PauseBeforeReveal));
        ASSERT_TRUE(show.frameUntil(phaseIs(ShowPhase::Reveal)));
    }
    EXPECT_EQ(shown, expected);
}
