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

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <ostream>
#include <fcntl.h>
#include <poll.h>
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

PixelLayout layoutOf(const XImage& image)
{
    PixelLayout layout;
    layout.bitsPerPixel = image.bits_per_pixel;
    layout.redMask = std::uint32_t(image.red_mask);
    layout.greenMask = std::uint32_t(image.green_mask);
    layout.blueMask = std::uint32_t(image.blue_mask);
    layout.msbFirst = image.byte_order == MSBFirst;
    return layout;
}

bool captureRoot(::Display* display, int x, int y, int width, int height, Picture& target)
{
    const Window root = DefaultRootWindow(display);
    XWindowAttributes rootAttributes{};
    if (XGetWindowAttributes(display, root, &rootAttributes) == 0) {
        return false;
    }
    // Only the part that lies on the root window can be read; the rest stays black.
    const show::Rect wanted{x, y, width, height};
    const show::Rect readable = show::intersect(wanted, {0, 0, rootAttributes.width, rootAttributes.height});
    if (readable.empty()) {
        return false;
    }
    ErrorTrap trap;
    XImage* image = XGetImage(display, root, readable.x, readable.y, unsigned(readable.width),
                              unsigned(readable.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    Picture part;
    const bool ok = unpackPixels(reinterpret_cast<const std::uint8_t*>(image->data), image->bytes_per_line,
                                 layoutOf(*image), readable.width, readable.height, part);
    XDestroyImage(image);
    if (!ok) {
        return false;
    }
    target.resize(width, height);
    show::blockCopy(target, readable.x - x, readable.y - y, readable.width, readable.height, part, 0, 0);
    return true;
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

// An image in memory that the X server shares (MIT-SHM), the size of the window's picture:
// a presented rectangle is copied into it once and the server reads it from there, where
// XPutImage would send every byte through the connection. Only for a server on this machine
// that takes pixels in our byte order; anything else keeps to XPutImage.
class SharedImage {
public:
    SharedImage(::Display* display, Visual* visual, int depth) : display_(display), visual_(visual), depth_(depth)
    {
        int major = 0;
        int minor = 0;
        Bool pixmaps = False;
        int opcode = 0;
        int eventBase = 0;
        int errorBase = 0;
        // Asked by name first: Xlib's own query prints a warning when the extension is missing.
        available_ = XQueryExtension(display, "MIT-SHM", &opcode, &eventBase, &errorBase) != 0 &&
                     XShmQueryVersion(display, &major, &minor, &pixmaps) != 0 && ImageByteOrder(display) == LSBFirst;
        if (available_) {
            completionType_ = XShmGetEventBase(display) + ShmCompletion;
        }
    }
    ~SharedImage() { release(); }
    SharedImage(const SharedImage&) = delete;
    SharedImage& operator=(const SharedImage&) = delete;

    // The shared image for a width x height picture, made on first use and again for a new
    // size; nullptr when the server cannot share memory with us (then never asked again).
    XImage* imageFor(int width, int height)
    {
        if (image_ != nullptr && image_->width == width && image_->height == height) {
            waitUntilRead();
            return image_;
        }
        release();
        if (!available_ || !create(width, height)) {
            available_ = false;
            return nullptr;
        }
        return image_;
    }

    // Hands the server `area` of the image, drawn at the same place in `window`.
    void put(Window window, GC gc, const show::Rect& area)
    {
        XShmPutImage(display_, window, gc, image_, area.x, area.y, area.x, area.y, unsigned(area.width),
                     unsigned(area.height), True);
        reading_ = true;
    }

    // The server's note that it has read the image: it may be written again.
    bool isCompletion(const XEvent& event) const { return available_ && event.type == completionType_; }
    void completed() { reading_ = false; }

private:
    bool create(int width, int height)
    {
        image_ = XShmCreateImage(display_, visual_, unsigned(depth_), ZPixmap, nullptr, &segment_, unsigned(width),
                                 unsigned(height));
        if (image_ == nullptr) {
            return false;
        }
        segment_.shmid = shmget(IPC_PRIVATE, std::size_t(image_->bytes_per_line) * std::size_t(image_->height),
                                IPC_CREAT | 0600);
        if (segment_.shmid < 0) {
            XDestroyImage(image_);
            image_ = nullptr;
            return false;
        }
        void* memory = shmat(segment_.shmid, nullptr, 0);
        if (memory == reinterpret_cast<void*>(-1)) {
            shmctl(segment_.shmid, IPC_RMID, nullptr);
            XDestroyImage(image_);
            image_ = nullptr;
            return false;
        }
        segment_.shmaddr = image_->data = static_cast<char*>(memory);
        segment_.readOnly = False;
        // A server elsewhere (a remote display) refuses the attach: known only after a round trip.
        const int before = lastXError.exchange(0);
        const Bool attached = XShmAttach(display_, &segment_);
        XSync(display_, False);
        const int error = lastXError.exchange(before);
        // Marked for removal now: the segment goes away once both sides have detached, even
        // if this process is killed.
        shmctl(segment_.shmid, IPC_RMID, nullptr);
        if (attached == 0 || error != 0) {
            shmdt(segment_.shmaddr);
            image_->data = nullptr;
            XDestroyImage(image_);
            image_ = nullptr;
            return false;
        }
        attached_ = true;
        return true;
    }

    // The image must not change while the server may still be reading the last put. Its note
    // normally came long ago; if not, a round trip settles it either way (a put that failed,
    // into a window already gone, sends no note at all, so waiting for one could hang).
    void waitUntilRead()
    {
        if (reading_) {
            XSync(display_, False);
            reading_ = false;
        }
    }

    void release()
    {
        if (image_ == nullptr) {
            return;
        }
        if (attached_) {
            waitUntilRead();
            XShmDetach(display_, &segment_);
            XSync(display_, False);
            attached_ = false;
        }
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
    }

    ::Display* display_;
    Visual* visual_;
    int depth_;
    bool available_ = false;
    int completionType_ = -1;
    XShmSegmentInfo segment_{};
    XImage* image_ = nullptr;
    bool attached_ = false;
    bool reading_ = false;
};

// Draws into a window we do not own, with the pixel layout of its visual.
class HackPlatform final : public show::CapturedDesktopPlatform {
public:
    HackPlatform(::Display* display, Window window, GC gc, Visual* visual, int depth, PixelLayout layout)
        : display_(display), window_(window), gc_(gc), depth_(depth), layout_(layout), shared_(display, visual, depth)
    {
    }

    void present(const Picture& picture, const show::Rect& area) override
    {
        const show::Rect r = show::intersect(area, show::boundsOf(picture));
        if (r.empty()) {
            return;
        }
        putShown(picture, r);
        // The show draws over the corner: the figure goes back on top.
        if (badge_ != nullptr && !show::intersect(r, badgeArea()).empty()) {
            presentBadge();
        }
    }

    void showFps(const FpsBadge* badge) { badge_ = badge; }
    void presentBadge()
    {
        const show::Rect at = badgeArea();
        putImage(badge_->picture(), {0, 0, at.width, at.height}, at.x, at.y);
    }
    void setSize(int width, int height)
    {
        width_ = width;
        height_ = height;
    }

    bool isShmCompletion(const XEvent& event) const { return shared_.isCompletion(event); }
    void shmCompleted() { shared_.completed(); }

    std::int64_t nowMilliseconds() override { return monotonicMilliseconds(); }

private:
    show::Rect badgeArea() const { return badge_->placeIn(width_, height_); }

    // The show's picture, through shared memory when the server shares it with us.
    void putShown(const Picture& picture, const show::Rect& r)
    {
        if (XImage* image = shared_.imageFor(picture.width(), picture.height())) {
            const int bytesPerPixel = image->bits_per_pixel / 8;
            auto* out = reinterpret_cast<std::uint8_t*>(image->data) + std::size_t(r.y) * std::size_t(image->bytes_per_line) +
                        std::size_t(r.x) * std::size_t(bytesPerPixel);
            if (image->bits_per_pixel == layout_.bitsPerPixel && packPixels(picture, r, layout_, out, image->bytes_per_line)) {
                shared_.put(window_, gc_, r);
                return;
            }
        }
        putImage(picture, r, r.x, r.y);
    }

    // Draws `r` of `picture` (inside it) at (dx, dy) of the window through the connection: for
    // a server that cannot share memory with us, and for the small -fps figure.
    void putImage(const Picture& picture, const show::Rect& r, int dx, int dy)
    {
        if (r.empty()) {
            return;
        }
        XImage image{};
        image.format = ZPixmap;
        image.byte_order = layout_.msbFirst ? MSBFirst : LSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = LSBFirst;
        image.bitmap_pad = 32;
        image.depth = depth_;
        image.bits_per_pixel = layout_.bitsPerPixel;
        image.red_mask = layout_.redMask;
        image.green_mask = layout_.greenMask;
        image.blue_mask = layout_.blueMask;
        int sx = r.x;
        int sy = r.y;
        if (layout_.sameAsPicture()) {
            // The picture's memory is already in the server's layout: no copy at all.
            image.width = picture.width();
            image.height = picture.height();
            image.bytes_per_line = picture.width() * 4;
            image.data = const_cast<char*>(reinterpret_cast<const char*>(picture.data()));
        } else {
            const int stride = ((r.width * layout_.bitsPerPixel + 31) / 32) * 4;
            scratch_.resize(std::size_t(stride) * std::size_t(r.height));
            if (!packPixels(picture, r, layout_, scratch_.data(), stride)) {
                return;
            }
            image.width = r.width;
            image.height = r.height;
            image.bytes_per_line = stride;
            image.data = reinterpret_cast<char*>(scratch_.data());
            sx = 0;
            sy = 0;
        }
        if (XInitImage(&image) == 0) {
            return;
        }
        XPutImage(display_, window_, gc_, &image, sx, sy, dx, dy, unsigned(r.width), unsigned(r.height));
        image.data = nullptr;
    }

    const FpsBadge* badge_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    ::Display* display_;
    Window window_;
    GC gc_;
    int depth_;
    PixelLayout layout_;
    std::vector<std::uint8_t> scratch_;
    SharedImage shared_;
};

// The pixel layout the server uses for this visual and depth; nullopt when it is no
// true-colour visual (a palette would need colour allocation the show has no use for).
std::optional<PixelLayout> layoutFor(::Display* display, const XWindowAttributes& attributes)
{
    const Visual* visual = attributes.visual;
    if (visual == nullptr || (visual->c_class != TrueColor && visual->c_class != DirectColor)) {
        return std::nullopt;
    }
    PixelLayout layout;
    layout.redMask = std::uint32_t(visual->red_mask);
    layout.greenMask = std::uint32_t(visual->green_mask);
    layout.blueMask = std::uint32_t(visual->blue_mask);
    layout.bitsPerPixel = 0;
    int count = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; ++i) {
            if (formats[i].depth == attributes.depth) {
                layout.bitsPerPixel = formats[i].bits_per_pixel;
            }
        }
        XFree(formats);
    }
    // The image is handed over in our own byte order; Xlib swaps when the server differs.
    layout.msbFirst = false;
    if (!layout.supported()) {
        return std::nullopt;
    }
    return layout;
}

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

bool captureRootWindow(int x, int y, int width, int height, Picture& target)
{
    const DisplayHandle display(XOpenDisplay(nullptr));
    return display && captureRoot(display.get(), x, y, width, height, target);
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
    GC gc = XCreateGC(dpy, window, 0, nullptr);

    HackPlatform platform(dpy, window, gc, attributes.visual, attributes.depth, *layout);
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
            captureRoot(dpy, rootX, rootY, attributes.width, attributes.height, platform.desktop);
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
        ticker.run(monotonicMilliseconds());
        if (badge && badge->update(monotonicMilliseconds(), ticker.framesRun())) {
            platform.presentBadge();
        }
        XFlush(dpy);
        if (XPending(dpy) == 0) {
            int wait = ticker.waitFrom(monotonicMilliseconds());
            if (badge) {
                wait = wait < 0 ? FpsBadge::UpdateIntervalMs : std::min(wait, FpsBadge::UpdateIntervalMs);
            }
            pollfd watched[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
            if (poll(watched, stopPipe[0] >= 0 ? 2 : 1, wait) < 0 && errno != EINTR) {
                break;
            }
        }
        bool exposed = false;
        int newWidth = width;
        int newHeight = height;
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (platform.isShmCompletion(event)) {
                platform.shmCompleted();
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
            form->Form_Resize(width, height);
        } else if (exposed) {
            platform.present(form->buffers().Display, show::boundsOf(form->buffers().Display));
        }
    }
    form->stopShow();
    if (options.timing) {
        ticker.frameIntervals().print(messages, ticker.frameIntervalMs());
    }
    XFreeGC(dpy, gc);
    return 0;
}

} // namespace velmora::shell
