// End-to-end tests of the velmora program on the X display in $DISPLAY: what reaches the
// screen, which input ends the show, and drawing into someone else's window.
#include "platform/linux/shell_x11.h"
#include "platform/linux/startup_linux.h"
#include "startup/rounding.h"
#include "startup/settings_file.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using velmora::Picture;

// Polls `condition` every `step` for at most `cap`.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds cap = 20s, std::chrono::milliseconds step = 25ms)
{
    const auto end = std::chrono::steady_clock::now() + cap;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(step);
    }
    return true;
}

// Never waits for ever, even for a --sync move that cannot finish.
void xdotool(const std::string& arguments)
{
    ASSERT_EQ(std::system(("timeout 10 xdotool " + arguments).c_str()), 0) << arguments;
}

class Program {
public:
    // Started through env(1), which `environment` tells what to change (NAME=VALUE, -u NAME)
    // before it becomes the program in the same process.
    explicit Program(const std::vector<std::string>& args, const std::vector<std::string>& environment = {})
    {
        std::vector<std::string> line{"env"};
        line.insert(line.end(), environment.begin(), environment.end());
        line.push_back(VELMORA_PROGRAM);
        line.insert(line.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : line) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "env", nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program()
    {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool running()
    {
        if (pid_ > 0 && !exited_) {
            exited_ = waitpid(pid_, &status_, WNOHANG) == pid_;
        }
        return pid_ > 0 && !exited_;
    }
    // The exit code once the process has ended, waiting at most `limit`; -1 while it runs.
    int exitCodeWithin(std::chrono::milliseconds limit)
    {
        eventually([&] { return !running(); }, limit, 10ms);
        return exited_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

// The BMP file of e2e_check.py's test picture (never black, with 16-pixel squares that most
// filters visibly change), also used by the scripts' screen checks.
void writePicture(const fs::path& path, int w, int h)
{
    const std::string line = "python3 " VELMORA_E2E_CHECK " make-picture " + std::to_string(w) + ' ' +
                             std::to_string(h) + ' ' + path.string();
    ASSERT_EQ(std::system(line.c_str()), 0);
}

std::string readFile(const std::string& path)
{
    return velmora::posix::PosixFileSystem().readFile(path, 1 << 20).bytes;
}

// Share of black points along column x, every fifth pixel.
double blackShare(const Picture& p, int x)
{
    int black = 0, all = 0;
    for (int y = 0; y < p.height(); y += 5, ++all) {
        black += (p.pixelValue(x, y) & 0xFFFFFF) == 0;
    }
    return double(black) / all;
}

// Share of the points of a `step` grid whose colour is `rgb`.
double colourShare(const Picture& p, std::uint32_t rgb, int step)
{
    int same = 0, all = 0;
    for (int y = 3; y < p.height(); y += step) {
        for (int x = 3; x < p.width(); x += step, ++all) {
            same += (p.pixelValue(x, y) & 0xFFFFFF) == rgb;
        }
    }
    return double(same) / all;
}

TEST(LinuxShowWithoutDisplay, EndsWithAReasonInsteadOfShowingWhereNobodySees)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-s"}, {"--root"}}) {
        Program show(args, {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY"});
        EXPECT_EQ(show.exitCodeWithin(3000ms), 1) << args[0];
    }
}

class LinuxShow : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            GTEST_SKIP() << "DISPLAY is not set: the end-to-end tests need an X display";
        }
        unsetenv("XSCREENSAVER_WINDOW");
        x_ = XOpenDisplay(nullptr);
        ASSERT_NE(x_, nullptr);
        screenW_ = DisplayWidth(x_, DefaultScreen(x_));
        screenH_ = DisplayHeight(x_, DefaultScreen(x_));
        char name[] = "/tmp/velmora-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        // Where the show remembers its place: the test's own, never the user's.
        setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
        fs::create_directory(dir_ / "pictures");
        writePicture(dir_ / "pictures" / "pattern.bmp", screenW_, screenH_);
        ini_ = (dir_ / "velmora.ini").string();
        writeIni(dir_ / "pictures");
    }
    void TearDown() override
    {
        if (x_ != nullptr) {
            XCloseDisplay(x_);
        }
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }

    void writeIni(const fs::path& folder)
    {
        std::ofstream(ini_, std::ios::binary) << "[Section]\r\n"
                                              << velmora::SettingsKey::ImageFolder << '=' << folder.string() << "\r\n";
    }

    // Waits for the show's window to appear and its first frame to stand on the screen (the
    // grid's first line is there), for at most 20 s.
    bool waitForShow(Program& program)
    {
        bool viewable = false; // the program maps its window once the first picture is composed
        return eventually([&] {
            viewable = viewable ||
                       std::system("xdotool search --onlyvisible --name '^Velmora_Main$' >/dev/null 2>&1") == 0;
            return !program.running() || (viewable && blackShare(screenshot(), gridW()) >= 0.8);
        }) && program.running();
    }

    // Moves the pointer through the points, then waits (at most 20 s) for the screen to change
    // twice: the show handles all the input it has been sent before it draws a frame, so by
    // then every move has reached it. True if the show still runs.
    bool movesKeepTheShow(Program& show, std::initializer_list<const char*> points)
    {
        for (const char* point : points) {
            xdotool(std::string("mousemove --sync ") + point);
        }
        Picture last = screenshot();
        int changes = 0;
        return eventually([&] {
            Picture next = screenshot();
            if (!(next == last)) {
                ++changes;
                last = std::move(next);
            }
            return changes == 2;
        }, 20s, 20ms) && show.running();
    }

    int gridW() const { return int(velmora::roundHalfEven(screenW_ / 8.0)); }

    // The whole screen, or the given part of it.
    Picture screenshot() { return screenshot(0, 0, screenW_, screenH_); }
    Picture screenshot(int x, int y, int w, int h)
    {
        Picture shot(w, h);
        const auto snapshot = velmora::shell::DesktopSnapshot::take(x, y, w, h);
        EXPECT_TRUE(snapshot && snapshot->copyInto(shot));
        return shot;
    }

    // e2e_check.py's check-start or check-later on a shot of the whole screen.
    bool screenPasses(const std::string& check)
    {
        const std::string shot = (dir_ / "screen.ppm").string();
        const std::string line = "import -window root -depth 8 ppm:" + shot + " && python3 " VELMORA_E2E_CHECK " " +
                                 check + ' ' + shot + " >/dev/null";
        return std::system(line.c_str()) == 0;
    }

    ::Display* x_ = nullptr;
    int screenW_ = 0;
    int screenH_ = 0;
    fs::path dir_;
    std::string ini_;
};

// The picture with its grid, tiles filtered in turn and a second start refused; then, in mode
// "S", straight moves keep the show and a diagonal one ends it.
TEST_F(LinuxShow, ShowsThePictureWithItsGridTurnsFilteredTilesAndEndsOnADiagonalMove)
{
    const std::string iniBefore = readFile(ini_);
    xdotool("mousemove 200 500");
    Program show({"-s", "--ini", ini_});
    ASSERT_TRUE(waitForShow(show));
    // The picture as it is (but for a tile in its turn) under one-pixel grid lines; then, as
    // about four tiles turn a second, several differ while most do not yet.
    EXPECT_TRUE(screenPasses("check-start"));
    EXPECT_TRUE(eventually([&] { return screenPasses("check-later"); }, 12s, 500ms));

    // A second start while the show is open ends at once with 2, as on Windows.
    Program second({"-s", "--ini", ini_});
    EXPECT_EQ(second.exitCodeWithin(10000ms), 2);

    EXPECT_TRUE(movesKeepTheShow(show, {"260 500", "600 500", "1000 500"}));
    xdotool("mousemove 1001 301");
    EXPECT_EQ(show.exitCodeWithin(1000ms), 0);
    EXPECT_EQ(readFile(ini_), iniBefore);
}

// Storage at 1 MB/s under a 20 MB first picture, or a folder whose listing takes a minute
// (3000 entries at 20 ms each): the show opens on black (but for the grid) at once instead of
// waiting, and a key ends it while the picture or the listing is still being read.
TEST_F(LinuxShow, SlowStorageNeitherKeepsTheScreenEmptyNorHoldsUpAKey)
{
    writePicture(dir_ / "pictures" / "a-large.bmp", 3200, 2200);
    fs::create_directory(dir_ / "many");
    for (int i = 0; i < 3000; ++i) {
        std::ofstream(dir_ / "many" / ("p" + std::to_string(i) + ".jpg"));
    }
    for (const auto& [folder, slowness] : {std::pair{dir_ / "pictures", "VELMORA_SLOW_RATE=1000000"},
                                           std::pair{dir_ / "many", "VELMORA_SLOW_ENTRY_MS=20"}}) {
        writeIni(folder);
        Program show({"-s", "--ini", ini_},
                     {"LD_PRELOAD=" VELMORA_SLOW_STORAGE, "VELMORA_SLOW_PREFIX=" + folder.string(), slowness});
        ASSERT_TRUE(waitForShow(show)) << slowness;
        EXPECT_GE(blackShare(screenshot(), gridW() / 2), 0.99) << slowness;
        xdotool("key x");
        EXPECT_EQ(show.exitCodeWithin(1000ms), 0) << slowness;
    }
}

// The fifth kind, each alone in the folder as Debian's encoders write it (the lossy ones near
// lossless): the show starts with the picture, as it does with a bitmap.
TEST_F(LinuxShow, ShowsPngTiffWebpHeicAndAvifPictures)
{
    const fs::path pictures = dir_ / "pictures";
    const std::string bmp = (dir_ / "pattern.bmp").string();
    fs::rename(pictures / "pattern.bmp", bmp);
    const std::string png = (dir_ / "pattern.png").string();
    ASSERT_EQ(std::system(("convert " + bmp + " " + png).c_str()), 0);
    for (const auto& [name, encode] :
         {std::pair{"pattern.png", "cp " + png}, {"pattern.tif", "convert " + png + " -compress LZW"},
          {"pattern.webp", "cwebp -quiet -lossless -exact " + png + " -o"},
          {"pattern.heic", "heif-enc -q 95 -p chroma=444 " + png + " -o"},
          {"pattern.avif", "avifenc -l " + png}}) {
        for (const auto& old : fs::directory_iterator(pictures)) {
            fs::remove(old.path());
        }
        ASSERT_EQ(std::system((encode + " " + (pictures / name).string() + " >/dev/null").c_str()), 0) << name;
        Program show({"-s", "--ini", ini_});
        ASSERT_TRUE(waitForShow(show)) << name;
        // The show opens on black while a slow decode still runs: the picture follows.
        EXPECT_TRUE(eventually([&] { return screenPasses("check-start"); }, 20s, 200ms)) << name;
        xdotool("key x");
        EXPECT_EQ(show.exitCodeWithin(1000ms), 0) << name;
    }
}

// Without arguments no move ends the show, but a click does.
TEST_F(LinuxShow, WithoutArgumentsMovesKeepTheShowAndAClickEndsIt)
{
    xdotool("mousemove 100 100");
    Program show({"--ini", ini_});
    ASSERT_TRUE(waitForShow(show));
    EXPECT_TRUE(movesKeepTheShow(show, {"250 190", "400 280", "550 370", "700 460"}));
    xdotool("click 1");
    EXPECT_EQ(show.exitCodeWithin(1000ms), 0);
}

// With no folder set up the show has the sample pictures; a folder with none gives the desktop.
TEST_F(LinuxShow, NoFolderShowsTheSamplesAndAnEmptyFolderTheDesktopAsItWas)
{
    const Window root = DefaultRootWindow(x_);
    XSetWindowBackground(x_, root, 0x3366CC);
    XClearWindow(x_, root);
    XSync(x_, False);
    auto desktopShare = [&](const fs::path& folder) {
        writeIni(folder); // an empty name is no folder
        Program show({"-s", "--ini", ini_});
        EXPECT_TRUE(waitForShow(show));
        return colourShare(screenshot(), 0x3366CC, 17);
    };
    const double withSamples = desktopShare({});
    fs::create_directory(dir_ / "empty");
    const double withEmptyFolder = desktopShare(dir_ / "empty");
    XSetWindowBackground(x_, root, BlackPixel(x_, DefaultScreen(x_)));
    XClearWindow(x_, root);
    XSync(x_, False);
    EXPECT_LE(withSamples, 0.05);
    EXPECT_GE(withEmptyFolder, 0.8);
}

// Three pictures in sorted order: the second start shows the picture after the one the first
// ended on, without touching the settings file; with --resume no a start begins at the first.
TEST_F(LinuxShow, ASecondStartGoesOnWithThePictureAfterTheFirstsLast)
{
    const fs::path folder = dir_ / "three";
    fs::create_directory(folder);
    const std::array<std::pair<const char*, std::uint32_t>, 3> pictures{
        {{"a.bmp", 0xCC3333}, {"b.bmp", 0x33CC33}, {"c.bmp", 0x3333CC}}};
    for (const auto& [file, rgb] : pictures) {
        char hex[7];
        std::snprintf(hex, sizeof hex, "%06X", unsigned(rgb));
        const std::string line = "python3 " VELMORA_E2E_CHECK " make-colour 64 48 " + std::string(hex) + ' ' +
                                 (folder / file).string();
        ASSERT_EQ(std::system(line.c_str()), 0);
    }
    writeIni(folder);
    const std::string iniBefore = readFile(ini_);
    // The picture that fills most of the screen, as its index in `pictures`; -1 for none.
    auto pictureOnScreen = [&] {
        const Picture shot = screenshot();
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            if (colourShare(shot, pictures[i].second, 17) >= 0.4) {
                return int(i);
            }
        }
        return -1;
    };
    auto startShows = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"-s", "--ini", ini_});
        Program show(args);
        int seen = -1;
        EXPECT_TRUE(waitForShow(show));
        EXPECT_TRUE(eventually([&] { return (seen = pictureOnScreen()) >= 0; }));
        xdotool("key x");
        EXPECT_EQ(show.exitCodeWithin(3000ms), 0);
        return seen;
    };
    EXPECT_EQ(startShows({}), 0);
    EXPECT_EQ(startShows({}), 1);
    EXPECT_EQ(startShows({}), 2);
    EXPECT_EQ(startShows({}), 0); // after the last, the first again
    EXPECT_EQ(startShows({"--resume", "no"}), 0);
    EXPECT_EQ(startShows({}), 1); // a start that does not remember leaves the place alone
    EXPECT_EQ(readFile(ini_), iniBefore);
    EXPECT_TRUE(fs::exists(dir_ / "state" / "velmora" / "state"));
}

