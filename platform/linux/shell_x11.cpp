// Xlib work of the Linux show: title look-up, the root-window copy and the display hack.
// The project's headers come first: Xlib defines macros (None, Status) that would clash.
#include "platform/linux/shell_x11.h"

#include "platform/linux/shell_fps.h"
#include "platform/linux/shell_grabber.h"
#include "platform/linux/shell_pixels.h"
#include "platform/linux/shell_session.h"
#include "platform/linux/startup_linux.h"
#include "platform/linux/shell_ticker.h"
#include "show/show_form.h"
#include "show/show_platform.h"
#include "platform/linux/shell_present.h" // Xlib: after the show's headers

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <ostream>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace velmora::shell {

namespace {

// Xlib reports errors through one process-wide handler. While we walk or draw into windows
// that others own, a window may vanish at any time: that is recorded, never fatal.
std::atomic<int> lastXError{0};

int recordXError(::Display*, XErrorEvent* event)
{
    lastXError = event->error_code;
    return 0;
}

class ErrorTrap {
public:
    ErrorTrap() : previous_(XSetErrorHandler(recordXError)) { lastXError = 0; }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

private:
    XErrorHandler previous_;
};

struct DisplayCloser {
    void operator()(::Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<::Display, DisplayCloser>;

std::string stringProperty(::Display* display, Window window, Atom property, Atom type)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        if (format == 8) {
            value.assign(reinterpret_cast<const char*>(data), count);
        }
        XFree(data);
    }
    return value;
}

bool titledBelow(::Display* display, Window window, std::string_view title, Atom netWmName, Atom utf8, int depth)
{
    if (stringProperty(display, window, netWmName, utf8) == title ||
        stringProperty(display, window, XA_WM_NAME, AnyPropertyType) == title) {
        return true;
    }
    // Top-level windows sit at most a frame or two below the root under a window manager.
    if (depth >= 3) {
        return false;
    }
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &rootReturn, &parent, &children, &count) == 0) {
        return false;
    }
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        found = titledBelow(display, children[i], title, netWmName, utf8, depth + 1);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// The window a property of type WINDOW names, or None.
Window windowProperty(::Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    Window named = None;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1) {
        named = *reinterpret_cast<Window*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return named;
}

// The grabber may fetch a picture from far away; the show starts without it after this.
constexpr int GrabberLimitMs = 10000;

volatile std::sig_atomic_t stopRequested = 0;
// The signal may land on any thread (the audio device has its own): the handler also writes
// to this pipe, which the main loop's poll watches, so the show ends at once either way.
int stopPipe[2] = {-1, -1};

void requestStop(int)
{
    stopRequested = 1;
    if (stopPipe[1] >= 0) {
        const int saved = errno;
        [[maybe_unused]] const ssize_t n = write(stopPipe[1], "x", 1);
        errno = saved;
    }
}

int endOnLostConnection(::Display*)
{
    // The server went away: nothing left to draw on. Xlib must not return from here.
    _exit(0);
}

// Draws into a window we do not own, with the pixel layout of its visual.
class HackPlatform final : public show::CapturedDesktopPlatform {
public:
    HackPlatform(::Display* display, Window window, Visual* visual, int depth, PixelLayout layout)
        : presenter_(display, window, visual, depth, layout)
    {
        presenter_.presentFrom(memory_);
    }

    // Display lives in memory the server reads: a frame is put without a copy, and the show
    // may draw again once the server has read the last one (finishReading).
    std::pmr::memory_resource* displayMemory() override { return &memory_; }
    void finishReading() { presenter_.finishReading(); }

    // The root window's copy is kept on the server until asked for; the daemon's grabber
    // hands its copy over as a picture.
    bool copyDesktop(Picture& target) override
    {
        return snapshot != nullptr ? snapshot->copyInto(target) : CapturedDesktopPlatform::copyDesktop(target);
    }
    std::unique_ptr<DesktopSnapshot> snapshot;

    void present(const Picture& picture, const show::Rect& area) override
    {
        const show::Rect r = show::intersect(area, show::boundsOf(picture));
        if (r.empty()) {
            return;
        }
        presenter_.present(picture, r);
        // The show draws over the corner: the figure goes back on top.
        if (badge_ != nullptr && !show::intersect(r, badgeArea()).empty()) {
            presentBadge();
        }
    }

    void showFps(const FpsBadge* badge) { badge_ = badge; }
    void presentBadge()
    {
        const show::Rect at = badgeArea();
        presenter_.putImage(badge_->picture(), {0, 0, at.width, at.height}, at.x, at.y);
    }
    void setSize(int width, int height)
    {
        width_ = width;
        height_ = height;
    }

    bool takeEvent(const XEvent& event) { return presenter_.takeEvent(event); }

    std::int64_t nowMilliseconds() override { return monotonicMilliseconds(); }

private:
    show::Rect badgeArea() const { return badge_->placeIn(width_, height_); }

    const FpsBadge* badge_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    SharedPixelMemory memory_; // outlives the presenter, which detaches its segments
    XPresenter presenter_;
};

// The desktop as the daemon's grabber draws it into a pixmap of the window's size.
void grabThroughDaemon(::Display* dpy, Window window, const XWindowAttributes& attributes, PixelLayout layout,
                       Picture& target, std::ostream& messages)
{
    const std::string grabber = findImageGrabber();
    if (grabber.empty()) {
        messages << "velmora: the daemon's image grabber (xscreensaver-getimage) is not installed\n";
        return;
    }
    const Pixmap pixmap = XCreatePixmap(dpy, window, unsigned(attributes.width), unsigned(attributes.height),
                                        unsigned(attributes.depth));
    XSync(dpy, False);
    if (runImageGrabber(grabber, window, pixmap, GrabberLimitMs)) {
        ErrorTrap trap;
        if (XImage* image = XGetImage(dpy, pixmap, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                                      AllPlanes, ZPixmap)) {
            // A pixmap has no visual, so its image carries no colour masks: the window's apply.
            layout.bitsPerPixel = image->bits_per_pixel;
            layout.msbFirst = image->byte_order == MSBFirst;
            unpackPixels(reinterpret_cast<const std::uint8_t*>(image->data), image->bytes_per_line, layout,
                         attributes.width, attributes.height, target);
            XDestroyImage(image);
        }
    } else {
        messages << "velmora: the daemon's image grabber gave no picture\n";
    }
    XFreePixmap(dpy, pixmap);
}

} // namespace

