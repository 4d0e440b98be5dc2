// The show window's logic: picture buffers, set-up, the tile-by-tile slide cycle, the
// flips and the input rules, driven by the shell's timers one display frame at a time.
#pragma once

#include "filters/engine.h"
#include "filters/picture.h"
#include "music/show_music.h"
#include "show/drawing.h"
#include "show/input_rules.h"
#include "show/monitor_sequence.h"
#include "show/picture_loader.h"
#include "show/picture_source.h"
#include "show/show_platform.h"
#include "startup/catalogue.h"
#include "startup/random.h"
#include "startup/settings.h"
#include "startup/show_sequence.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace velmora::show {

// Timings. Timer3 and Timer4 tick once per display frame so that a flip looks the same on
// every machine: 13 ticks, about 0.2 s; a reveal of 48 tiles x 25 steps takes about 4 s.
inline constexpr int FrameIntervalMs = 16;
inline constexpr int Timer1IntervalMs = 1000; // MP3 restart poll
inline constexpr int Timer2IntervalMs = 200;  // audio-CD poll
inline constexpr int Timer3IntervalMs = FrameIntervalMs;
inline constexpr int Timer4IntervalMs = FrameIntervalMs;
inline constexpr int PicturePauseMs = 1000;   // before and after each reveal
inline constexpr int RevealStepsPerFrame = 5; // 1200 steps / 5 = 240 frames, about 4 s
// How long Form_Load waits for the first picture before the show opens on black and shows
// the picture when it comes, so slow storage never keeps the screen empty.
inline constexpr int FirstPictureWaitMs = 500;

inline constexpr int GridColumns = 8;
inline constexpr int GridRows = 6;
inline constexpr int TileCount = GridColumns * GridRows;

struct ShowTimer {
    bool enabled = false;
    int intervalMs = 0;
};

class ShowForm;

// Everything the show needs from outside; all must outlive the ShowForm.
struct ShowServices {
    ShowPlatform& platform;
    PictureLoader& loader;
    ShowMusic& music;
    Random& random;                  // tile and effect orders, flip directions
    filters::FilterEngine& filters;  // Fil_Run on Pic_D
    // Where pictures are read and decoded; none: `loader`, when a picture is taken.
    PictureSource* pictures = nullptr;
    // A catalogue still to scan: the show opens first and scans on the picture source, in
    // `scanFiles` (used from the source's thread only). The catalogue given is then empty.
    std::optional<CatalogueScan> catalogueScan = {};
    std::shared_ptr<FileSystem> scanFiles = {};
    // The order the pictures come in, shared by the shows of every monitor; none: the
    // catalogue's ShowOrder over and over.
    ShowSequence* sequence = nullptr;
    // Which monitor this show runs on, of how many: the positions of the sequence it takes
    // (monitorPicturePosition).
    MonitorPlace monitor = {};
    // The primary monitor's show, for the show of another monitor: its catalogue and show
    // order are this one's too (taken once its scan is done). It must be loaded first.
    const ShowForm* leader = nullptr;
};

// The show window's picture buffers.
struct ShowBuffers {
    Picture Display;  // what the user sees
    Picture Master;   // the current picture composed for the screen
    Picture Pic_Dmy;  // one tile: the old image of the tile turning in a reveal
    Picture Pic_Orgn; // the picture as loaded
    Picture Pic_D;    // one tile: what the filter works on
};

// Where the slide cycle is. Tiles covers both of its states (Timer3 waiting, Timer4 flipping).
enum class ShowPhase {
    NotLoaded,
    FirstPicture, // the show is open on black, waiting for its catalogue or first picture
    Tiles,
    PauseBeforeReveal,
    Reveal,
    PauseAfterReveal,
    Stopped,
};

struct ShowState {
    float ScreenW = 0;
    float ScreenH = 0;
    int GridW = 0;
    int GridH = 0;
    int TileW = 0;
    int TileH = 0;
    std::array<int, TileCount + 1> TileX{};       // entries 1..48
    std::array<int, TileCount + 1> TileY{};
    std::array<int, TileCount + 1> TileOrder{};   // permutation of 1..48 in 1..48
    std::array<int, TileCount + 1> EffectOrder{}; // permutation of 1..48 in 1..48
    int CurTile = 0;
    int CurEffect = 0;
    int PicCounter = 0;
    int TileCounter = 0;
    int EffectCounter = 1;
    int FlipDir = 1;
    int FlipStep = 0;
    int PointX = 0; // top-left corner of the tile being worked on
    int PointY = 0;
    ShowPhase phase = ShowPhase::NotLoaded;
    int revealIndex = 0;      // reveal: position in TileOrder of the tile turning (1..48)
    std::int64_t pauseEndMs = 0;
};

class ShowForm {
public:
    ShowForm(const Settings& settings, const Catalogue& catalogue, ShowServices services,
             bool commandLineEmpty = false);

    // Sizes the buffers to the screen, composes the first picture (or copies the desktop),
    // lays out the tiles, draws the grid, makes the orders, starts the music, enables Timer3.
    // Call it before the window covers the screen, so the desktop copy shows the desktop.
    void Form_Load(int screenWidth, int screenHeight);

    // Timer entries; the shell calls each while its timer is enabled, at its interval.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer(); // one tile of the slide cycle, or a part of the picture change
    void Timer4_Timer(); // two steps of the filter flip
    ShowTimer timer(int number) const; // number 1..4

