// Idleness from the Wayland compositor: ext-idle-notify-v1, or KDE's older org_kde_kwin_idle
// (what sway 1.7 offers). The compositor applies idle inhibitors to both itself.
#include "platform/linux/idle_source.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"

#include <glib-unix.h>
#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

namespace velmora::shell {

namespace {

class WaylandIdle final : public IdleSource {
public:
    explicit WaylandIdle(wl_display* display) : display_(display) {}
    ~WaylandIdle() override;

    bool discover(IdleOffers& offers);
    std::string start(IdleSourceKind kind, std::int64_t timeoutMs, IdleSink& sink) override;

    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void globalRemoved(void*, wl_registry*, std::uint32_t) {}
    static void idled(void* data, void*) { static_cast<WaylandIdle*>(data)->sink_->userIdle(); }
    static void resumed(void* data, void*) { static_cast<WaylandIdle*>(data)->sink_->userActive(); }

private:
    static gboolean readable(gint fd, GIOCondition condition, gpointer data);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    org_kde_kwin_idle* kdeIdle_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
    IdleSink* sink_ = nullptr;
    guint watch_ = 0;
};

const wl_registry_listener RegistryListener = {&WaylandIdle::global, &WaylandIdle::globalRemoved};
// Both protocols' events take (data, object) and nothing else.
const ext_idle_notification_v1_listener ExtListener = {
    [](void* data, ext_idle_notification_v1* n) { WaylandIdle::idled(data, n); },
    [](void* data, ext_idle_notification_v1* n) { WaylandIdle::resumed(data, n); },
};
const org_kde_kwin_idle_timeout_listener KdeListener = {
    [](void* data, org_kde_kwin_idle_timeout* t) { WaylandIdle::idled(data, t); },
    [](void* data, org_kde_kwin_idle_timeout* t) { WaylandIdle::resumed(data, t); },
};

void WaylandIdle::global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t)
{
    auto* self = static_cast<WaylandIdle*>(data);
    // Version 1 of each is all that is used; the first seat is the one whose input counts.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
        self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
        self->notifier_ =
            static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
        self->kdeIdle_ =
            static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
}

WaylandIdle::~WaylandIdle()
{
    if (watch_ != 0)
        g_source_remove(watch_);
    if (notification_)
        ext_idle_notification_v1_destroy(notification_);
    if (kdeTimeout_)
        org_kde_kwin_idle_timeout_release(kdeTimeout_);
    if (notifier_)
        ext_idle_notifier_v1_destroy(notifier_);
    if (kdeIdle_)
        org_kde_kwin_idle_destroy(kdeIdle_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

bool WaylandIdle::discover(IdleOffers& offers)
{
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &RegistryListener, this);
    if (wl_display_roundtrip(display_) < 0)
        return false;
    offers.waylandSession = true;
    // Without a seat there is no input to be idle from.
    offers.extIdleNotify = seat_ != nullptr && notifier_ != nullptr;
    offers.kdeIdle = seat_ != nullptr && kdeIdle_ != nullptr;
    return true;
}

std::string WaylandIdle::start(IdleSourceKind kind, std::int64_t timeoutMs, IdleSink& sink)
{
    sink_ = &sink;
    const auto timeout = static_cast<std::uint32_t>(timeoutMs);
    if (kind == IdleSourceKind::ExtIdleNotify && notifier_ && seat_) {
        notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeout, seat_);
        ext_idle_notification_v1_add_listener(notification_, &ExtListener, this);
    } else if (kind == IdleSourceKind::KdeIdle && kdeIdle_ && seat_) {
        kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, timeout);
        org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &KdeListener, this);
    } else {
        return "the compositor does not offer that idle protocol";
    }
    if (wl_display_flush(display_) < 0)
        return "the compositor connection failed";
    watch_ = g_unix_fd_add(wl_display_get_fd(display_), GIOCondition(G_IO_IN | G_IO_ERR | G_IO_HUP), &readable, this);
    return {};
}

gboolean WaylandIdle::readable(gint, GIOCondition, gpointer data)
{
    auto* self = static_cast<WaylandIdle*>(data);
    // Nothing else reads this connection, so a plain dispatch neither blocks nor races.
    if (wl_display_dispatch(self->display_) < 0 || wl_display_flush(self->display_) < 0) {
        self->watch_ = 0;
        self->sink_->sourceLost("the Wayland compositor went away");
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

std::unique_ptr<IdleSource> probeWaylandIdle(IdleOffers& offers)
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0')
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return nullptr;
    auto source = std::make_unique<WaylandIdle>(display);
    if (!source->discover(offers))
        return nullptr;
    return source;
}

} // namespace velmora::shell
