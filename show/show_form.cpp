// The show window: set-up, picture composition, the slide cycle and both flips.
#include "show/show_form.h"

#include "show/effect_table.h"
#include "show/flip.h"
#include "show/picture_formats.h"
#include "startup/rounding.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <new>
#include <utility>

namespace velmora::show {

namespace {

// Coordinates handed to the copies are rounded as everywhere; one beyond any screen is 0.
int toPixels(double value) { return roundHalfEvenTo<int>(value).value_or(0); }

// The show keeps two screen-sized buffers (Display, Master). Their size is bounded by pixel
// count, not only by side: 2^25 pixels (an 8K screen fits) is 128 MiB a buffer, 256 MiB for
// the two. A larger screen gets buffers of full width and as many rows as fit;
// the rows below stay black.
constexpr int MaxScreenSide = 16384;
constexpr long long MaxScreenPixels = 1LL << 25;

struct ScreenSize {
    int width;
    int height;
};

ScreenSize boundedScreen(int width, int height)
{
    const int w = std::clamp(width, 0, MaxScreenSide);
    int h = std::clamp(height, 0, MaxScreenSide);
    if (w > 0 && (long long)w * h > MaxScreenPixels) {
        h = int(MaxScreenPixels / w);
    }
    return {w, h};
}

// Display in the memory the platform presents from, when it has any.
Picture displayPicture(ShowPlatform& platform)
{
    std::pmr::memory_resource* memory = platform.displayMemory();
    return memory != nullptr ? Picture(memory) : Picture();
}

} // namespace

ShowForm::ShowForm(const Settings& settings, const Catalogue& catalogue, ShowServices services,
                   bool commandLineEmpty)
    : settings_(settings), catalogue_(catalogue), services_(services), input_(commandLineEmpty),
      buffers_{displayPicture(services.platform), {}, {}, {}, {}}
{
    if (services_.pictures != nullptr) {
        source_ = services_.pictures;
    } else {
        ownSource_ = std::make_unique<LoadWhenTaken>(services_.loader);
        source_ = ownSource_.get();
    }
    sequence_ = services_.sequence != nullptr ? services_.sequence : &ownSequence_;
}

// The catalogue is known (and has its ShowOrder): the sequence takes its order from it, unless
// another monitor's show has already given it one.
void ShowForm::beginSequence()
{
    sequence_->begin(catalogue_);
    state_.PicCounter = 0;
    showPosition_ = 0;
    pictureStep_ = 0;
}

void ShowForm::Form_Load(int screenWidth, int screenHeight)
{
    assert(state_.phase == ShowPhase::NotLoaded);
    ShowState& s = state_;
    ShowBuffers& b = buffers_;

    // 1. Geometry.
    sizeBuffers(screenWidth, screenHeight);

    // 2. First picture, or the desktop as it is before the show covers it. A first picture
    // (or a catalogue) still coming after a short wait follows once it is ready (FirstPicture
    // below).
    bool waiting = false;
    if (services_.leader != nullptr && !leaderScanning()) {
        catalogue_ = services_.leader->catalogue_; // the one show order every monitor shares
    }
    if (services_.catalogueScan || leaderScanning()) {
        waiting = !startScan();
    } else if (catalogue_.ImageCount != 0) {
        beginSequence();
        waiting = !LoadNextPicture(FirstPictureWaitMs);
    } else if (!services_.platform.copyDesktop(b.Master)) {
        fillBox(b.Master, 0, 0, b.Master.width(), b.Master.height(), Black);
    }

    // 3. Show it.
    b.Display = b.Master;

    // 4. Tiles.
    layOutTiles();

    // 5. Grid.
    DrawGrid();

    // 6. Orders; while the catalogue is scanned they wait for it, so that the random draws
    // come in the same order as ever: the show order first.
    if (!scanning_) {
        MakeTileOrder();
        MakeEffectOrder();
    }
    s.EffectCounter = 1;
    s.TileCounter = 0;

    // 7. Music.
    services_.music.start();

    // 9. Start.
    timer3_.enabled = true;
    timer4_.enabled = false;
    s.phase = waiting ? ShowPhase::FirstPicture : ShowPhase::Tiles;
    markDirty(boundsOf(b.Display));
}

bool ShowForm::leaderScanning() const { return services_.leader != nullptr && services_.leader->scanning_; }

// The catalogue once scanned: this show's own scan, or the leader's catalogue once it has one.
std::optional<Catalogue> ShowForm::takeScannedCatalogue(int waitMs)
{
    if (services_.leader != nullptr) {
        if (leaderScanning()) {
            return std::nullopt;
        }
        return services_.leader->catalogue_;
    }
    return source_->takeCatalogue(waitMs);
}

// The catalogue is scanned on the picture source (or by the leader), with the desktop kept as
// it is now (before the window covers it) for a folder found empty. Master is black until the
// scan is done; returns true when the first picture or the desktop is on Master within the
// first wait.
bool ShowForm::startScan()
{
    const std::int64_t start = services_.platform.nowMilliseconds();
    ShowBuffers& b = buffers_;
    try {
        // A platform that keeps the desktop is asked only if the folder turns out empty.
        if (!services_.platform.desktopKept()) {
            desktopAtStart_.resize(b.Master.width(), b.Master.height());
            if (!services_.platform.copyDesktop(desktopAtStart_)) {
                desktopAtStart_ = Picture();
            }
        }
    } catch (const std::bad_alloc&) {
        desktopAtStart_ = Picture(); // an empty folder then shows black
    }
    fillBox(b.Master, 0, 0, b.Master.width(), b.Master.height(), Black);
    if (services_.leader == nullptr) {
        assert(services_.scanFiles != nullptr);
        source_->requestCatalogue(
            [scan = *services_.catalogueScan, files = services_.scanFiles] { return BuildImageList(scan, *files); });
    }
    scanning_ = true;
    std::optional<Catalogue> found = takeScannedCatalogue(FirstPictureWaitMs);
    if (!found) {
        return false;
    }
    const std::int64_t spent = services_.platform.nowMilliseconds() - start;
    const int left = int(std::clamp<std::int64_t>(FirstPictureWaitMs - spent, 0, FirstPictureWaitMs));
    return catalogueArrived(std::move(*found), left);
}

// The scanned catalogue gets its show order and its first picture is asked for; with no
// pictures the desktop kept at the start goes on Master. Returns whether Master is ready.
bool ShowForm::catalogueArrived(Catalogue found, int waitMs)
{
    scanning_ = false;
    catalogue_ = std::move(found);
    Picture desktop = std::exchange(desktopAtStart_, Picture());
    if (catalogue_.ImageCount != 0) {
        if (services_.leader == nullptr) {
            MakeShowOrder(settings_.ImageOrder, services_.random, catalogue_);
        }
        beginSequence();
        return LoadNextPicture(waitMs);
    }
    catalogue_.ShowOrder.clear();
    if (services_.platform.desktopKept()) {
        services_.platform.copyDesktop(buffers_.Master); // Master stays black without one
    } else {
        blockCopy(buffers_.Master, 0, 0, desktop.width(), desktop.height(), desktop, 0, 0);
    }
    return true;
}

// Master, now ready (or refined), goes on the screen under the grid and the tiles begin.
void ShowForm::showFirstPicture()
{
    buffers_.Display = buffers_.Master;
    DrawGrid();
    markDirty(boundsOf(buffers_.Display));
    state_.phase = ShowPhase::Tiles;
}

void ShowForm::sizeBuffers(int width, int height)
{
    const ScreenSize size = boundedScreen(width, height);
    try {
        buffers_.Display.resize(size.width, size.height);
        buffers_.Master.resize(size.width, size.height);
    } catch (const std::bad_alloc&) {
        // No memory for this screen: the show runs on empty buffers and shows nothing, but
        // still ends on input as always.
        buffers_ = ShowBuffers{};
    }
    state_.ScreenW = float(buffers_.Display.width());
    state_.ScreenH = float(buffers_.Display.height());
}

// Tiles numbered row by row from the top-left, and Pic_D and Pic_Dmy sized to one of them.
void ShowForm::layOutTiles()
{
    ShowState& s = state_;
    s.TileW = buffers_.Display.width() / GridColumns;
    s.TileH = buffers_.Display.height() / GridRows;
    try {
        buffers_.Pic_D.resize(s.TileW, s.TileH);
    } catch (const std::bad_alloc&) {
        buffers_.Pic_D = Picture(); // tiles then turn over unfiltered
    }
    try {
        buffers_.Pic_Dmy.resize(s.TileW, s.TileH);
    } catch (const std::bad_alloc&) {
        buffers_.Pic_Dmy = Picture(); // a reveal's old half then shows black
    }
    int k = 0;
    for (int i = 0; i < GridRows; ++i) {
        for (int j = 0; j < GridColumns; ++j) {
            ++k;
            s.TileX[std::size_t(k)] = s.TileW * j;
            s.TileY[std::size_t(k)] = s.TileH * i;
        }
    }
}

void ShowForm::Form_Resize(int screenWidth, int screenHeight)
{
    ShowState& s = state_;
    ShowBuffers& b = buffers_;
    const ScreenSize size = boundedScreen(screenWidth, screenHeight);
    const bool sameSize = size.width == b.Display.width() && size.height == b.Display.height();
    if (s.phase == ShowPhase::NotLoaded || s.phase == ShowPhase::Stopped || sameSize) {
        return;
    }
    sizeBuffers(screenWidth, screenHeight);
    if (catalogue_.ImageCount != 0 || scanning_) {
        fillBox(b.Master, 0, 0, b.Master.width(), b.Master.height(), Black);
        placePicture(); // the picture in memory, composed for the new size
    } else if (!services_.platform.copyDesktop(b.Master)) {
        fillBox(b.Master, 0, 0, b.Master.width(), b.Master.height(), Black);
    }
    b.Display = b.Master;
    layOutTiles();
    DrawGrid();

    // The tiles filtered so far were drawn for the old layout and are gone with it.
    switch (s.phase) {
    case ShowPhase::Tiles:
        MakeTileOrder();
        s.TileCounter = 0;
        timer4_.enabled = false;
        timer3_.enabled = true;
        break;
    case ShowPhase::Reveal:
        // Master already holds the picture being revealed, and Display now shows it.
        s.phase = ShowPhase::PauseAfterReveal;
        s.pauseEndMs = services_.platform.nowMilliseconds() + PicturePauseMs;
        break;
    default: break;
    }
    dirty_.assign(1, boundsOf(b.Display)); // anything still marked lay in the old layout
}

bool ShowForm::LoadNextPicture(int waitMs)
{
    ShowState& s = state_;
    s.PicCounter += 1;
    // The wrap happens whatever becomes of the load.
    if (s.PicCounter >= catalogue_.ImageCount) {
        s.PicCounter = 0;
    }
    showPosition_ = nextPosition();
    pictureStep_ += 1;
    return composePicture(showPosition_, waitMs);
}

std::int64_t ShowForm::nextPosition() const { return monitorPicturePosition(services_.monitor, pictureStep_); }

// Asks the source for the picture at `position` of the show order unless it is already asked
// for or ready. Only one picture is asked for at a time.
void ShowForm::askFor(std::int64_t position, bool coarseFirst)
{
    if ((ready_ && readyPosition_ == position) || askedPosition_ == position) {
        return;
    }
    ready_.reset();
    readyPosition_ = 0;
    const int index = sequence_->pictureAt(position);
    if (index < 1 || std::size_t(index) >= catalogue_.ImageList.size()) {
        ready_ = Reason{"no such picture"};
        readyPosition_ = position;
        askedPosition_ = 0;
        return;
    }
    LoadRequest request;
    if (settings_.ImageSize != 0) {
        request.fitWidth = buffers_.Master.width();
        request.fitHeight = buffers_.Master.height();
    }
    const std::string& path = catalogue_.ImageList[std::size_t(index)];
    if (coarseFirst) {
        source_->requestCoarseFirst(path, request);
    } else {
        source_->request(path, request);
    }
    askedPosition_ = position;
}

// Whether the picture at `position` is ready in `ready_`, asking for it if need be: coarse first
// while the show waits for its first picture. A coarse picture counts as ready; the whole one
// stays asked for.
bool ShowForm::pictureReady(std::int64_t position, int waitMs)
{
    askFor(position, state_.phase == ShowPhase::NotLoaded || state_.phase == ShowPhase::FirstPicture);
    if (askedPosition_ == position) {
        if (std::optional<Result<LoadedPicture>> taken = source_->take(waitMs)) {
            ready_ = std::move(taken);
            readyPosition_ = position;
            if (!ready_->ok() || !ready_->value().coarse) {
                askedPosition_ = 0;
            }
        }
    }
    return ready_ && readyPosition_ == position;
}

// Master cleared to black, then the picture at `position` of the show order placed on it;
// Master stays black when there is no such picture or it does not load. Returns false, with
// Master black, while the picture is still being prepared. A coarse picture is placed as any
// other (by the picture's own size, so it covers the same box), and the whole one is awaited
// (`refining_`) before anything else is asked for.
bool ShowForm::composePicture(std::int64_t position, int waitMs)
{
    ShowBuffers& b = buffers_;
    masterPosition_ = position;
    fillBox(b.Master, 0, 0, b.Master.width(), b.Master.height(), Black);
    b.Pic_Orgn = Picture(); // the last picture's memory is free before the next one is placed
    orgnOwn_ = {};
    if (!pictureReady(position, waitMs)) {
        return false;
    }
    Result<LoadedPicture> loaded = std::move(*ready_);
    ready_.reset();
    readyPosition_ = 0;
    sequence_->shown(position); // a picture that fails to load counts as shown: the show skips it
    refining_ = loaded.ok() && loaded->coarse;
    if (loaded.ok() && !loaded->picture.empty()) {
        b.Pic_Orgn = std::move(loaded->picture);
        // Placement follows the picture's own size even when the decoder delivered it reduced.
        orgnOwn_ = loaded->ownSize;
        if (orgnOwn_.width <= 0 || orgnOwn_.height <= 0) {
            orgnOwn_ = {b.Pic_Orgn.width(), b.Pic_Orgn.height()};
        }
        placePicture();
    }
    // The next picture is read and decoded while this one is filtered.
    if (catalogue_.ImageCount > 1 && !refining_) {
        askFor(nextPosition(), false);
    }
    return true;
}

// Pic_Orgn placed on Master (already black) as the size setting says.
void ShowForm::placePicture()
{
    ShowState& s = state_;
    ShowBuffers& b = buffers_;
    if (b.Pic_Orgn.empty()) {
        return; // Master stays black for this round
    }
    const bool fullScreen = settings_.ImageSize != 0;
    float dW = float(orgnOwn_.width);
    float dH = float(orgnOwn_.height);
    if (fullScreen) {
        const loading::Extent fitted = loading::fittedExtent(orgnOwn_, s.ScreenW, s.ScreenH);
        dW = fitted.width;
        dH = fitted.height;
    }
    const int x = toPixels((s.ScreenW - dW) / 2);
    const int y = toPixels((s.ScreenH - dH) / 2);
    const int width = toPixels(dW);
    const int height = toPixels(dH);
    if (width == b.Pic_Orgn.width() && height == b.Pic_Orgn.height()) {
        blockCopy(b.Master, x, y, width, height, b.Pic_Orgn, 0, 0);
    } else {
        stretchCopy(b.Master, x, y, width, height, b.Pic_Orgn, 0, 0, b.Pic_Orgn.width(), b.Pic_Orgn.height());
    }
}

void ShowForm::DrawGrid() { DrawGrid(boundsOf(buffers_.Display)); }

void ShowForm::DrawGrid(const Rect& area)
{
    ShowState& s = state_;
    s.GridW = toPixels(double(s.ScreenW) / GridColumns);
    s.GridH = toPixels(double(s.ScreenH) / GridRows);
    const int screenW = toPixels(s.ScreenW);
    const int screenH = toPixels(s.ScreenH);
    // Each line runs up to but not including the screen's far edge, as a pen draws it.
    auto drawPart = [&](const Rect& line) {
        const Rect part = intersect(line, area);
        if (!part.empty()) {
            fillBox(buffers_.Display, part.x, part.y, part.right(), part.bottom(), Black);
        }
    };
    for (int i = 1; i < GridColumns; ++i) {
        drawPart({i * s.GridW, 0, 1, screenH});
    }
    for (int i = 1; i < GridRows; ++i) {
        drawPart({0, i * s.GridH, screenW, 1});
    }
    // No dirty mark: every caller has just drawn `area` and marked it.
}

void ShowForm::makePermutation(std::array<int, TileCount + 1>& order, int n)
{
    assert(n >= 0 && n <= TileCount);
    std::array<bool, TileCount + 1> taken{};
    for (int t = 1; t <= n; ++t) {
        const int remaining = n - t + 1;
        int r = int(std::floor(services_.random.next() * remaining)) + 1;
        r = std::clamp(r, 1, remaining);
        for (int v = 1; v <= n; ++v) {
            if (!taken[std::size_t(v)] && --r == 0) {
                taken[std::size_t(v)] = true;
                order[std::size_t(t)] = v;
                break;
            }
        }
    }
}

void ShowForm::MakeTileOrder() { makePermutation(state_.TileOrder, TileCount); }

void ShowForm::MakeEffectOrder() { makePermutation(state_.EffectOrder, EffectCount); }

Rect ShowForm::tileRect(int k) const
{
    if (k < 1 || k > TileCount) {
        return {};
    }
    return {state_.TileX[std::size_t(k)], state_.TileY[std::size_t(k)], state_.TileW, state_.TileH};
}

Rect ShowForm::currentTile() const { return {state_.PointX, state_.PointY, state_.TileW, state_.TileH}; }

void ShowForm::Timer3_Timer()
{
    if (!timer3_.enabled || timer4_.enabled) {
        return;
    }
    ShowState& s = state_;
    const std::int64_t now = services_.platform.nowMilliseconds();
    switch (s.phase) {
    case ShowPhase::NotLoaded:
    case ShowPhase::Stopped:
        return;
    case ShowPhase::FirstPicture:
        // The show is on the screen; its catalogue and then its first picture come when the
        // source has them.
        if (scanning_) {
            std::optional<Catalogue> found = takeScannedCatalogue(0);
            if (!found) {
                return;
            }
            const bool ready = catalogueArrived(std::move(*found), 0);
            MakeTileOrder();
            MakeEffectOrder();
            if (ready) {
                showFirstPicture();
            }
            return;
        }
        if (!pictureReady(masterPosition_, 0)) {
            return;
        }
        composePicture(masterPosition_, 0);
        showFirstPicture();
        return;
    case ShowPhase::PauseBeforeReveal:
        if (now < s.pauseEndMs) {
            return;
        }
        // With 0 or 1 pictures Master keeps its image, which is filtered again. The pause
        // lasts until the next picture is ready; input is served meanwhile.
        if (catalogue_.ImageCount > 1) {
            if (!pictureReady(nextPosition(), 0)) {
                return;
            }
            LoadNextPicture();
        }
        RevealPicture();
        [[fallthrough]];
    case ShowPhase::Reveal:
        for (int i = 0; i < RevealStepsPerFrame; ++i) {
            if (revealStep(i + 1 < RevealStepsPerFrame)) {
                s.phase = ShowPhase::PauseAfterReveal;
                s.pauseEndMs = now + PicturePauseMs;
                break;
            }
        }
        return;
    case ShowPhase::PauseAfterReveal:
        if (now < s.pauseEndMs) {
            return;
        }
        changePictureDone();
        break;
    case ShowPhase::Tiles:
        // A coarse first picture is refined before its first tile is filtered: the tiles wait
        // for the whole picture (its decode ends within the load's time limit, failed or not),
        // then it is composed and shown as the first picture is.
        if (refining_) {
            if (!pictureReady(masterPosition_, 0)) {
                return;
            }
            composePicture(masterPosition_, 0);
            showFirstPicture();
        }
        s.TileCounter += 1;
        if (s.TileCounter > TileCount) {
            s.phase = ShowPhase::PauseBeforeReveal;
            s.pauseEndMs = now + PicturePauseMs;
            return;
        }
        break;
    }
    startTile();
}

void ShowForm::changePictureDone()
{
    ShowState& s = state_;
    MakeTileOrder();
    s.TileCounter = 1;
    if (settings_.FilterMode == 0)
        advanceEffect();
    s.phase = ShowPhase::Tiles;
}

// The next row of the effect order; after the last, a new order from its first row.
void ShowForm::advanceEffect()
{
    ShowState& s = state_;
    s.EffectCounter += 1;
    if (s.EffectCounter > EffectCount) {
        MakeEffectOrder();
        s.EffectCounter = 1;
    }
}

void ShowForm::startTile()
{
    ShowState& s = state_;
    ShowBuffers& b = buffers_;
    if (settings_.FilterMode == 1)
        advanceEffect();
    s.CurTile = s.TileOrder[std::size_t(std::clamp(s.TileCounter, 0, TileCount))];
    s.CurEffect = s.EffectOrder[std::size_t(std::clamp(s.EffectCounter, 0, EffectCount))];
    const Rect tile = tileRect(s.CurTile);
    s.PointX = tile.x;
    s.PointY = tile.y;

    blockCopy(b.Pic_D, 0, 0, s.TileW, s.TileH, b.Master, s.PointX, s.PointY);
    if (const Effect* effect = effectRow(s.CurEffect); effect != nullptr && !b.Pic_D.empty()) {
        // A busy or failing filter leaves Pic_D as copied: the tile turns over unchanged.
        (void)filters::Fil_Run(services_.filters, effect->type, b.Pic_D.view(), effect->param);
    }

    s.FlipDir = int(std::floor(4 * services_.random.next() + 1));
    s.FlipStep = 0;
    flipStale_ = tile;
    timer3_.enabled = false;
    timer4_.enabled = true;
}

void ShowForm::Timer4_Timer()
{
    if (!timer4_.enabled) {
        return;
    }
    ShowState& s = state_;
    ShowBuffers& b = buffers_;
    const Rect tile = currentTile();
    s.FlipStep += 2;
    // The final tick's exact copy covers the whole tile, so the black fill of a step past the
    // last one is drawn only when Pic_D could not be made.
    const bool copyCoversTile = b.Pic_D.width() >= s.TileW && b.Pic_D.height() >= s.TileH;
    if (s.FlipStep <= LastFlipStep || !copyCoversTile) {
        const FlipArea drawn = drawFlipStep(b.Display, tile, {b.Master, s.PointX, s.PointY}, {b.Pic_D, 0, 0},
                                            FlipForm::Filter, s.FlipDir, s.FlipStep, flipStale_);
        flipStale_ = drawn.stale;
        markDirty(drawn.changed);
    }
    if (s.FlipStep > LastFlipStep) {
        blockCopy(b.Display, s.PointX, s.PointY, s.TileW, s.TileH, b.Pic_D, 0, 0);
        DrawGrid(tile);
        markDirty(tile);
        timer4_.enabled = false;
        timer3_.enabled = true;
    }
}

void ShowForm::RevealPicture()
{
    ShowState& s = state_;
    s.phase = ShowPhase::Reveal;
    s.revealIndex = 0;
    s.FlipStep = LastFlipStep + 1; // so the first step moves on to the first tile
}

// One step of the reveal: a drawing step of the current tile, or its final copy and the move
// to the next tile. Returns true when the last tile is done. `paintedOverInFrame`: another step
// follows before the frame is presented; a drawing step (1..24) is then not drawn at all, since
// the next step covers the whole tile again (black, then its strips or the final copy).
bool ShowForm::revealStep(bool paintedOverInFrame)
{
    ShowState& s = state_;
    ShowBuffers& b = buffers_;
    if (s.FlipStep > LastFlipStep) {
        if (s.revealIndex >= TileCount) {
            return true;
        }
        s.revealIndex += 1;
        s.CurTile = s.TileOrder[std::size_t(s.revealIndex)];
        const Rect next = tileRect(s.CurTile);
        s.PointX = next.x;
        s.PointY = next.y;
        s.FlipDir = int(std::floor(4 * services_.random.next() + 1));
        s.FlipStep = 0;
        // Until its turn a tile still shows the old image: nothing else draws inside it.
        blockCopy(b.Pic_Dmy, 0, 0, s.TileW, s.TileH, b.Display, s.PointX, s.PointY);
        flipStale_ = next;
    }
    const Rect tile = currentTile();
    s.FlipStep += 1;
    if (s.FlipStep > LastFlipStep) {
        // The final copy: Master is Display's size, so it covers the whole tile and the black
        // fill of a drawing step would only be painted over.
        blockCopy(b.Display, s.PointX, s.PointY, s.TileW, s.TileH, b.Master, s.PointX, s.PointY);
        DrawGrid(tile);
        markDirty(tile);
    } else if (!paintedOverInFrame) {
        const FlipArea drawn = drawFlipStep(b.Display, tile, {b.Pic_Dmy, 0, 0}, {b.Master, s.PointX, s.PointY},
                                            FlipForm::Reveal, s.FlipDir, s.FlipStep, flipStale_);
        flipStale_ = drawn.stale;
        // Black lines only: outside what the step drew, the tile is black already.
        DrawGrid(tile);
        markDirty(drawn.changed);
    }
    const bool done = s.FlipStep > LastFlipStep && s.revealIndex >= TileCount;
    if (done) {
        revealMargins();
    }
    return done;
}

// Where the screen is not a multiple of 8 x 6 the tiles leave a strip at the right and the
// bottom that no flip ever draws; the new picture's edge is put there with the last tile.
void ShowForm::revealMargins()
{
    ShowState& s = state_;
    ShowBuffers& b = buffers_;
    const int tilesRight = s.TileW * GridColumns;
    const int tilesBottom = s.TileH * GridRows;
    const Rect margins[] = {
        {tilesRight, 0, b.Display.width() - tilesRight, b.Display.height()},
        {0, tilesBottom, tilesRight, b.Display.height() - tilesBottom},
    };
    for (const Rect& area : margins) {
        if (area.empty()) {
            continue;
        }
        blockCopy(b.Display, area.x, area.y, area.width, area.height, b.Master, area.x, area.y);
        DrawGrid(area);
        markDirty(area);
    }
}

void ShowForm::Timer1_Timer()
{
    if (timer(1).enabled) {
        services_.music.timer1Tick();
    }
}

void ShowForm::Timer2_Timer()
{
    if (timer(2).enabled) {
        services_.music.timer2Tick();
    }
}

ShowTimer ShowForm::timer(int number) const
{
    const bool running = state_.phase != ShowPhase::NotLoaded && state_.phase != ShowPhase::Stopped;
    switch (number) {
    case 1: return {running && services_.music.timer1Enabled(), Timer1IntervalMs};
    case 2: return {running && services_.music.timer2Enabled(), Timer2IntervalMs};
    case 3: return timer3_;
    case 4: return timer4_;
    default: assert(false && "timers are numbered 1..4"); return {};
    }
}

std::optional<std::int64_t> ShowForm::nextWorkAt(std::int64_t now) const
{
    if (!timer3_.enabled && !timer4_.enabled) {
        return std::nullopt;
    }
    const bool pausing = state_.phase == ShowPhase::PauseBeforeReveal || state_.phase == ShowPhase::PauseAfterReveal;
    if (pausing && !timer4_.enabled) {
        return std::max(now, state_.pauseEndMs);
    }
    return now;
}

std::int64_t ShowForm::timerDelay(int number, std::int64_t now) const
{
    const std::int64_t interval = timer(number).intervalMs;
    if (number == 3) {
        if (const std::optional<std::int64_t> work = nextWorkAt(now); work && *work - now > interval) {
            return *work - now;
        }
    }
    return interval;
}

void ShowForm::frame()
{
    if (timer3_.enabled) {
        Timer3_Timer();
    } else if (timer4_.enabled) {
        Timer4_Timer();
    }
    presentFrame();
}

namespace {

constexpr std::size_t MaxDirtyAreas = 4;

long long pixelCount(const Rect& r) { return r.empty() ? 0 : (long long)r.width * r.height; }

} // namespace

void ShowForm::markDirty(const Rect& area)
{
    const Rect r = intersect(area, boundsOf(buffers_.Display));
    if (r.empty()) {
        return;
    }
    for (Rect& d : dirty_) {
        const Rect both = unite(d, r);
        if (pixelCount(both) <= pixelCount(d) + pixelCount(r)) {
            d = both; // overlapping or side by side: one rectangle costs no more
            return;
        }
    }
    if (dirty_.size() < MaxDirtyAreas) {
        dirty_.push_back(r);
        return;
    }
    Rect all = r;
    for (const Rect& d : dirty_) {
        all = unite(all, d);
    }
    dirty_.assign(1, all);
}

Rect ShowForm::takeDirtyRect()
{
    Rect all;
    for (const Rect& d : dirty_) {
        all = unite(all, d);
    }
    dirty_.clear();
    return all;
}

void ShowForm::presentFrame()
{
    for (const Rect& area : dirty_) {
        services_.platform.present(buffers_.Display, area);
    }
    dirty_.clear();
}

bool ShowForm::Display_MouseMove(float x, float y) { return input_.Display_MouseMove(x, y) == InputAction::EndShow; }

bool ShowForm::Display_MouseDown() { return input_.Display_MouseDown() == InputAction::EndShow; }

bool ShowForm::Form_KeyDown(int keyCode)
{
    switch (input_.Form_KeyDown(keyCode, services_.music.handlesTrackKeys())) {
    case InputAction::PreviousTrack: services_.music.previousTrack(); return false;
    case InputAction::NextTrack: services_.music.nextTrack(); return false;
    case InputAction::EndShow: return true;
    case InputAction::None: return false;
    }
    return false;
}

void ShowForm::stopShow()
{
    if (state_.phase == ShowPhase::Stopped) {
        return;
    }
    const bool started = state_.phase != ShowPhase::NotLoaded;
    timer3_.enabled = false;
    timer4_.enabled = false;
    state_.phase = ShowPhase::Stopped;
    if (started) {
        services_.music.stop();
    }
}

} // namespace velmora::show