TEST_F(LinuxShow, DrawsIntoAGivenWindowFollowsItsSizeAndEndsWithIt)
{
    const unsigned long white = WhitePixel(x_, DefaultScreen(x_));
    const Window window = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 40, 40, 400, 300, 0, white, white);
    XMapWindow(x_, window);
    XSync(x_, False);
    ASSERT_TRUE(eventually([&] {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(x_, window, &attributes) != 0 && attributes.map_state == IsViewable;
    }));

    Program hack({"--window-id", std::to_string(window), "--ini", ini_});
    // The window's own white goes (a two-tone tile may add some) and the grid's first line
    // stands where a 400 x 300 window has it.
    Picture shot;
    const bool drawnIn = eventually([&] {
        shot = screenshot(40, 40, 400, 300);
        return colourShare(shot, 0xFFFFFF, 4) <= 0.1 && blackShare(shot, 50) >= 0.9;
    });
    ASSERT_TRUE(hack.running());
    EXPECT_TRUE(drawnIn);
    EXPECT_LE(blackShare(shot, 53), 0.6); // the picture, letter-boxed above and below

    // The daemon's preview window grows: the show starts over at the new size.
    XResizeWindow(x_, window, 640, 480);
    XSync(x_, False);
    EXPECT_TRUE(eventually([&] {
        shot = screenshot(40, 40, 640, 480);
        return blackShare(shot, 80) >= 0.9 && blackShare(shot, 83) <= 0.6;
    }));

    XDestroyWindow(x_, window);
    XSync(x_, False);
    EXPECT_EQ(hack.exitCodeWithin(1500ms), 0);
}

} // namespace
