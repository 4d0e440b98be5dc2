// The SDL2 front end: one borderless full-screen window, its surface updated only where the
// show changed, and an event wait that sleeps until the next timer is due.
#include "platform/linux/shell_sdl.h"

#include "platform/linux/shell_backend.h"
#include "platform/linux/shell_exit.h"
#include "platform/linux/shell_fps.h"
#include "platform/linux/shell_ticker.h"
#include "platform/linux/shell_x11.h"
#include "platform/linux/wayland_output_show.h"
#include "show/monitor_layout.h"
#include "show/show_exit.h"
#include "show/show_form.h"
#include "show/show_platform.h"
// Xlib last among the project's headers: its macros (None, Status) would clash.
#include "platform/linux/shell_present.h"
#include "platform/linux/shell_wayland.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

namespace velmora::shell {

namespace {

// Presents into the window through the X server's shared memory (or the connection), just
// the changed rectangle. SDL's own window surface does the same but waits for the server
// after every update (a round trip per frame); here the server's note that it has read the
// image is collected with the next frame's events. The surface remains for a video driver
// other than X.
class SdlPlatform final : public show::ShowPlatform {
public:
    // `onX`: the window will be an X window, whose server can read Display's own memory.
    SdlPlatform(std::unique_ptr<DesktopSnapshot> desktop, bool onX) : onX_(onX), desktop_(std::move(desktop)) {}
    std::pmr::memory_resource* displayMemory() override { return onX_ ? &memory_ : nullptr; }
    // The show may draw into Display again once the server has read the last frame.
    void finishReading()
    {
        if (presenter_ != nullptr) {
            presenter_->finishReading();
        }
    }
    bool copyDesktop(Picture& target) override { return desktop_ != nullptr && desktop_->copyInto(target); }
    bool desktopKept() const override { return true; }
    // The window to present into; none before the window is destroyed (the presenter lets go
    // of its shared memory while the X connection is still open).
    void setWindow(SDL_Window* window, ::Display* x11, Window xWindow)
    {
        window_ = window;
        presenter_.reset();
        wayland_.reset();
        XWindowAttributes attributes{};
        if (x11 == nullptr || XGetWindowAttributes(x11, xWindow, &attributes) == 0) {
            return;
        }
        if (const auto layout = layoutFor(x11, attributes)) {
            presenter_ = std::make_unique<XPresenter>(x11, xWindow, attributes.visual, attributes.depth, *layout);
            presenter_->presentFrom(memory_);
        }
    }

    // On Wayland: the window's surface takes the frames (SDL has no buffers of its own there
    // without a GPU renderer); they are committed by flush().
    void setWaylandSurface(wl_display* display, wl_surface* surface, int width, int height, std::uint32_t wakeEvent)
    {
        wayland_ = WaylandPresenter::create(display, surface, width, height, [wakeEvent] {
            SDL_Event wake{};
            wake.type = wakeEvent;
            SDL_PushEvent(&wake);
        });
        wlDisplay_ = display;
        wlSurface_ = surface;
        wakeEvent_ = wakeEvent;
    }
    // The buffers follow the show's size (-window resized).
    void resizeWayland(int width, int height)
    {
        if (wayland_ != nullptr) {
            wayland_.reset();
            setWaylandSurface(wlDisplay_, wlSurface_, width, height, wakeEvent_);
        }
    }
    void flush()
    {
        if (wayland_ != nullptr) {
            wayland_->flush();
        }
    }
    bool onWayland() const { return wayland_ != nullptr; }
    int waylandConnection() const { return wayland_->connection(); }
    // A frame is waiting for the compositor.
    bool holding() const { return wayland_ != nullptr && wayland_->holding(); }

    void present(const Picture& display, const show::Rect& area) override
    {
        const show::Rect r = show::intersect(area, show::boundsOf(display));
        if (r.empty()) {
            return;
        }
        if (wayland_ != nullptr) {
            wayland_->present(display, r);
            return; // the figure stays on top by itself
        }
        if (presenter_ != nullptr) {
            presenter_->present(display, r);
        } else {
            putOnSurface(display, r, r.x, r.y);
        }
        // The show draws over the corner: the figure goes back on top.
        if (badge_ != nullptr && !show::intersect(r, badgeArea()).empty()) {
            presentBadge();
        }
    }

    void showFps(const FpsBadge* badge) { badge_ = badge; }
    void presentBadge()
    {
        const show::Rect at = badgeArea();
        if (at.empty()) {
            return;
        }
        if (wayland_ != nullptr) {
            wayland_->setOverlay(&badge_->picture(), at.x, at.y);
            return;
        }
        if (presenter_ != nullptr) {
            presenter_->putImage(badge_->picture(), {0, 0, at.width, at.height}, at.x, at.y);
        } else {
            putOnSurface(badge_->picture(), {0, 0, at.width, at.height}, at.x, at.y);
        }
    }

