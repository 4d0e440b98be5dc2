// Puts the show's picture on a Wayland surface through shared-memory buffers: the changed
// rectangles of a frame are gathered and committed together when the compositor asks for the
// next frame, so nothing is drawn that would never be seen and the process never spins.
#pragma once

#include "filters/picture.h"
#include "show/drawing.h"

#include <cstdint>
#include <functional>
#include <memory>

struct wl_buffer;
struct wl_callback;
struct wl_display;
struct wl_shm;
struct wl_shm_pool;
struct wl_surface;

namespace velmora::shell {

class WaylandPresenter {
public:
    // nullptr when the compositor offers no shared memory or the buffers cannot be made.
    // `surface` stays the caller's; `wake` is called (from the connection's dispatch, on the
    // caller's thread) when the compositor is ready for a frame that is waiting.
    static std::unique_ptr<WaylandPresenter> create(wl_display* display, wl_surface* surface, int width, int height,
                                                    std::function<void()> wake);
    ~WaylandPresenter();
    WaylandPresenter(const WaylandPresenter&) = delete;
    WaylandPresenter& operator=(const WaylandPresenter&) = delete;

    // Marks `area` of `picture` (the surface's size, kept alive by the caller until the next
    // flush) to be shown at the same place.
    void present(const Picture& picture, const show::Rect& area);
    // A small picture kept on top at (x, y) (the -fps figure); nullptr takes it away.
    void setOverlay(const Picture* overlay, int x, int y);
    // Commits what is marked, unless the compositor has not yet asked for a frame or both
    // buffers are still being read; then it waits for the next flush.
    void flush();
    // Something is marked and not yet committed.
    bool holding() const { return !damage_.empty(); }
    // The compositor connection's descriptor, to sleep on.
    int connection() const;

    // The connection's listeners.
    static void frameDone(void* data, wl_callback* callback, std::uint32_t time);
    static void bufferReleased(void* data, wl_buffer* buffer);

private:
    struct Buffer {
        wl_buffer* buffer = nullptr;
        std::uint8_t* pixels = nullptr;
        bool busy = false;   // the compositor may still read it
        show::Rect stale;    // what changed since this buffer was last committed
    };

    WaylandPresenter(wl_display* display, wl_surface* surface, int width, int height, std::function<void()> wake);
    bool makeBuffers(wl_shm* shm);
    void mark(const show::Rect& area);
    void fill(Buffer& buffer);

    wl_display* display_;
    wl_surface* surface_;
    int width_;
    int height_;
    std::function<void()> wake_;
    wl_shm_pool* pool_ = nullptr;
    void* memory_ = nullptr;
    std::size_t memorySize_ = 0;
    Buffer buffers_[2];
    int last_ = 0;                 // the buffer committed last
    wl_callback* frame_ = nullptr; // asked for, not yet done
    show::Rect damage_;            // changed since the last commit
    const Picture* source_ = nullptr;
    const Picture* overlay_ = nullptr;
    show::Rect overlayArea_;
};

} // namespace velmora::shell
