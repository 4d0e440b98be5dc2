// The show on a Wayland surface: two buffers in one shared-memory pool, paced by frame callbacks.
#include "platform/linux/shell_wayland.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace velmora::shell {

namespace {

const wl_callback_listener FrameListener = {&WaylandPresenter::frameDone};
const wl_buffer_listener BufferListener = {&WaylandPresenter::bufferReleased};

void addGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t)
{
    if (std::string_view(interface) == wl_shm_interface.name) {
        *static_cast<wl_shm**>(data) = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    }
}
void removeGlobal(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener RegistryListener = {&addGlobal, &removeGlobal};

// The compositor's shared memory, bound on a queue of our own so that the round trips here
// do not run the toolkit's handlers; afterwards it lives on the display's default queue,
// which the toolkit dispatches, with everything made from it.
wl_shm* bindSharedMemory(wl_display* display)
{
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    wl_shm* shm = nullptr;
    wl_registry_add_listener(registry, &RegistryListener, &shm);
    // The second round trip takes the formats the compositor sends on binding.
    wl_display_roundtrip_queue(display, queue);
    wl_display_roundtrip_queue(display, queue);
    if (shm != nullptr) {
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(shm), nullptr);
    }
    wl_registry_destroy(registry);
    wl_event_queue_destroy(queue);
    return shm;
}

} // namespace

