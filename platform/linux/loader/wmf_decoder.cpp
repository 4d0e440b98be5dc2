// Windows metafiles through libwmf's GD renderer, at the picture's own size. The file is
// first checked record by record and rebuilt from its drawing records only, the same
// stream the Windows loader plays.
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libwmf/api.h>
#include <libwmf/gd.h>

// From libwmf's own GD (its header needs include paths of its own; this is all we use).
extern "C" void gdImageDestroy(struct gdImageStruct* image);

namespace velmora::decode {
namespace {

struct ApiDestroy {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};
using Api = std::unique_ptr<wmfAPI, ApiDestroy>;

// libwmf maps the window onto a viewport of its own choosing; pin the viewport to the
// picture's pixels so that the window fills the picture exactly. The cleaned stream starts
// with the header and three set-up records (mapping mode, window origin, window extent).
std::vector<std::uint8_t> withPixelViewport(const loading::WmfPlan& plan)
{
    constexpr std::size_t kAfterSetup = 18 + 8 + 10 + 10;
    const std::uint8_t viewport[] = {
        5, 0, 0, 0, 0x0D, 0x02, 0, 0, 0, 0, // SETVIEWPORTORG 0, 0
        5, 0, 0, 0, 0x0E, 0x02,             // SETVIEWPORTEXT height, width
        std::uint8_t(plan.size.height), std::uint8_t(plan.size.height >> 8),
        std::uint8_t(plan.size.width), std::uint8_t(plan.size.width >> 8)};
    std::vector<std::uint8_t> stream(plan.cleaned.begin(), plan.cleaned.begin() + kAfterSetup);
    stream.insert(stream.end(), std::begin(viewport), std::end(viewport));
    stream.insert(stream.end(), plan.cleaned.begin() + kAfterSetup, plan.cleaned.end());
    const std::uint32_t words = std::uint32_t(stream.size() / 2);
    for (int i = 0; i < 4; ++i) {
        stream[6 + std::size_t(i)] = std::uint8_t(words >> (8 * i));
    }
    return stream;
}

int onStatus(void* context, float)
{
    // Non-zero asks libwmf to stop playing.
    return static_cast<const loading::Deadline*>(context)->passed() ? 1 : 0;
}

// Draws the cleaned metafile into `bgrx` (width x height x 4 bytes); the reason on failure.
const char* renderWmf(const loading::WmfPlan& plan, const loading::Deadline& deadline, std::uint8_t* bgrx)
{
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* raw = nullptr;
    const wmf_error_t created = wmf_api_create(&raw, flags, &options);
    Api api(raw);
    if (created != wmf_E_None || !api) {
        return "WMF: renderer could not start";
    }
    wmf_status_function(api.get(), const_cast<loading::Deadline*>(&deadline), onStatus);
    std::vector<std::uint8_t> stream = withPixelViewport(plan);
    if (wmf_mem_open(api.get(), stream.data(), long(stream.size())) != wmf_E_None) {
        return "WMF: cannot read the metafile";
    }
    wmfD_Rect box{};
    if (wmf_scan(api.get(), 0, &box) != wmf_E_None) {
        return "WMF: metafile is broken";
    }
    // The whole viewport becomes the picture, whatever part of it is drawn on.
    box.TL = {0.0f, 0.0f};
    box.BR = {float(plan.size.width), float(plan.size.height)};
    wmf_gd_t* device = WMF_GD_GetData(api.get());
    device->type = wmf_gd_image;
    device->width = unsigned(plan.size.width);
    device->height = unsigned(plan.size.height);
    device->bbox = box;
    const wmf_error_t played = wmf_play(api.get(), 0, &box);
    // The drawn picture is ours to free; libwmf keeps no hold on it.
    std::unique_ptr<gdImageStruct, void (*)(gdImageStruct*)> image(static_cast<gdImageStruct*>(device->gd_image),
                                                                   gdImageDestroy);
    if (deadline.passed()) {
        return "WMF took too long to draw";
    }
    const int* pixels = played == wmf_E_None && image ? wmf_gd_image_pixels(image.get()) : nullptr;
    if (pixels == nullptr) {
        return "WMF: metafile could not be drawn";
    }
    // GD keeps 0x7FRRGGBB per int (7 bits of alpha on top): the low three bytes are ours.
    const std::size_t count = std::size_t(plan.size.width) * std::size_t(plan.size.height);
    for (std::size_t i = 0; i < count; ++i, bgrx += 4) {
        const unsigned v = unsigned(pixels[i]);
        bgrx[0] = std::uint8_t(v);
        bgrx[1] = std::uint8_t(v >> 8);
        bgrx[2] = std::uint8_t(v >> 16);
        bgrx[3] = 0;
    }
    return nullptr;
}

struct SharedPixels {
    void* bytes = MAP_FAILED;
    std::size_t size = 0;
    SharedPixels(const SharedPixels&) = delete;
    SharedPixels& operator=(const SharedPixels&) = delete;
    explicit SharedPixels(std::size_t n)
        : bytes(mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0)), size(n)
    {
    }
    ~SharedPixels()
    {
        if (bytes != MAP_FAILED) {
            munmap(bytes, size);
        }
    }
};

constexpr int kRenderRefused = 3; // any other end of the child is a fault in the renderer

void closeQuietly(int fd)
{
    if (fd >= 0) {
        close(fd);
    }
}

} // namespace

