// Idleness from the X server's MIT-SCREEN-SAVER extension, whose idle time can only be read:
// read when the timeout could first be reached, and while idle at a modest rate.
#include "platform/linux/idle_inhibit_service.h"
#include "platform/linux/idle_poll.h"
#include "platform/linux/idle_source.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <glib.h>

#include <cstdlib>

namespace velmora::shell {

namespace {

constexpr std::int64_t ReturnPollMs = 1'000; // looking for the user's return once idle

class XScreenSaverIdle final : public IdleSource {
public:
    explicit XScreenSaverIdle(Display* display) : display_(display), info_(XScreenSaverAllocInfo()) {}
    ~XScreenSaverIdle() override
    {
        if (timer_ != 0)
            g_source_remove(timer_);
        XFree(info_);
        XCloseDisplay(display_);
    }

    std::string start(IdleSourceKind, std::int64_t timeoutMs, IdleSink& sink) override
    {
        if (info_ == nullptr)
            return "out of memory";
        sink_ = &sink;
        poller_.emplace(timeoutMs, ReturnPollMs);
        // The X server has no inhibitors of its own that another client can see (a suspended
        // screen saver does not show in its state); players ask the session bus's service.
        inhibitors_ = InhibitService::offer();
        look();
        return {};
    }

    bool inhibited() override { return inhibitors_ && inhibitors_->held(); }

private:
    static gboolean due(gpointer data)
    {
        auto* self = static_cast<XScreenSaverIdle*>(data);
        self->timer_ = 0;
        self->look();
        return G_SOURCE_REMOVE;
    }

    void look()
    {
        // A lost server ends the process through Xlib's I/O error handler, as it does the show.
        if (!XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info_)) {
            sink_->sourceLost("the X server stopped answering about its idle time");
            return;
        }
        const IdlePollResult result = poller_->observe(static_cast<std::int64_t>(info_->idle));
        timer_ = g_timeout_add(static_cast<guint>(result.nextPollMs), &due, this);
        // Events last: the sink may start the show, which takes a moment.
        if (result.becameActive)
            sink_->userActive();
        if (result.becameIdle)
            sink_->userIdle();
    }

    Display* display_;
    XScreenSaverInfo* info_;
    IdleSink* sink_ = nullptr;
    std::optional<IdlePoller> poller_;
    std::unique_ptr<InhibitService> inhibitors_;
    guint timer_ = 0;
};

} // namespace

std::unique_ptr<IdleSource> probeXScreenSaverIdle(IdleOffers& offers)
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return nullptr;
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
        XCloseDisplay(display);
        return nullptr;
    }
    offers.xScreenSaver = true;
    return std::make_unique<XScreenSaverIdle>(display);
}

} // namespace velmora::shell
