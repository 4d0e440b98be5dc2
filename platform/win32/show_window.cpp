// The show window: creation over the primary screen, the four timers, the message pump that
// filters yield to, the input handlers and EndShow's system side.
#include "platform/win32/show_window.h"

#include "filters/engine.h"
#include "music/background_music.h"
#include "platform/picture_loader_factory.h"
#include "platform/win32/key_catcher.h"
#include "platform/win32/music/win32_music.h"
#include "show/show_exit.h"
#include "platform/win32/show_monitors.h"
#include "platform/win32/show_surface.h"
#include "platform/win32/startup_win32.h"
#include "show/show_form.h"
#include "startup/resume_keeper.h"
#include "startup/show_sequence.h"

#include <windows.h>
#include <windowsx.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <memory>
#include <optional>

namespace velmora::win32 {

using show::PasswordVerdict;
using show::ShowExit;
using show::ShowExitSystem;

namespace {

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

class ShowHost {
public:
    explicit ShowHost(StartupState& state);
    ShowHost(const ShowHost&) = delete;
    ShowHost& operator=(const ShowHost&) = delete;

    // Creates the window over (0, 0, width, height), runs Form_Load, shows the window on top
    // of everything and starts the timers. False when no window could be made.
    bool open(int width, int height);

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onTimer(UINT_PTR id);
    void onDisplayChange(int width, int height);
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
    music::win32::Win32MusicDevices devices_;
    music::BackgroundMusic music_;
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
    std::array<UINT, TimerCount + 1> timerSet_{}; // the interval each timer runs at; 0: not set
    bool inSlideTick_ = false; // Timer3/Timer4 running, possibly yielding inside a filter
    bool inMusicTick_ = false;
    bool ending_ = false;      // EndShow under way (the password dialog may be open)
    bool fineTimer_ = false;
    LARGE_INTEGER lastPump_{};
    LARGE_INTEGER frequency_{};
};

ShowHost::ShowHost(StartupState& state)
    : state_(state),
      loader_(createPlatformPictureLoader()),
      pictures_(createPlatformPictureLoader()),
      music_(state.settings, devices_.mci, devices_.sound),
      resumeKeeper_(makeResumeKeeper(state.settings)),
      sequence_(resumeKeeper_ ? std::make_unique<ShowSequence>(state.settings, sharedRandom(), *resumeKeeper_) : nullptr),
      form_(state.settings, state.catalogue,
            show::ShowServices{platform_, *loader_, music_, sharedRandom(), filters::sharedFilterEngine(), &pictures_,
                               state.catalogueScan, std::make_shared<Win32FileSystem>(), sequence_.get()},
            state.commandLine.empty()),
      exit_(exitSystem_, state)
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
    wc.lpfnWndProc = &ShowHost::windowProc;
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
    covers_->coverOthers(area_);

    fineTimer_ = timeBeginPeriod(TimerResolutionMs) == TIMERR_NOERROR;
    syncTimers();
    return true;
}

LRESULT CALLBACK ShowHost::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<ShowHost*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<ShowHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT ShowHost::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        onTimer(wParam);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (HDC dc = BeginPaint(hwnd_, &ps); dc != nullptr) {
            platform_.paint(dc, ps.rcPaint);
            EndPaint(hwnd_, &ps);
        }
        return 0;
    }
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
    if (width > 0 && height > 0 && (width != area_.width || height != area_.height)) {
        area_ = {0, 0, width, height};
        SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, width, height, SWP_NOACTIVATE);
        form_.Form_Resize(width, height);
        platform_.prepare(form_.buffers().Display.width(), form_.buffers().Display.height());
        form_.presentFrame();
        InvalidateRect(hwnd_, nullptr, FALSE);
        syncTimers();
    }
    if (covers_ != nullptr) {
        covers_->coverOthers(area_);
    }
}

void ShowHost::onTimer(UINT_PTR id)
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
            form_.Timer3_Timer();
        } else {
            form_.Timer4_Timer();
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
            form_.Timer1_Timer();
        } else {
            form_.Timer2_Timer();
        }
        inMusicTick_ = false;
        break;
    default:
        return;
    }
    form_.presentFrame();
    syncTimers();
}

void ShowHost::syncTimers()
{
    const std::int64_t now = platform_.nowMilliseconds();
    for (int n = 1; n <= TimerCount; ++n) {
        const show::ShowTimer timer = form_.timer(n);
        const std::int64_t interval = std::min<std::int64_t>(form_.timerDelay(n, now), USER_TIMER_MAXIMUM);
        UINT& set = timerSet_[std::size_t(n)];
        if (timer.enabled && set != UINT(interval)) {
            // SetTimer on a running timer's id restarts it with the new interval.
            set = SetTimer(hwnd_, UINT_PTR(n), UINT(interval), nullptr) != 0 ? UINT(interval) : 0;
        } else if (!timer.enabled && set != 0) {
            KillTimer(hwnd_, UINT_PTR(n));
            set = 0;
        }
    }
}

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
    // The window lives until the process ends, which happens inside it.
    static std::unique_ptr<ShowHost> window;
    window = std::make_unique<ShowHost>(state);
    return window->open(width, height);
}

} // namespace velmora::win32
