// The show window: creation over the primary screen, the four timers, the message pump that
// filters yield to, the input handlers and EndShow's system side.
#include "platform/win32/show_window.h"

#include "filters/engine.h"
#include "music/music_thread.h"
#include "platform/picture_loader_factory.h"
#include "platform/win32/key_catcher.h"
#include "platform/win32/music/win32_music.h"
#include "show/show_exit.h"
#include "platform/win32/show_monitors.h"
#include "platform/win32/show_surface.h"
#include "platform/win32/startup_win32.h"
#include "platform/win32/owned_window.h"
#include "platform/win32/win_text.h"
#include "show/show_form.h"
#include "startup/resume_keeper.h"
#include "startup/show_sequence.h"

#include <windows.h>
#include <windowsx.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace velmora::win32 {

using show::PasswordVerdict;
using show::ShowExit;
using show::ShowExitSystem;

namespace {

// Why the show has no music: for a debugger, and for a console the program was started from.
void logMusic(const std::string& text)
{
    const std::string line = "velmora: " + text + "\n";
    OutputDebugStringW(widen(line).c_str());
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

constexpr const wchar_t* ShowWindowClass = L"VelmoraShow";
constexpr std::string_view ShowWindowFailedMessage = "スクリーンセーバーの画面を開けませんでした。";
constexpr int TimerCount = 4;
// A filter yields once per row, often every few microseconds; pumping that often would cost
// more than the filter, and input is served just as well a few milliseconds later.
constexpr LONGLONG PumpIntervalMicroseconds = 4000;
// SetTimer's default granularity (about 15.6 ms) would halve the show's frame rate.
constexpr UINT TimerResolutionMs = 1;

class Win32ExitSystem final : public ShowExitSystem {
public:
    HWND window = nullptr; // the parent of the password dialog

    bool isWinNT() override { return IsWinNT(); }
    std::int32_t showCursor(bool show) override { return ShowCursor(show ? TRUE : FALSE); }
    PasswordVerdict verifyScreenSavePassword() override;
    void enableSystemKeys(bool enable) override { EnableSystemKeys(enable); }
    void keepScreenSaveActive() override { SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0); }
};

PasswordVerdict Win32ExitSystem::verifyScreenSavePassword()
{
    using VerifyScreenSavePwd = BOOL(WINAPI*)(HWND);
    HMODULE module = LoadLibraryW(L"password.cpl");
    if (module == nullptr) {
        return PasswordVerdict::Unavailable;
    }
    const auto verify = reinterpret_cast<VerifyScreenSavePwd>(
        reinterpret_cast<void*>(GetProcAddress(module, "VerifyScreenSavePwd")));
    PasswordVerdict verdict = PasswordVerdict::Unavailable;
    if (verify != nullptr) {
        verdict = verify(window) != 0 ? PasswordVerdict::Accepted : PasswordVerdict::Refused;
    }
    FreeLibrary(module);
    return verdict;
}

std::unique_ptr<ResumeKeeper> makeResumeKeeper(const Settings& settings)
{
    const std::string file = stateFileLocation();
    if (settings.Resume == 0 || file.empty()) {
        return nullptr;
    }
    return std::make_unique<ResumeKeeper>(std::make_shared<Win32FileSystem>(), file);
}

// Sets, resets or kills the window's timers 1..4 to what the show wants now.
void syncShowTimers(HWND window, const show::ShowForm& form, std::int64_t now, std::array<UINT, TimerCount + 1>& set)
{
    for (int n = 1; n <= TimerCount; ++n) {
        const show::ShowTimer timer = form.timer(n);
        const std::int64_t interval = std::min<std::int64_t>(form.timerDelay(n, now), USER_TIMER_MAXIMUM);
        UINT& current = set[std::size_t(n)];
        if (timer.enabled && current != UINT(interval)) {
            // SetTimer on a running timer's id restarts it with the new interval.
            current = SetTimer(window, UINT_PTR(n), UINT(interval), nullptr) != 0 ? UINT(interval) : 0;
        } else if (!timer.enabled && current != 0) {
            KillTimer(window, UINT_PTR(n));
            current = 0;
        }
    }
}

// WM_PAINT of a show window: the damaged area from the last presented Display.
LRESULT paintShowWindow(HWND window, const Win32ShowPlatform& platform)
{
    PAINTSTRUCT ps;
    if (HDC dc = BeginPaint(window, &ps); dc != nullptr) {
        platform.paint(dc, ps.rcPaint);
        EndPaint(window, &ps);
    }
    return 0;
}

show::ShowServices placed(show::ShowServices services, show::MonitorPlace place, const show::ShowForm* leader)
{
    services.monitor = place;
    services.leader = leader;
    return services;
}

class ShowHost;

// The show on a monitor besides the primary: a window of its own over the monitor and a show
// of its own, sized to it. It has no music, and its input goes to the primary's window, which
// keeps the one input rule and the one exit.
class MonitorShow {
public:
    MonitorShow(ShowHost& host, StartupState& state, const show::Rect& area, show::MonitorPlace place,
                const show::ShowForm& leader, PictureLoader& loader, ShowSequence* sequence);
    ~MonitorShow();
    MonitorShow(const MonitorShow&) = delete;
    MonitorShow& operator=(const MonitorShow&) = delete;