bool x11WindowTitled(std::string_view titleUtf8)
{
    const DisplayHandle display(XOpenDisplay(nullptr));
    if (!display) {
        return false;
    }
    ErrorTrap trap;
    const Atom netWmName = XInternAtom(display.get(), "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display.get(), "UTF8_STRING", False);
    return titledBelow(display.get(), DefaultRootWindow(display.get()), titleUtf8, netWmName, utf8, 0);
}

struct DesktopSnapshot::Parts {
    DisplayHandle display;
    Pixmap pixmap = 0;
    PixelLayout layout;
    show::Rect readable; // the part on the root window, relative to the area's corner
};

std::unique_ptr<DesktopSnapshot> DesktopSnapshot::take(int x, int y, int width, int height)
{
    auto parts = std::make_unique<Parts>();
    parts->display.reset(XOpenDisplay(nullptr));
    ::Display* display = parts->display.get();
    if (display == nullptr) {
        return nullptr;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes rootAttributes{};
    if (XGetWindowAttributes(display, root, &rootAttributes) == 0) {
        return nullptr;
    }
    const std::optional<PixelLayout> layout = layoutFor(display, rootAttributes);
    const show::Rect readable =
        show::intersect({x, y, width, height}, {0, 0, rootAttributes.width, rootAttributes.height});
    if (!layout || readable.empty()) {
        return nullptr;
    }
    ErrorTrap trap;
    parts->pixmap = XCreatePixmap(display, root, unsigned(readable.width), unsigned(readable.height),
                                  unsigned(rootAttributes.depth));
    XGCValues values{};
    values.subwindow_mode = IncludeInferiors; // the windows on the desktop, not just its background
    const GC gc = XCreateGC(display, parts->pixmap, GCSubwindowMode, &values);
    XCopyArea(display, root, parts->pixmap, gc, readable.x, readable.y, unsigned(readable.width),
              unsigned(readable.height), 0, 0);
    XFreeGC(display, gc);
    // The copy is made before the show's window (on another connection) can cover the desktop.
    XSync(display, False);
    if (lastXError != 0) {
        XFreePixmap(display, parts->pixmap);
        return nullptr;
    }
    parts->layout = *layout;
    parts->readable = {readable.x - x, readable.y - y, readable.width, readable.height};
    return std::unique_ptr<DesktopSnapshot>(new DesktopSnapshot(std::move(parts)));
}

DesktopSnapshot::DesktopSnapshot(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

DesktopSnapshot::~DesktopSnapshot() { XFreePixmap(parts_->display.get(), parts_->pixmap); }

bool DesktopSnapshot::copyInto(Picture& target) const
{
    const show::Rect& r = parts_->readable;
    ErrorTrap trap;
    XImage* image =
        XGetImage(parts_->display.get(), parts_->pixmap, 0, 0, unsigned(r.width), unsigned(r.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    Picture part;
    // A pixmap's image has no colour masks of its own: they are the root window's visual's.
    const bool ok = unpackPixels(reinterpret_cast<const std::uint8_t*>(image->data), image->bytes_per_line,
                                 parts_->layout, r.width, r.height, part);
    XDestroyImage(image);
    if (!ok) {
        return false;
    }
    show::blockCopy(target, r.x, r.y, r.width, r.height, part, 0, 0);
    return true;
}

std::vector<show::Rect> x11Monitors()
{
    std::vector<show::Rect> monitors;
    const DisplayHandle display(XOpenDisplay(nullptr));
    if (!display || XineramaIsActive(display.get()) == False) {
        return monitors;
    }
    int count = 0;
    if (XineramaScreenInfo* screens = XineramaQueryScreens(display.get(), &count); screens != nullptr) {
        for (int i = 0; i < count; ++i) {
            monitors.push_back({screens[i].x_org, screens[i].y_org, screens[i].width, screens[i].height});
        }
        XFree(screens);
    }
    return monitors;
}

int runDisplayHack(const ShellOptions& options, const posix::PosixStartup& startup, ShowSession& session,
                   std::ostream& messages)
{
    const DisplayHandle display(XOpenDisplay(nullptr));
    if (!display) {
        messages << "velmora: cannot open the X display " << (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "")
                 << '\n';
        return 1;
    }
    ::Display* dpy = display.get();
    XSetErrorHandler(recordXError);
    XSetIOErrorHandler(endOnLostConnection);
    lastXError = 0;

    const Window window = options.target == Target::XRoot ? DefaultRootWindow(dpy) : Window(options.windowId);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(dpy, window, &attributes) == 0 || lastXError != 0) {
        messages << "velmora: there is no window 0x" << std::hex << options.windowId << std::dec << '\n';
        return 1;
    }
    const auto layout = layoutFor(dpy, attributes);
    if (!layout) {
        messages << "velmora: the window's visual is not true colour; the show cannot draw into it\n";
        return 1;
    }
    XSelectInput(dpy, window, StructureNotifyMask | ExposureMask);

    HackPlatform platform(dpy, window, attributes.visual, attributes.depth, *layout);
    if (session.state().catalogue.ImageCount == 0) {
        if (options.fromDaemon) {
            // The daemon's window already covers the desktop: its grabber has the copy, and
            // a user who does not want the desktop shown gets the show on black.
            const auto& daemon = startup.run().daemon;
            if (daemon && daemon->grabDesktopImages) {
                grabThroughDaemon(dpy, window, attributes, *layout, platform.desktop, messages);
            }
        } else {
            int rootX = 0;
            int rootY = 0;
            Window child = 0;
            XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &rootX, &rootY, &child);
            platform.snapshot = DesktopSnapshot::take(rootX, rootY, attributes.width, attributes.height);
        }
    }
    std::unique_ptr<FpsBadge> badge;
    if (options.fps) {
        badge = std::make_unique<FpsBadge>();
        platform.showFps(badge.get());
    }
    platform.setSize(attributes.width, attributes.height);

    if (stopPipe[0] < 0 && pipe2(stopPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        stopPipe[0] = stopPipe[1] = -1; // the flag alone then, checked at each wake-up
    }
    struct sigaction action{};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    int width = attributes.width;
    int height = attributes.height;
    const std::unique_ptr<show::ShowForm> form = session.makeForm(platform);
    form->Form_Load(width, height);
    ShowTicker ticker(*form, show::FrameIntervalMs);
    if (options.timing) {
        ticker.run(monotonicMilliseconds());
        XSync(dpy, False);
        messages << "velmora: first frame after " << monotonicMilliseconds() << " ms\n";
    }

    bool windowGone = false;
    while (!stopRequested && !windowGone) {
        platform.finishReading();
        ticker.run(monotonicMilliseconds());
        if (badge && badge->update(monotonicMilliseconds(), ticker.framesRun())) {
            platform.presentBadge();
        }
        XFlush(dpy);
        if (XEventsQueued(dpy, QueuedAlready) == 0) {
            const int wait = ticker.sleepLimit(monotonicMilliseconds(), badge != nullptr);
            if (!ticker.sleepForFrame(wait, ConnectionNumber(dpy), stopPipe[0])) {
                break;
            }
        }
        bool exposed = false;
        int newWidth = width;
        int newHeight = height;
        XEventsQueued(dpy, QueuedAfterReading); // one read of whatever the server sent
        while (XEventsQueued(dpy, QueuedAlready) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (platform.takeEvent(event)) {
                continue;
            }
            if (event.xany.window != window) {
                continue;
            }
            switch (event.type) {
            case ConfigureNotify:
                newWidth = event.xconfigure.width;
                newHeight = event.xconfigure.height;
                break;
            case Expose: exposed = true; break;
            case DestroyNotify: windowGone = true; break;
            default: break;
            }
        }
        const int error = lastXError.exchange(0);
        if (error == BadWindow || error == BadDrawable) {
            windowGone = true;
        }
        if (windowGone) {
            break;
        }
        if (newWidth != width || newHeight != height) {
            // The same show laid out for the new size: the music and the show order go on.
            width = newWidth;
            height = newHeight;
            platform.setSize(width, height);
            platform.finishReading();
            form->Form_Resize(width, height);
        } else if (exposed) {
            platform.present(form->buffers().Display, show::boundsOf(form->buffers().Display));
        }
    }
    form->stopShow();
    if (options.timing) {
        ticker.frameIntervals().print(messages, ticker.frameIntervalMs());
    }
    return 0;
}

bool windowManagerRunning(::Display* display)
{
    // A window manager that takes full-screen requests names its check window on the root
    // window, and that window names itself; a stale name may point at a window gone since.
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) {
        return false;
    }
    ErrorTrap trap;
    const Window named = windowProperty(display, DefaultRootWindow(display), check);
    return named != None && windowProperty(display, named, check) == named && lastXError == 0;
}

} // namespace velmora::shell
