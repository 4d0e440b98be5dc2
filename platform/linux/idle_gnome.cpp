// Idleness from GNOME's idle monitor on the session bus; inhibitors from the session manager,
// which the monitor itself does not apply.
#include "platform/linux/idle_source.h"
#include "platform/linux/session_bus.h"

namespace velmora::shell {

namespace {

constexpr const char* MonitorName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* MonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* MonitorInterface = "org.gnome.Mutter.IdleMonitor";
constexpr guint32 InhibitIdle = 8; // the session manager's flag for "do not mark the session idle"

class GnomeIdle final : public IdleSource {
public:
    explicit GnomeIdle(GDBusConnection* bus) : bus_(bus) {}
    ~GnomeIdle() override;

    std::string start(IdleSourceKind kind, std::int64_t timeoutMs, IdleSink& sink) override;
    bool inhibited() override;

private:
    static void watchFired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                           gpointer data);
    static void ownerChanged(GDBusConnection*, const gchar* name, const gchar* owner, gpointer data);
    static void ownerGone(GDBusConnection*, const gchar* name, gpointer data);
    // The id of a new watch, 0 when the call fails.
    guint32 addWatch(const char* method, GVariant* parameters);

    GDBusConnection* bus_;
    IdleSink* sink_ = nullptr;
    guint subscription_ = 0;
    guint nameWatch_ = 0;
    bool ownerSeen_ = false;
    guint32 idleWatch_ = 0;
    guint32 activeWatch_ = 0;
};

GnomeIdle::~GnomeIdle()
{
    if (subscription_ != 0)
        g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    if (nameWatch_ != 0)
        g_bus_unwatch_name(nameWatch_);
    g_object_unref(bus_);
}

guint32 GnomeIdle::addWatch(const char* method, GVariant* parameters)
{
    GVariant* reply = callOnBus(bus_, MonitorName, MonitorPath, MonitorInterface, method, parameters, "(u)");
    if (reply == nullptr)
        return 0;
    guint32 id = 0;
    g_variant_get(reply, "(u)", &id);
    g_variant_unref(reply);
    return id;
}

std::string GnomeIdle::start(IdleSourceKind, std::int64_t timeoutMs, IdleSink& sink)
{
    sink_ = &sink;
    // Subscribed before the watch is added, so that a watch firing at once is not missed.
    subscription_ = g_dbus_connection_signal_subscribe(bus_, MonitorName, MonitorInterface, "WatchFired", MonitorPath,
                                                       nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &watchFired, this, nullptr);
    // The idle watch fires each time the idle time passes the timeout; the active watch fires
    // once, and is added again after each idle period.
    idleWatch_ = addWatch("AddIdleWatch", g_variant_new("(t)", static_cast<guint64>(timeoutMs)));
    if (idleWatch_ == 0)
        return "GNOME's idle monitor refused the watch";
    nameWatch_ = g_bus_watch_name_on_connection(bus_, MonitorName, G_BUS_NAME_WATCHER_FLAGS_NONE, &ownerChanged,
                                                &ownerGone, this, nullptr);
    return {};
}

void GnomeIdle::watchFired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                           GVariant* parameters, gpointer data)
{
    auto* self = static_cast<GnomeIdle*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)")))
        return;
    guint32 id = 0;
    g_variant_get(parameters, "(u)", &id);
    if (id == 0)
        return;
    if (id == self->idleWatch_) {
        if (self->activeWatch_ == 0)
            self->activeWatch_ = self->addWatch("AddUserActiveWatch", nullptr);
        self->sink_->userIdle();
    } else if (id == self->activeWatch_) {
        self->activeWatch_ = 0;
        self->sink_->userActive();
    }
}

void GnomeIdle::ownerChanged(GDBusConnection*, const gchar*, const gchar*, gpointer data)
{
    static_cast<GnomeIdle*>(data)->ownerSeen_ = true;
}

void GnomeIdle::ownerGone(GDBusConnection*, const gchar*, gpointer data)
{
    auto* self = static_cast<GnomeIdle*>(data);
    // Its watches went with it (the shell restarted, or the session ended).
    if (self->ownerSeen_ || g_dbus_connection_is_closed(self->bus_)) {
        self->ownerSeen_ = false;
        self->sink_->sourceLost("GNOME's idle monitor left the session bus");
    }
}

bool GnomeIdle::inhibited()
{
    GVariant* reply = callOnBus(bus_, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                                "org.gnome.SessionManager", "IsInhibited", g_variant_new("(u)", InhibitIdle), "(b)");
    if (reply == nullptr)
        return false; // no session manager to ask: nothing can hold the screen saver off through it
    gboolean held = FALSE;
    g_variant_get(reply, "(b)", &held);
    g_variant_unref(reply);
    return held;
}

} // namespace

std::unique_ptr<IdleSource> probeGnomeIdle(IdleOffers& offers)
{
    GDBusConnection* bus = openSessionBus();
    if (bus == nullptr)
        return nullptr;
    auto source = std::make_unique<GnomeIdle>(bus);
    GVariant* reply = callOnBus(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                "NameHasOwner", g_variant_new("(s)", MonitorName), "(b)");
    if (reply == nullptr)
        return nullptr;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    if (!owned)
        return nullptr;
    offers.gnomeIdleMonitor = true;
    return source;
}

} // namespace velmora::shell