    bool takeEvent(const XEvent& event) { return presenter_ != nullptr && presenter_->takeEvent(event); }

    std::int64_t nowMilliseconds() override { return monotonicMilliseconds(); }

private:
    show::Rect badgeArea() const
    {
        int w = 0;
        int h = 0;
        if (window_ != nullptr) {
            SDL_GetWindowSize(window_, &w, &h);
        }
        return badge_->placeIn(w, h);
    }

    // Draws `area` of `picture` (inside it) at (dx, dy) of the window's SDL surface.
    void putOnSurface(const Picture& picture, const show::Rect& area, int dx, int dy)
    {
        SDL_Surface* surface = window_ != nullptr ? SDL_GetWindowSurface(window_) : nullptr;
        if (surface == nullptr) {
            return;
        }
        // Clipped to the surface, the source moving with the destination.
        const show::Rect to = show::intersect({dx, dy, area.width, area.height}, {0, 0, surface->w, surface->h});
        if (to.empty()) {
            return;
        }
        const int sx = area.x + (to.x - dx);
        const int sy = area.y + (to.y - dy);
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
            return;
        }
        auto* target = static_cast<std::uint8_t*>(surface->pixels) + std::size_t(to.y) * std::size_t(surface->pitch) +
                       std::size_t(to.x) * surface->format->BytesPerPixel;
        // The picture's bytes are blue, green, red, unused: SDL's XRGB8888 on little-endian.
        SDL_ConvertPixels(to.width, to.height, SDL_PIXELFORMAT_XRGB8888, picture.pixel(sx, sy), picture.width() * 4,
                          surface->format->format, target, surface->pitch);
        if (SDL_MUSTLOCK(surface)) {
            SDL_UnlockSurface(surface);
        }
        const SDL_Rect rect{to.x, to.y, to.width, to.height};
        SDL_UpdateWindowSurfaceRects(window_, &rect, 1);
    }

    SDL_Window* window_ = nullptr;
    const FpsBadge* badge_ = nullptr;
    bool onX_;
    SharedPixelMemory memory_; // outlives the presenter, which detaches its segments
    std::unique_ptr<XPresenter> presenter_;
    std::unique_ptr<DesktopSnapshot> desktop_;
    std::unique_ptr<WaylandPresenter> wayland_;
    wl_display* wlDisplay_ = nullptr;
    wl_surface* wlSurface_ = nullptr;
    std::uint32_t wakeEvent_ = 0;
};

// The presenters of every monitor's window, for the note that the server has read an image.
using Presenters = std::vector<SdlPlatform*>;

Bool isPresenterNote(::Display*, XEvent* event, XPointer presenters)
{
    for (SdlPlatform* platform : *reinterpret_cast<Presenters*>(presenters)) {
        if (platform->takeEvent(*event)) {
            return True;
        }
    }
    return False;
}

struct WindowCloser {
    void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};

SDL_Point pointerPosition()
{
    SDL_Point pointer{0, 0};
    SDL_GetGlobalMouseState(&pointer.x, &pointer.y);
    return pointer;
}

// The display the pointer is on: "the current display" for a program started from a desktop.
int currentDisplay()
{
    const SDL_Point pointer = pointerPosition();
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&pointer, &bounds)) {
            return i;
        }
    }
    return 0;
}

// A monitor besides the primary: a borderless window of its own over it, with a show of its
// own, or black (the settings keep the show to the primary). Its input is the primary's.
struct OtherMonitor {
    show::Rect area;
    std::unique_ptr<SdlPlatform> platform;
    std::unique_ptr<show::ShowForm> form; // none: black
    std::unique_ptr<SDL_Window, WindowCloser> window;
    std::unique_ptr<ShowTicker> ticker;
    Uint32 windowId = 0;
};

// Opens the window of `monitor` (its show already composed) and presents into it.
void openWindow(OtherMonitor& monitor, ::Display* x11)
{
    const show::Rect& a = monitor.area;
    monitor.window.reset(SDL_CreateWindow("", a.x, a.y, a.width, a.height,
                                          SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR));
    if (!monitor.window) {
        return; // that monitor shows the desktop; the show goes on everywhere else
    }
    monitor.windowId = SDL_GetWindowID(monitor.window.get());
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    const bool onX = x11 != nullptr && SDL_GetWindowWMInfo(monitor.window.get(), &wm) == SDL_TRUE &&
                     wm.subsystem == SDL_SYSWM_X11;
    monitor.platform->setWindow(monitor.window.get(), onX ? x11 : nullptr, onX ? wm.info.x11.window : 0);
    if (monitor.form) {
        monitor.platform->present(monitor.form->buffers().Display, show::boundsOf(monitor.form->buffers().Display));
    } else {
        monitor.platform->present(Picture(a.width, a.height), {0, 0, a.width, a.height});
    }
}

} // namespace