    // Creates the window hidden, composes the show (its desktop copy still sees the desktop).
    bool open();
    // Shows the window on top, without taking the focus, and starts the timers.
    void show();
    show::ShowForm& form() { return form_; }
    const show::Rect& area() const { return area_; }
    HWND window() const { return hwnd_; }
    void syncTimers() { syncShowTimers(hwnd_, form_, platform_.nowMilliseconds(), timerSet_); }

private:
    template <typename Owner>
    friend LRESULT CALLBACK win32::ownedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    ShowHost& host_;
    show::Rect area_;
    show::PictureWorker pictures_;
    SilentMusic music_;
    Win32ShowPlatform platform_;
    show::ShowForm form_;
    HWND hwnd_ = nullptr;
    std::array<UINT, TimerCount + 1> timerSet_{};
};

class ShowHost {
public:
    ShowHost(StartupState& state, const std::vector<show::Rect>& otherMonitors);
    ShowHost(const ShowHost&) = delete;
    ShowHost& operator=(const ShowHost&) = delete;

    // Creates the window over (0, 0, width, height), runs Form_Load, shows the window on top
    // of everything and starts the timers. False when no window could be made.
    bool open(int width, int height);

    template <typename Owner>
    friend LRESULT CALLBACK win32::ownedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window() const { return hwnd_; }
    // One tick of `form`'s timer `id`. Slide ticks of all monitors share one guard: a filter
    // yields to the message loop, where another tick must not start a second filter.
    void tick(show::ShowForm& form, UINT_PTR id);

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onTimer(UINT_PTR id);
    void onDisplayChange(int width, int height);
    // A show for every monitor the primary's window leaves out (when the settings ask for
    // them) and black covers over what is left. While the monitors stay as they were their
    // shows go on; any other arrangement starts them all anew.
    void layOutMonitors(std::vector<show::Rect> others);
    void syncTimers();
    void takeKeyboardFocus();
    static void pumpFromFilter(void* context);
    void pumpMessages();
    void EndShow();
    [[noreturn]] void unloadAndEnd();
    void stopCore();