std::unique_ptr<WaylandPresenter> WaylandPresenter::create(wl_display* display, wl_surface* surface, int width,
                                                           int height, std::function<void()> wake)
{
    if (display == nullptr || surface == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    wl_shm* shm = bindSharedMemory(display);
    if (shm == nullptr) {
        return nullptr;
    }
    std::unique_ptr<WaylandPresenter> presenter(new WaylandPresenter(display, surface, width, height, std::move(wake)));
    const bool made = presenter->makeBuffers(shm);
    wl_shm_destroy(shm); // the pool keeps what it needs
    return made ? std::move(presenter) : nullptr;
}

WaylandPresenter::WaylandPresenter(wl_display* display, wl_surface* surface, int width, int height,
                                   std::function<void()> wake)
    : display_(display), surface_(surface), width_(width), height_(height), wake_(std::move(wake))
{
}

bool WaylandPresenter::makeBuffers(wl_shm* shm)
{
    const std::size_t stride = std::size_t(width_) * 4;
    const std::size_t bufferSize = stride * std::size_t(height_);
    if (bufferSize * 2 > std::size_t(INT32_MAX)) {
        return false; // the pool's size is a 32-bit request argument
    }
    const int fd = memfd_create("velmora-show", MFD_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    memorySize_ = bufferSize * 2;
    void* memory = ftruncate(fd, off_t(memorySize_)) == 0
                       ? mmap(nullptr, memorySize_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                       : MAP_FAILED;
    if (memory == MAP_FAILED) {
        close(fd);
        return false;
    }
    memory_ = memory;
    // The request takes its own copy of the descriptor.
    pool_ = wl_shm_create_pool(shm, fd, std::int32_t(memorySize_));
    close(fd);
    for (int i = 0; i < 2; ++i) {
        Buffer& b = buffers_[i];
        b.pixels = static_cast<std::uint8_t*>(memory_) + bufferSize * std::size_t(i);
        b.buffer = wl_shm_pool_create_buffer(pool_, std::int32_t(bufferSize * std::size_t(i)), width_, height_,
                                             std::int32_t(stride), WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(b.buffer, &BufferListener, this);
        b.stale = {0, 0, width_, height_}; // black until the show's first frame fills it
    }
    return true;
}

WaylandPresenter::~WaylandPresenter()
{
    if (frame_ != nullptr) {
        wl_callback_destroy(frame_);
    }
    for (Buffer& b : buffers_) {
        if (b.buffer != nullptr) {
            wl_buffer_destroy(b.buffer);
        }
    }
    if (pool_ != nullptr) {
        wl_shm_pool_destroy(pool_);
    }
    if (memory_ != nullptr) {
        munmap(memory_, memorySize_);
    }
    wl_display_flush(display_);
}

void WaylandPresenter::mark(const show::Rect& area)
{
    const show::Rect r = show::intersect(area, {0, 0, width_, height_});
    if (r.empty()) {
        return;
    }
    damage_ = show::unite(damage_, r);
    for (Buffer& b : buffers_) {
        b.stale = show::unite(b.stale, r);
    }
}

void WaylandPresenter::present(const Picture& picture, const show::Rect& area)
{
    source_ = &picture;
    mark(show::intersect(area, show::boundsOf(picture)));
}

void WaylandPresenter::setOverlay(const Picture* overlay, int x, int y)
{
    mark(overlayArea_); // where the last one stood shows the picture again
    overlay_ = overlay;
    overlayArea_ = overlay != nullptr ? show::Rect{x, y, overlay->width(), overlay->height()} : show::Rect{};
    mark(overlayArea_);
}

void WaylandPresenter::fill(Buffer& buffer)
{
    const std::size_t stride = std::size_t(width_) * 4;
    const auto copy = [&](const Picture& from, const show::Rect& area, int atX, int atY) {
        // `area` is in the surface's coordinates; the source starts at (atX, atY).
        const show::Rect r = show::intersect(area, {atX, atY, from.width(), from.height()});
        for (int y = r.y; y < r.bottom(); ++y) {
            std::memcpy(buffer.pixels + std::size_t(y) * stride + std::size_t(r.x) * 4,
                        from.pixel(r.x - atX, y - atY), std::size_t(r.width) * 4);
        }
    };
    const show::Rect stale = buffer.stale;
    if (source_ != nullptr) {
        // The picture's bytes are blue, green, red, unused: XRGB8888 in memory order.
        copy(*source_, stale, 0, 0);
    } else {
        for (int y = stale.y; y < stale.bottom(); ++y) {
            std::memset(buffer.pixels + std::size_t(y) * stride + std::size_t(stale.x) * 4, 0,
                        std::size_t(stale.width) * 4);
        }
    }
    if (overlay_ != nullptr) {
        copy(*overlay_, show::intersect(stale, overlayArea_), overlayArea_.x, overlayArea_.y);
    }
    buffer.stale = {};
}

void WaylandPresenter::flush()
{
    if (damage_.empty() || frame_ != nullptr) {
        return;
    }
    // The buffer last committed, when the compositor has already let go of it (one that copies
    // as it commits does at once), lacks only this frame's changes; the other one two frames'.
    Buffer* free = nullptr;
    for (Buffer* b : {&buffers_[last_], &buffers_[1 - last_]}) {
        if (!b->busy) {
            free = b;
            break;
        }
    }
    if (free == nullptr) {
        return; // taken again when a buffer comes back
    }
    fill(*free);
    wl_surface_attach(surface_, free->buffer, 0, 0);
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface_)) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
        wl_surface_damage_buffer(surface_, damage_.x, damage_.y, damage_.width, damage_.height);
    } else {
        wl_surface_damage(surface_, damage_.x, damage_.y, damage_.width, damage_.height);
    }
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &FrameListener, this);
    wl_surface_commit(surface_);
    wl_display_flush(display_);
    free->busy = true;
    last_ = free == &buffers_[0] ? 0 : 1;
    damage_ = {};
}

int WaylandPresenter::connection() const { return wl_display_get_fd(display_); }

void WaylandPresenter::frameDone(void* data, wl_callback* callback, std::uint32_t)
{
    auto* self = static_cast<WaylandPresenter*>(data);
    wl_callback_destroy(callback);
    self->frame_ = nullptr;
    if (self->holding() && self->wake_) {
        self->wake_();
    }
}

void WaylandPresenter::bufferReleased(void* data, wl_buffer* buffer)
{
    auto* self = static_cast<WaylandPresenter*>(data);
    for (Buffer& b : self->buffers_) {
        if (b.buffer == buffer) {
            b.busy = false;
        }
    }
    if (self->holding() && self->frame_ == nullptr && self->wake_) {
        self->wake_();
    }
}

} // namespace velmora::shell
