// Puts rectangles of the show's picture into an X window, for both the show's own window and
// the display hack: through memory the X server shares (MIT-SHM) where it can, through the
// connection otherwise. The pixel layout is the window's visual's.
#pragma once

#include "filters/picture.h"
#include "platform/linux/shared_pixels.h"
#include "platform/linux/shell_pixels.h"
#include "show/drawing.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <optional>
#include <vector>

namespace velmora::shell {

// The pixel layout the server uses for this visual and depth; nullopt when it is no
// true-colour visual (a palette would need colour allocation the show has no use for).
std::optional<PixelLayout> layoutFor(::Display* display, const XWindowAttributes& attributes);

class XPresenter {
public:
    XPresenter(::Display* display, Window window, Visual* visual, int depth, PixelLayout layout);
    ~XPresenter();
    XPresenter(const XPresenter&) = delete;
    XPresenter& operator=(const XPresenter&) = delete;

    // Pictures whose pixels live in `memory` (the show's Display) are put straight from it,
    // without a copy, where the server shares memory and uses the picture's pixel layout.
    // `memory` must outlive the presenter.
    void presentFrom(SharedPixelMemory& memory);

    // Puts `area` of `picture` at the same place in the window. The request is only queued:
    // the caller flushes the connection once per frame. Through shared memory the image is
    // written only once the server has read the last put (see takeEvent).
    void present(const Picture& picture, const show::Rect& area);
    // Returns once the server has read the last put: a picture put straight from its own
    // memory may then be drawn into again. Normally its note came with the frame's events and
    // this costs nothing.
    void finishReading() { waitUntilRead(); }
    // Puts `area` of `picture` at (dx, dy) through the connection (the small -fps figure).
    void putImage(const Picture& picture, const show::Rect& area, int dx, int dy);

    // True when `event` is the server's note that it has read the shared image (taken here).
    // Shells collect it with the next frame's events rather than waking up for it.
    bool takeEvent(const XEvent& event);

private:
    // A segment of the shared picture memory attached to the server, with an image of the
    // picture's size over it.
    struct Direct {
        const void* address = nullptr;
        XShmSegmentInfo segment{};
        XImage* image = nullptr;
        bool attached = false;
    };
    bool putDirect(const Picture& picture, const show::Rect& area);
    Direct* directFor(const SharedPixelMemory::Segment& segment, const Picture& picture);
    void forgetDirect(const void* address);
    bool attach(XShmSegmentInfo& segment);
    bool createShared(int width, int height);
    void waitUntilRead();
    void releaseShared();

    ::Display* display_;
    Window window_;
    GC gc_;
    Visual* visual_;
    int depth_;
    PixelLayout layout_;
    std::vector<std::uint8_t> scratch_;
    // The shared image, the size of the picture last presented.
    bool sharedAvailable_ = false;
    int completionType_ = -1;
    XShmSegmentInfo segment_{};
    XImage* image_ = nullptr;
    bool attached_ = false;
    bool reading_ = false; // a put whose note has not come yet
    unsigned long putSerial_ = 0; // the request number of the last put
    SharedPixelMemory* memory_ = nullptr;
    std::vector<Direct> direct_;
};

} // namespace velmora::shell
