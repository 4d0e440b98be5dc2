// X presentation of the show: a shared image the server reads, or XPutImage.
#include "platform/linux/shell_present.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>

namespace velmora::shell {

namespace {

// The attach of a shared segment fails on a server elsewhere (a remote display) only with an
// error after a round trip; it is caught here, whatever handler the shell has installed.
std::atomic<int> attachError{0};

int recordAttachError(::Display*, XErrorEvent* event)
{
    attachError = event->error_code;
    return 0;
}

} // namespace

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

XPresenter::XPresenter(::Display* display, Window window, Visual* visual, int depth, PixelLayout layout)
    : display_(display), window_(window), gc_(XCreateGC(display, window, 0, nullptr)), visual_(visual),
      depth_(depth), layout_(layout)
{
    int major = 0;
    int minor = 0;
    Bool pixmaps = False;
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    // Only for a server on this machine that takes pixels in our byte order. Asked by name
    // first: Xlib's own query prints a warning when the extension is missing.
    sharedAvailable_ = XQueryExtension(display, "MIT-SHM", &opcode, &eventBase, &errorBase) != 0 &&
                       XShmQueryVersion(display, &major, &minor, &pixmaps) != 0 &&
                       ImageByteOrder(display) == LSBFirst;
    if (sharedAvailable_) {
        completionType_ = XShmGetEventBase(display) + ShmCompletion;
    }
}

XPresenter::~XPresenter()
{
    if (memory_ != nullptr) {
        memory_->onRelease(nullptr);
    }
    while (!direct_.empty()) {
        forgetDirect(direct_.back().address);
    }
    releaseShared();
    XFreeGC(display_, gc_);
}

void XPresenter::presentFrom(SharedPixelMemory& memory)
{
    memory_ = &memory;
    memory.onRelease([this](const void* address) { forgetDirect(address); });
}

void XPresenter::present(const Picture& picture, const show::Rect& area)
{
    const show::Rect r = show::intersect(area, show::boundsOf(picture));
    if (r.empty() || putDirect(picture, r)) {
        return;
    }
    if (image_ == nullptr || image_->width != picture.width() || image_->height != picture.height()) {
        releaseShared();
        if (sharedAvailable_ && !createShared(picture.width(), picture.height())) {
            sharedAvailable_ = false; // never asked again
        }
    }
    if (image_ != nullptr && image_->bits_per_pixel == layout_.bitsPerPixel) {
        waitUntilRead();
        auto* out = reinterpret_cast<std::uint8_t*>(image_->data) + std::size_t(r.y) * std::size_t(image_->bytes_per_line) +
                    std::size_t(r.x) * std::size_t(image_->bits_per_pixel / 8);
        if (packPixels(picture, r, layout_, out, image_->bytes_per_line)) {
            putSerial_ = NextRequest(display_);
            XShmPutImage(display_, window_, gc_, image_, r.x, r.y, r.x, r.y, unsigned(r.width), unsigned(r.height),
                         True);
            reading_ = true;
            return;
        }
    }
    putImage(picture, r, r.x, r.y);
}

void XPresenter::putImage(const Picture& picture, const show::Rect& r, int dx, int dy)
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

bool XPresenter::takeEvent(const XEvent& event)
{
    if (!sharedAvailable_ || event.type != completionType_) {
        return false;
    }
    // A note of an earlier put (read after a round trip) says nothing of the last one.
    if (event.xany.serial >= putSerial_) {
        reading_ = false;
    }
    return true;
}

// Puts `r` of a picture that lives in the shared picture memory straight from there.
bool XPresenter::putDirect(const Picture& picture, const show::Rect& r)
{
    if (memory_ == nullptr || !sharedAvailable_ || !layout_.sameAsPicture()) {
        return false;
    }
    const SharedPixelMemory::Segment* segment = memory_->segmentAt(picture.data());
    if (segment == nullptr || segment->bytes < picture.byteCount()) {
        return false;
    }
    Direct* direct = directFor(*segment, picture);
    if (direct == nullptr) {
        return false;
    }
    waitUntilRead();
    putSerial_ = NextRequest(display_);
    XShmPutImage(display_, window_, gc_, direct->image, r.x, r.y, r.x, r.y, unsigned(r.width), unsigned(r.height),
                 True);
    reading_ = true;
    return true;
}

// The segment attached to the server (once), with an image of the picture's size; null when
// the server cannot attach it (the picture is then put as any other).
XPresenter::Direct* XPresenter::directFor(const SharedPixelMemory::Segment& segment, const Picture& picture)
{
    auto found = std::find_if(direct_.begin(), direct_.end(), [&](const Direct& d) { return d.address == segment.address; });
    if (found == direct_.end()) {
        Direct direct;
        direct.address = segment.address;
        direct.segment.shmid = segment.id;
        direct.segment.shmaddr = static_cast<char*>(segment.address);
        direct.segment.readOnly = True;
        direct.attached = attach(direct.segment);
        direct_.push_back(direct);
        found = direct_.end() - 1;
    }
    if (!found->attached) {
        return nullptr;
    }
    XImage* image = found->image;
    if (image == nullptr || image->width != picture.width() || image->height != picture.height()) {
        if (image != nullptr) {
            waitUntilRead();
            image->data = nullptr;
            XDestroyImage(image);
        }
        found->image = image = XShmCreateImage(display_, visual_, unsigned(depth_), ZPixmap, found->segment.shmaddr,
                                               &found->segment, unsigned(picture.width()), unsigned(picture.height()));
        // The picture has no row padding: the image must agree, or it is put with a copy.
        if (image != nullptr &&
            (image->bits_per_pixel != 32 || image->bytes_per_line != picture.width() * 4)) {
            image->data = nullptr;
            XDestroyImage(image);
            found->image = image = nullptr;
        }
    }
    return image != nullptr ? &*found : nullptr;
}

// The segment at `address` is about to go: the server lets go of it first.
void XPresenter::forgetDirect(const void* address)
{
    const auto found = std::find_if(direct_.begin(), direct_.end(), [&](const Direct& d) { return d.address == address; });
    if (found == direct_.end()) {
        return;
    }
    if (found->attached) {
        waitUntilRead();
        XShmDetach(display_, &found->segment);
        XSync(display_, False);
    }
    if (found->image != nullptr) {
        found->image->data = nullptr;
        XDestroyImage(found->image);
    }
    direct_.erase(found);
}

// Attaches `segment` to the server; the attach fails on a server elsewhere only with an error
// after a round trip.
bool XPresenter::attach(XShmSegmentInfo& segment)
{
    XSync(display_, False);
    attachError = 0;
    const XErrorHandler previous = XSetErrorHandler(recordAttachError);
    const Bool attached = XShmAttach(display_, &segment);
    XSync(display_, False);
    XSetErrorHandler(previous);
    return attached != 0 && attachError == 0;
}

bool XPresenter::createShared(int width, int height)
{
    image_ = XShmCreateImage(display_, visual_, unsigned(depth_), ZPixmap, nullptr, &segment_, unsigned(width),
                             unsigned(height));
    if (image_ == nullptr) {
        return false;
    }
    segment_.shmid =
        shmget(IPC_PRIVATE, std::size_t(image_->bytes_per_line) * std::size_t(image_->height), IPC_CREAT | 0600);
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
    const bool attached = attach(segment_);
    // Marked for removal now: the segment goes away once both sides have detached, even if
    // this process is killed.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (!attached) {
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
// normally came with the events read before this frame; if not, a round trip settles it
// either way (a put that failed, into a window already gone, sends no note at all, so waiting
// for one could hang).
void XPresenter::waitUntilRead()
{
    if (reading_) {
        XSync(display_, False);
        reading_ = false;
    }
}

void XPresenter::releaseShared()
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

} // namespace velmora::shell