    StartupState& state_;
    std::unique_ptr<PictureLoader> loader_;
    show::PictureWorker pictures_; // reads and decodes off the window's thread
    music::MusicThread music_; // MCI and PlaySound on a thread of their own
    Win32ShowPlatform platform_;
    // With the 続きから setting on: where the show stopped, read and written off the frames.
    std::unique_ptr<ResumeKeeper> resumeKeeper_;
    std::unique_ptr<ShowSequence> sequence_;
    show::ShowForm form_;
    Win32ExitSystem exitSystem_;
    ShowExit exit_;
    HWND hwnd_ = nullptr;
    show::Rect area_;
    std::unique_ptr<MonitorCovers> covers_;
    std::vector<std::unique_ptr<MonitorShow>> others_;
    std::vector<show::Rect> otherAreas_; // where the other monitors' shows are to be
    std::array<UINT, TimerCount + 1> timerSet_{}; // the interval each timer runs at; 0: not set
    bool inSlideTick_ = false; // Timer3/Timer4 running, possibly yielding inside a filter
    bool displayChanged_ = false; // a display change came during a slide tick: laid out after it
    bool inMusicTick_ = false;
    bool ending_ = false;      // EndShow under way (the password dialog may be open)
    bool fineTimer_ = false;
    LARGE_INTEGER lastPump_{};
    LARGE_INTEGER frequency_{};
};

ShowHost::ShowHost(StartupState& state, const std::vector<show::Rect>& otherMonitors)
    : state_(state),
      loader_(createPlatformPictureLoader()),
      pictures_(createPlatformPictureLoader()),
      music_(
          [&settings = state.settings] {
              using Music = music::MusicOnDevices<music::win32::Win32MusicDevices>;
              auto owner = std::make_shared<Music>(settings, &logMusic);
              return std::shared_ptr<ShowMusic>(owner, &owner->music);
          },
          state.settings.BgmKind == 1, &logMusic),
      resumeKeeper_(makeResumeKeeper(state.settings)),
      sequence_(resumeKeeper_ ? std::make_unique<ShowSequence>(state.settings, sharedRandom(), *resumeKeeper_) : nullptr),
      form_(state.settings, state.catalogue,
            placed(show::ShowServices{platform_, *loader_, music_, sharedRandom(), filters::sharedFilterEngine(),
                                      &pictures_, state.catalogueScan, std::make_shared<Win32FileSystem>(),
                                      sequence_.get()},
                   {0, int(otherMonitors.size()) + 1}, nullptr),
            state.commandLine.empty()),
      exit_(exitSystem_, state),
      otherAreas_(otherMonitors)
{
    assert(loader_ != nullptr);
    filters::FilterEngine& engine = filters::sharedFilterEngine();
    engine.yieldHook = &ShowHost::pumpFromFilter;
    engine.yieldContext = this;
    QueryPerformanceFrequency(&frequency_);
}

bool ShowHost::open(int width, int height)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ownedWindowProc<ShowHost>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = ShowWindowClass;
    RegisterClassW(&wc);