int runFullScreen(const ShellOptions& options, StartupState& state, LinuxStartupPlatform& startup,
                  ShowSession& session, std::ostream& messages)
{
    // A click on a window that has not got the focus yet must still end the show.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The driver is always named (SDL_VIDEODRIVER still overrides): with no display SDL would
    // otherwise settle on an off-screen driver and run the show where nobody sees it, never to end.
    const VideoBackend backend =
        chooseVideoBackend(options.backend, std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"), !options.display.empty());
    if (backend == VideoBackend::NoDisplay) {
        messages << "velmora: no display to show on (neither WAYLAND_DISPLAY nor DISPLAY names one)\n";
        return 1;
    }
    // On Wayland the show covers every output with a surface of its own; the window below is
    // then only the -window one's.
    if (backend == VideoBackend::Wayland && options.target == Target::FullScreen) {
        if (const std::optional<int> code = runOutputShow(options, state, startup, session, messages)) {
            return *code;
        }
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, sdlVideoDriver(backend));
    // No idle inhibitor on Wayland: the compositor's idle time must keep running under the show,
    // for the desktop's locker (swayidle ... swaylock) and for velmora --idle, which learns of
    // the key that ended the show only from it.
    if (backend == VideoBackend::Wayland)
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The native X framebuffer (shared memory): a GL texture would redraw the whole window per
    // update, and on a machine without a GPU that runs on the CPU. Wayland has buffers of our own.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        messages << "velmora: no display to show on (" << SDL_GetError() << ")\n";
        return 1;
    }
    const int display = currentDisplay();
    SDL_Rect bounds{0, 0, 0, 0};
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayBounds(display, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
        messages << "velmora: cannot read the display's size (" << SDL_GetError() << ")\n";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 1;
    }
    const int refresh = SDL_GetDesktopDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
    // -window: an ordinary window of two thirds of the display, in its middle.
    const bool windowed = options.target == Target::OwnWindow;
    if (windowed) {
        bounds = {bounds.x + bounds.w / 6, bounds.y + bounds.h / 6, bounds.w * 2 / 3, bounds.h * 2 / 3};
    }
    // On a screen of several monitors the primary show covers the monitor under the pointer
    // (SDL may see the whole screen as one display) and every other monitor gets its own.
    std::vector<OtherMonitor> others;
    // X only: a Wayland compositor places windows itself.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool onX11 = driver != nullptr && std::string_view(driver) == "x11";
    if (const std::vector<show::Rect> heads = windowed || !onX11 ? std::vector<show::Rect>{} : x11Monitors();
        heads.size() > 1) {
        const SDL_Point pointer = pointerPosition();
        const auto under = std::find_if(heads.begin(), heads.end(), [&](const show::Rect& r) {
            return pointer.x >= r.x && pointer.x < r.right() && pointer.y >= r.y && pointer.y < r.bottom();
        });
        const show::Rect primary = under != heads.end() ? *under : heads.front();
        bounds = {primary.x, primary.y, primary.width, primary.height};
        for (const show::Rect& area : show::otherShowAreas(heads, primary)) {
            others.push_back(OtherMonitor{area, nullptr, nullptr, nullptr, nullptr, 0});
        }
    }

    // The desktop as it is before our window covers it: with no pictures, or with the folder
    // still to be listed, which may turn out to have none.
    std::unique_ptr<DesktopSnapshot> desktop;
    // A Wayland compositor shows no client the others' pixels: there the show starts on black.
    if (state.catalogue.ImageCount == 0 && backend == VideoBackend::X11) {
        desktop = DesktopSnapshot::take(bounds.x, bounds.y, bounds.w, bounds.h);
    }

    // The show is composed before its window exists, so the window opens on the first
    // picture rather than on a black or half-drawn one.
    const std::int64_t initialised = monotonicMilliseconds();
    SdlPlatform platform(std::move(desktop), backend == VideoBackend::X11);
    const std::unique_ptr<show::ShowForm> form = session.makeForm(platform);
    LinuxExitSystem exitSystem(startup);
    show::ShowExit exit(exitSystem, state);
    form->Form_Load(bounds.w, bounds.h);
    const bool allMonitors = state.settings.AllMonitors != 0;
    for (std::size_t i = 0; i < others.size(); ++i) {
        OtherMonitor& monitor = others[i];
        const show::Rect& a = monitor.area;
        std::unique_ptr<DesktopSnapshot> part;
        if (allMonitors && state.catalogue.ImageCount == 0) {
            part = DesktopSnapshot::take(a.x, a.y, a.width, a.height);
        }
        monitor.platform = std::make_unique<SdlPlatform>(std::move(part), backend == VideoBackend::X11);
        if (allMonitors) {
            monitor.form = session.makeForm(*monitor.platform, {int(i) + 1, int(others.size()) + 1}, form.get());
            monitor.form->Form_Load(a.width, a.height);
        }
    }
    if (allMonitors) {
        form->setMonitorPlace({0, int(others.size()) + 1});
    }
    const std::int64_t loaded = monotonicMilliseconds();

    std::unique_ptr<SDL_Window, WindowCloser> window(
        SDL_CreateWindow(std::string(ShowWindowTitle).c_str(), bounds.x, bounds.y, bounds.w, bounds.h,
                         windowed ? SDL_WINDOW_RESIZABLE : SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP));
    const auto stopShows = [&] {
        form->stopShow();
        for (OtherMonitor& monitor : others) {
            if (monitor.form) {
                monitor.form->stopShow();
            }
        }
    };
    if (!window) {
        messages << "velmora: cannot open the show window (" << SDL_GetError() << ")\n";
        exit.stopAndRestore(stopShows);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 1;
    }
    const std::int64_t created = monotonicMilliseconds();
    // The X connection and window: the show presents into the window itself, and the shell
    // sleeps on the connection (SDL's own wait reads it several times per wake-up even when
    // only a timer is due, which was most of a frame's system calls).
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    const bool onX = SDL_GetWindowWMInfo(window.get(), &wm) == SDL_TRUE && wm.subsystem == SDL_SYSWM_X11;
    ::Display* x11 = onX ? wm.info.x11.display : nullptr;
    platform.setWindow(window.get(), x11, onX ? wm.info.x11.window : 0);
    Presenters presenters{&platform};
    for (OtherMonitor& monitor : others) {
        openWindow(monitor, x11);
        presenters.push_back(monitor.platform.get());
        if (monitor.form) {
            monitor.ticker = std::make_unique<ShowTicker>(*monitor.form, frameIntervalFor(refresh));
        }
    }
    const std::uint32_t wakeEvent = SDL_RegisterEvents(1);
    if (!onX && wm.subsystem == SDL_SYSWM_WAYLAND) {
        platform.setWaylandSurface(wm.info.wl.display, wm.info.wl.surface, bounds.w, bounds.h, wakeEvent);
    }
    std::unique_ptr<FpsBadge> badge;
    if (options.fps) {
        badge = std::make_unique<FpsBadge>();
        platform.showFps(badge.get());
    }
    SDL_RaiseWindow(window.get());
    SDL_ShowCursor(startup.cursorVisible() ? SDL_ENABLE : SDL_DISABLE);
    SDL_SetWindowKeyboardGrab(window.get(), startup.systemKeysEnabled() ? SDL_FALSE : SDL_TRUE);

    ShowTicker ticker(*form, frameIntervalFor(refresh));
    // Every show's timers due now; the wait until the soonest next one (-1: only an event).
    const auto runTickers = [&](std::int64_t now) {
        platform.finishReading();
        ticker.run(now);
        for (OtherMonitor& monitor : others) {
            if (monitor.ticker) {
                monitor.platform->finishReading();
                monitor.ticker->run(now);
            }
        }
    };
    const auto soonestWait = [&](std::int64_t now) {
        int wait = ticker.sleepLimit(now, badge != nullptr);
        for (const OtherMonitor& monitor : others) {
            if (monitor.ticker) {
                const int other = monitor.ticker->waitFrom(now);
                wait = wait < 0 ? other : other < 0 ? wait : std::min(wait, other);
            }
        }
        return wait;
    };
    // Where another monitor's window lies from the primary's: its input counts at that offset.
    const auto offsetOf = [&](Uint32 windowId) {
        for (const OtherMonitor& monitor : others) {
            if (monitor.windowId != 0 && monitor.windowId == windowId) {
                return SDL_Point{monitor.area.x - bounds.x, monitor.area.y - bounds.y};
            }
        }
        return SDL_Point{0, 0};
    };
    runTickers(monotonicMilliseconds());
    const std::int64_t firstFrame = monotonicMilliseconds();
    // Full-screen state is asked of the window manager only now, so the first frame need not
    // wait for its answer, and only of one that runs: without one (a bare X server) the request
    // waits for an answer that never comes, stalling the frames. The borderless window already
    // covers the display.
    if (!windowed && (x11 == nullptr || windowManagerRunning(x11))) {
        SDL_SetWindowFullscreen(window.get(), SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (options.timing) {
        messages << "velmora: video ready after " << initialised << " ms, show composed after " << loaded
                 << " ms, window after " << created << " ms, first frame after " << firstFrame << " ms\n";
    }

    bool ending = false;
    while (!ending) {
        SDL_Event event;
        int wait = soonestWait(monotonicMilliseconds());
        bool got = false;
        if (platform.holding()) {
            // A frame waits for the compositor: it goes out at the next frame's wake-up at the
            // latest, even while the show itself has nothing to draw for a while.
            wait = wait < 0 ? ticker.frameIntervalMs() : std::min(wait, ticker.frameIntervalMs());
        }
        if (platform.onWayland()) {
            // As on X below: events SDL has queued mean no sleep; libwayland's own queue is
            // emptied by every SDL pump.
            if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0) {
                (void)ticker.sleepForFrame(wait, platform.waylandConnection());
            }
            got = SDL_PollEvent(&event) != 0;
        } else if (x11 == nullptr) {
            got = wait < 0 ? SDL_WaitEvent(&event) != 0 : SDL_WaitEventTimeout(&event, wait) != 0;
        } else {
            // Events Xlib has already read are not on the connection any more, and events SDL
            // made itself are in its own queue: with either there is no sleep. After the sleep
            // SDL looks once (a signal becomes SDL_QUIT there, whichever thread took it).
            XFlush(x11);
            if (XEventsQueued(x11, QueuedAlready) == 0 &&
                SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0) {
                (void)ticker.sleepForFrame(wait, ConnectionNumber(x11));
            }
            // The notes are the presenter's: taken out before SDL reads the rest.
            XEvent note;
            while (XCheckIfEvent(x11, &note, isPresenterNote, reinterpret_cast<XPointer>(&presenters)) == True) {
            }
            got = SDL_PollEvent(&event) != 0;
        }
        for (bool more = got; more && !ending; more = SDL_PollEvent(&event) != 0) {
            switch (event.type) {
            case SDL_QUIT: ending = true; break;
            case SDL_KEYDOWN: ending = form->Form_KeyDown(windowsKeyCode(event.key.keysym.sym)); break;
            case SDL_MOUSEBUTTONDOWN: ending = form->Display_MouseDown(); break;
            case SDL_MOUSEMOTION: {
                const SDL_Point offset = offsetOf(event.motion.windowID);
                ending = form->Display_MouseMove(float(event.motion.x + offset.x), float(event.motion.y + offset.y));
                break;
            }
            case SDL_WINDOWEVENT:
                if (event.window.windowID != SDL_GetWindowID(window.get())) {
                    for (OtherMonitor& monitor : others) {
                        if (monitor.windowId == event.window.windowID &&
                            (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SHOWN)) {
                            const Picture black(monitor.area.width, monitor.area.height);
                            const Picture& shown = monitor.form ? monitor.form->buffers().Display : black;
                            monitor.platform->present(shown, show::boundsOf(shown));
                        }
                    }
                    break;
                }
                if (windowed && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && event.window.data1 > 0 &&
                    event.window.data2 > 0 &&
                    (event.window.data1 != form->buffers().Display.width() ||
                     event.window.data2 != form->buffers().Display.height())) {
                    // The same show laid out for the new size; the music and the order go on.
                    platform.finishReading();
                    form->Form_Resize(event.window.data1, event.window.data2);
                    platform.resizeWayland(event.window.data1, event.window.data2);
                }
                if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                    event.window.event == SDL_WINDOWEVENT_SHOWN) {
                    platform.present(form->buffers().Display, show::boundsOf(form->buffers().Display));
                }
                break;
            default: break;
            }
        }
        if (!ending) {
            runTickers(monotonicMilliseconds());
            if (badge && badge->update(monotonicMilliseconds(), ticker.framesRun())) {
                platform.presentBadge();
            }
            platform.flush();
        }
    }
    if (options.timing) {
        ticker.frameIntervals().print(messages, ticker.frameIntervalMs());
    }

    exit.EndShow(stopShows);
    SDL_SetWindowKeyboardGrab(window.get(), SDL_FALSE);
    for (OtherMonitor& monitor : others) {
        monitor.platform->setWindow(nullptr, nullptr, 0);
        monitor.window.reset();
    }
    platform.setWindow(nullptr, nullptr, 0);
    window.reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
}

} // namespace velmora::shell