    // When Timer3 or Timer4 next has work, on the platform's clock: `now` while tiles, flips
    // or a reveal run (a tick every frame), the end of a pause between pictures, and nullopt
    // while neither is enabled (before Form_Load, after stopShow). A tick before that time
    // changes nothing. Timer1 and Timer2 are plain interval timers the shell keeps itself.
    std::optional<std::int64_t> nextWorkAt(std::int64_t now) const;
    // The interval a shell's timer `number` should next wait, at `now`: the timer's own, except
    // that through a pause between pictures Timer3 waits for the pause's end in one go.
    std::int64_t timerDelay(int number, std::int64_t now) const;

    // The screen changed size: lays the show out again as Form_Load does (buffers, the current
    // picture composed anew, tiles, grid) without restarting the music or moving on in the
    // show order. A flip half-way is dropped and the current picture's tiles start over; a
    // reveal half-way ends at once with the new picture shown; a pause goes on.
    void Form_Resize(int screenWidth, int screenHeight);

    // The monitors changed: this show now runs on monitor `place`; its next picture is the one
    // that place takes after as many pictures as this show has shown.
    void setMonitorPlace(MonitorPlace place) { services_.monitor = place; }

    // One display frame for a shell with no timers of its own: ticks Timer3 or Timer4
    // (whichever is enabled), then presents what changed. Timer1 and Timer2 stay the shell's.
    void frame();

    // The part of Display changed since the last call (empty when nothing did), as one rectangle.
    Rect takeDirtyRect();
    // Presents the changed parts of Display through the platform, if any. Once per frame.
    void presentFrame();

    // Input. Each returns true when the shell must run EndShow; the track keys go to the
    // music here. After a refused password the show simply goes on.
    bool Display_MouseMove(float x, float y);
    bool Display_MouseDown();
    bool Form_KeyDown(int keyCode);

    // EndShow's part in the core, once the password step has passed: the timers stop and
    // the music is closed. Ticks do nothing afterwards.
    void stopShow();

    // The procedures of the cycle, public so that tests and tools can drive them directly.
    // LoadNextPicture composes the next picture on Master, once its source has it ready:
    // returns false when it is still coming (Master then stays black). The first picture may
    // come coarse first (PictureSource::requestCoarseFirst): it is shown so, and composed and
    // shown again, whole, before its first tile is filtered.
    bool LoadNextPicture(int waitMs = 0);
    void DrawGrid();
    // The parts of the grid lines inside `area`. Only the tile just drawn can have lost its
    // lines, so after a flip this leaves Display exactly as the whole grid would.
    void DrawGrid(const Rect& area);
    void MakeTileOrder();
    void MakeEffectOrder();

    const ShowState& state() const { return state_; }
    const ShowBuffers& buffers() const { return buffers_; }
    const Settings& settings() const { return settings_; }
    // The rectangle of tile k (1..48) on the screen.
    Rect tileRect(int k) const;

private:
    void sizeBuffers(int width, int height);
    bool startScan();
    bool catalogueArrived(Catalogue found, int waitMs);
    void showFirstPicture();
    void layOutTiles();
    void beginSequence();
    bool composePicture(std::int64_t position, int waitMs);
    void placePicture();
    void askFor(std::int64_t position, bool coarseFirst);
    bool pictureReady(std::int64_t position, int waitMs);
    std::int64_t nextPosition() const;
    bool leaderScanning() const;
    std::optional<Catalogue> takeScannedCatalogue(int waitMs);
    void startTile();
    void advanceEffect();
    void changePictureDone();
    void RevealPicture();
    bool revealStep(bool paintedOverInFrame);
    void revealMargins();
    void markDirty(const Rect& area);
    void makePermutation(std::array<int, TileCount + 1>& order, int n);
    Rect currentTile() const;

    Settings settings_;
    Catalogue catalogue_;
    ShowServices services_;
    InputRules input_;
    ShowState state_;
    ShowBuffers buffers_;
    ShowTimer timer3_{false, Timer3IntervalMs};
    ShowTimer timer4_{false, Timer4IntervalMs};
    // Changed areas kept apart while their union would be mostly unchanged pixels (a reveal
    // frame that ends one tile and starts another far away); at most a few.
    std::vector<Rect> dirty_;
    // Positions count the pictures of the sequence from 1 and never wrap; the sequence maps
    // them to catalogue indexes. This show takes every `monitor.count`-th of them.
    std::int64_t showPosition_ = 0;   // the picture LoadNextPicture composed last
    std::int64_t masterPosition_ = 0; // the picture composed on Master
    std::int64_t pictureStep_ = 0;    // how many pictures this show has taken
    PictureSize orgnOwn_;    // Pic_Orgn's own size, whatever size it was decoded at
    std::unique_ptr<PictureSource> ownSource_; // when the services bring none
    PictureSource* source_ = nullptr;
    std::int64_t askedPosition_ = 0; // asked of the source and not yet taken whole; 0: none
    std::int64_t readyPosition_ = 0; // `ready_` holds this picture; 0: none
    ShowSequence ownSequence_;       // when the services bring none
    ShowSequence* sequence_ = nullptr;
    std::optional<Result<LoadedPicture>> ready_;
    bool refining_ = false;   // Master holds a coarse picture; the whole one is still asked for
    bool scanning_ = false;   // the catalogue is being scanned
    Picture desktopAtStart_;  // while scanning: the desktop before the window covered it
    // The part of the turning tile that the last flip step drawn left other than black (the
    // whole tile before its first step): the next step draws only there and where it lands.
    Rect flipStale_;
};

} // namespace velmora::show