    // Created hidden: a second start finds the title at once, and the desktop copy of
    // Form_Load still sees the desktop.
    area_ = {0, 0, width, height};
    const HWND created = CreateWindowExW(0, ShowWindowClass, widen(ShowWindowTitle).c_str(), WS_POPUP, 0, 0, width,
                                         height, nullptr, nullptr, instance, this);
    if (created == nullptr) {
        // WM_NCCREATE may have seen a window that creation then gave up: forget it.
        hwnd_ = nullptr;
        exit_.stopAndRestore({});
        MessageBoxW(nullptr, widen(ShowWindowFailedMessage).c_str(), widen(ShowWindowTitle).c_str(),
                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    exitSystem_.window = hwnd_;

    form_.Form_Load(width, height);
    // The surface takes Display's size, which the show bounds on enormous screens. Without a
    // surface the window stays black, but input still ends the show.
    platform_.prepare(form_.buffers().Display.width(), form_.buffers().Display.height());
    form_.presentFrame(); // the whole Display into the surface, painted when the window shows
    platform_.attach(hwnd_);

    // The first mouse event only records where the mouse is, so it must be where the mouse
    // really is. Wine reports the position it last saw, which may be stale; putting the
    // pointer back where it is makes them agree, and changes nothing on Windows.
    if (POINT pointer; GetCursorPos(&pointer)) {
        SetCursorPos(pointer.x, pointer.y);
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    takeKeyboardFocus();
    UpdateWindow(hwnd_);

    covers_ = std::make_unique<MonitorCovers>(hwnd_);
    layOutMonitors(otherAreas_);

    fineTimer_ = timeBeginPeriod(TimerResolutionMs) == TIMERR_NOERROR;
    syncTimers();
    return true;
}

void ShowHost::layOutMonitors(std::vector<show::Rect> others)
{
    std::vector<show::Rect> shown;
    if (others != otherAreas_ || others.size() != others_.size()) {
        // Another arrangement: every other monitor's show starts anew at its new place, its
        // desktop copy taken with nothing of ours over that monitor.
        others_.clear();
        if (covers_ != nullptr) {
            covers_->clear();
        }
        otherAreas_ = std::move(others);
        const int count = int(otherAreas_.size()) + 1;
        form_.setMonitorPlace({0, count});
        for (std::size_t i = 0; i < otherAreas_.size(); ++i) {
            auto monitor =
                std::make_unique<MonitorShow>(*this, state_, otherAreas_[i], show::MonitorPlace{int(i) + 1, count},
                                                         form_, *loader_, sequence_.get());
            if (monitor->open()) {
                others_.push_back(std::move(monitor));
            }
        }
        for (const auto& monitor : others_) {
            monitor->show();
        }
    }
    for (const auto& monitor : others_) {
        shown.push_back(monitor->area());
    }
    if (covers_ != nullptr) {
        covers_->coverOthers(area_, shown);
    }
}

LRESULT ShowHost::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        onTimer(wParam);
        return 0;
    case WM_PAINT:
        return paintShowWindow(hwnd_, platform_);
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_MOUSEMOVE:
        if (form_.Display_MouseMove(float(GET_X_LPARAM(lParam)), float(GET_Y_LPARAM(lParam)))) {
            EndShow();
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        if (form_.Display_MouseDown()) {
            EndShow();
        }
        return message == WM_XBUTTONDOWN ? TRUE : 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: // Alt and F10 are keys like any other here, and Alt+F4 goes through EndShow
        if (form_.Form_KeyDown(int(wParam))) {
            EndShow();
        } else {
            form_.presentFrame();
            syncTimers(); // a track key may have changed the CD poll
        }
        return 0;
    case WM_CLOSE:
        // A close from outside takes the one exit path, so the music stops and the system
        // flags are restored; the window itself goes in unloadAndEnd.
        EndShow();
        return 0;
    case WM_DISPLAYCHANGE:
        onDisplayChange(LOWORD(lParam), HIWORD(lParam));
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

// Keys must reach the show whatever had the focus before.
void ShowHost::takeKeyboardFocus()
{
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    if (runningUnderWine()) {
        catchKeysFor(hwnd_);
    }
}

// The primary screen took a new size: the window and the show's buffers follow it (the show
// lays itself out again, music and show order going on), and the other monitors are covered anew.
void ShowHost::onDisplayChange(int width, int height)
{
    if (inSlideTick_) {
        // A filter of some show yields here: its buffers must stay as they are until it ends.
        displayChanged_ = true;
        return;
    }
    if (width > 0 && height > 0 && (width != area_.width || height != area_.height)) {
        area_ = {0, 0, width, height};
        SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, width, height, SWP_NOACTIVATE);
        form_.Form_Resize(width, height);
        platform_.prepare(form_.buffers().Display.width(), form_.buffers().Display.height());
        form_.presentFrame();
        InvalidateRect(hwnd_, nullptr, FALSE);
        syncTimers();
    }
    layOutMonitors(state_.settings.AllMonitors != 0 ? otherShowAreas(listMonitors(), area_) : std::vector<show::Rect>{});
}

void ShowHost::tick(show::ShowForm& form, UINT_PTR id)
{
    switch (id) {
    case 3:
    case 4:
        // A tick arriving while a filter of the previous one yields would start a second
        // tile on top of the first; it is dropped, and the next one comes a frame later.
        if (inSlideTick_) {
            return;
        }
        inSlideTick_ = true;
        if (id == 3) {
            form.Timer3_Timer();
        } else {
            form.Timer4_Timer();
        }
        inSlideTick_ = false;
        break;
    case 1:
    case 2:
        if (inMusicTick_) {
            return;
        }
        inMusicTick_ = true;
        if (id == 1) {
            form.Timer1_Timer();
        } else {
            form.Timer2_Timer();
        }
        inMusicTick_ = false;
        break;
    default:
        return;
    }
    form.presentFrame();
    if (displayChanged_ && !inSlideTick_) {
        // Laid out from the message loop: the show whose tick this is may be replaced.
        displayChanged_ = false;
        PostMessageW(hwnd_, WM_DISPLAYCHANGE, 0,
                     MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    }
}

void ShowHost::onTimer(UINT_PTR id)
{
    tick(form_, id);
    syncTimers();
}

void ShowHost::syncTimers() { syncShowTimers(hwnd_, form_, platform_.nowMilliseconds(), timerSet_); }

void ShowHost::pumpFromFilter(void* context) { static_cast<ShowHost*>(context)->pumpMessages(); }

void ShowHost::pumpMessages()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (frequency_.QuadPart > 0 &&
        (now.QuadPart - lastPump_.QuadPart) * 1000000 / frequency_.QuadPart < PumpIntervalMicroseconds) {
        return;
    }
    lastPump_ = now;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam)); // for the main loop, once the filter is done
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void ShowHost::stopCore()
{
    form_.stopShow();
    syncTimers();
    for (const auto& monitor : others_) {
        monitor->form().stopShow();
        monitor->syncTimers();
    }
}

constexpr const wchar_t* MonitorWindowClass = L"VelmoraMonitorShow";

MonitorShow::MonitorShow(ShowHost& host, StartupState& state, const show::Rect& area, show::MonitorPlace place,
                         const show::ShowForm& leader, PictureLoader& loader, ShowSequence* sequence)
    : host_(host),
      area_(area),
      pictures_(createPlatformPictureLoader()),
      form_(state.settings, state.catalogue,
            placed(show::ShowServices{platform_, loader, music_, sharedRandom(), filters::sharedFilterEngine(),
                                      &pictures_, {}, {}, sequence},
                   place, &leader),
            state.commandLine.empty())
{
    platform_.setOrigin(area.x, area.y);
}

MonitorShow::~MonitorShow()
{
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0); // no message reaches a show that is gone
        DestroyWindow(hwnd_);
    }
}