// libwmf draws in a child process: a record that draws for minutes is cut off at the time
// cap (a renderer busy inside one record never looks at the clock), and a fault in the
// library costs the picture, not the program.
LoadResult decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    const auto start = std::chrono::steady_clock::now();
    const loading::Deadline deadline(request.timeLimitMs);
    loading::WmfPlan plan;
    if (std::string why = loading::planWmf(data, size, plan); !why.empty()) {
        return LoadResult::failure(why);
    }
    const std::size_t bytes = std::size_t(plan.size.width) * std::size_t(plan.size.height) * 4;
    SharedPixels shared(bytes);
    int done[2] = {-1, -1};
    if (shared.bytes == MAP_FAILED || pipe(done) != 0) {
        return LoadResult::failure("WMF: no memory for the picture");
    }
    const pid_t child = fork();
    if (child < 0) {
        closeQuietly(done[0]);
        closeQuietly(done[1]);
        return LoadResult::failure("WMF: cannot start the renderer");
    }
    if (child == 0) {
        close(done[0]);
        const char* why = renderWmf(plan, deadline, static_cast<std::uint8_t*>(shared.bytes));
        _exit(why == nullptr ? 0 : kRenderRefused);
    }
    close(done[1]);
    // The pipe closes when the child ends, whichever way it ends.
    bool finished = false;
    for (;;) {
        int wait = -1;
        if (request.timeLimitMs > 0) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            wait = std::max(0, request.timeLimitMs - int(spent.count()));
        }
        pollfd watch{done[0], POLLIN, 0};
        const int ready = poll(&watch, 1, wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        finished = ready > 0;
        break;
    }
    close(done[0]);
    if (!finished) {
        kill(child, SIGKILL);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!finished) {
        return LoadResult::failure("WMF took too long to draw");
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kRenderRefused) {
        return LoadResult::failure("WMF: metafile could not be drawn");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return LoadResult::failure(kRendererCrashed);
    }
    LoadResult result;
    result.ownSize = plan.size;
    result.picture.resize(plan.size.width, plan.size.height);
    std::memcpy(result.picture.data(), shared.bytes, bytes);
    result.ok = true;
    return result;
}

SizeResult wmfSize(const std::uint8_t* data, std::size_t size)
{
    loading::WmfPlan plan;
    if (std::string why = loading::planWmf(data, size, plan); !why.empty()) {
        return sizeFailure(why);
    }
    SizeResult result;
    result.ok = true;
    result.size = plan.size;
    return result;
}

} // namespace velmora::decode