bool MonitorShow::open()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ownedWindowProc<MonitorShow>;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = MonitorWindowClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    // Owned by the primary's window, so it goes with it and never sits above it in a task list.
    const HWND created =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, MonitorWindowClass, L"", WS_POPUP, area_.x,
                        area_.y, area_.width, area_.height, host_.window(), nullptr, GetModuleHandleW(nullptr), this);
    if (created == nullptr) {
        hwnd_ = nullptr;
        return false;
    }
    form_.Form_Load(area_.width, area_.height);
    platform_.prepare(form_.buffers().Display.width(), form_.buffers().Display.height());
    form_.presentFrame();
    platform_.attach(hwnd_);
    return true;
}

void MonitorShow::show()
{
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    UpdateWindow(hwnd_);
    syncTimers();
}

LRESULT MonitorShow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (forwardInput(hwnd_, host_.window(), message, wParam, lParam)) {
        return message == WM_XBUTTONDOWN ? TRUE : 0;
    }
    switch (message) {
    case WM_TIMER:
        host_.tick(form_, wParam);
        syncTimers();
        return 0;
    case WM_PAINT:
        return paintShowWindow(hwnd_, platform_);
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE; // keys keep going to the primary's window
    case WM_CLOSE:
        // The one exit path, through the primary's window.
        PostMessageW(host_.window(), WM_CLOSE, 0, 0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void ShowHost::EndShow()
{
    // Input that arrives while the password dialog is open (on a monitor cover, say)
    // must not open a second one.
    if (ending_) {
        return;
    }
    ending_ = true;
    if (!exit_.EndShow([this] { stopCore(); })) {
        ending_ = false; // refused: the show goes on as it was
        return;
    }
    unloadAndEnd();
}

void ShowHost::unloadAndEnd()
{
    exit_.Form_QueryUnload();
    // A healthy player closes in moments; one stuck in MCI is left to the process's end.
    music_.finish(std::chrono::milliseconds(300));
    if (fineTimer_) {
        timeEndPeriod(TimerResolutionMs);
    }
    if (resumeKeeper_ != nullptr) {
        resumeKeeper_->flush(ResumeKeeper::FinalWriteWaitMs); // no destructor runs after ExitProcess
    }
    // At once, even from inside a filter's yield: nothing of the show is left to finish.
    // The windows go with the process; hiding them one by one first can take seconds on
    // an X server without a window manager (Wine waits for each to be withdrawn).
    ExitProcess(0);
}

} // namespace

void enableDpiAwareness()
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return;
    }
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto setContext =
        reinterpret_cast<SetContext>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (setContext != nullptr) {
        // -4 is per-monitor awareness, second version. Access denied means the manifest set it.
        if (setContext(reinterpret_cast<HANDLE>(INT_PTR(-4))) || GetLastError() == ERROR_ACCESS_DENIED) {
            return;
        }
    }
    using SetAware = BOOL(WINAPI*)();
    const auto setAware =
        reinterpret_cast<SetAware>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (setAware != nullptr) {
        setAware();
    }
}

bool openShowWindow(StartupState& state)
{
    enableDpiAwareness(); // before any size is read, so the sizes are real pixels
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const std::vector<show::Rect> others = state.settings.AllMonitors != 0
                                               ? otherShowAreas(listMonitors(), {0, 0, width, height})
                                               : std::vector<show::Rect>{};
    // The window lives until the process ends, which happens inside it.
    static std::unique_ptr<ShowHost> window;
    window = std::make_unique<ShowHost>(state, others);
    return window->open(width, height);
}

} // namespace velmora::win32
