// The freedesktop screen-saver service's inhibitor part. An inhibitor is kept until its
// cookie is given back or the program that asked leaves the bus (a player that crashed must
// not hold the screen saver off for ever).
#include "platform/linux/idle_inhibit_service.h"

#include "platform/linux/session_bus.h"

#include <cstdint>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace velmora::shell {

namespace {

constexpr const char* ServiceName = "org.freedesktop.ScreenSaver";
constexpr const char* InterfaceXml = R"(<node>
  <interface name="org.freedesktop.ScreenSaver">
    <method name="Inhibit">
      <arg name="application_name" type="s" direction="in"/>
      <arg name="reason_for_inhibit" type="s" direction="in"/>
      <arg name="cookie" type="u" direction="out"/>
    </method>
    <method name="UnInhibit">
      <arg name="cookie" type="u" direction="in"/>
    </method>
  </interface>
</node>)";
// Programs ask on either path, depending on their age.
constexpr const char* ObjectPaths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
// Beyond this, a program is asking in a loop; refusing keeps the service's memory bounded.
constexpr std::size_t MaxInhibitors = 1024;

class Service final : public InhibitService {
public:
    explicit Service(GDBusConnection* bus) : bus_(bus) {}
    ~Service() override
    {
        for (const auto& [sender, watch] : senderWatches_)
            g_bus_unwatch_name(watch.id);
        for (guint id : objects_)
            g_dbus_connection_unregister_object(bus_, id);
        if (owner_ != 0)
            g_bus_unown_name(owner_);
        g_object_unref(bus_);
    }

    bool start()
    {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(InterfaceXml, nullptr);
        if (node == nullptr)
            return false;
        static const GDBusInterfaceVTable VTable = {&Service::call, nullptr, nullptr, {}};
        for (const char* path : ObjectPaths) {
            const guint id = g_dbus_connection_register_object(bus_, path, node->interfaces[0], &VTable, this, nullptr,
                                                               nullptr);
            if (id != 0)
                objects_.push_back(id);
        }
        g_dbus_node_info_unref(node);
        // Without replacing anyone; a desktop that comes later may take the name from us.
        owner_ = g_bus_own_name_on_connection(bus_, ServiceName, G_BUS_NAME_OWNER_FLAGS_ALLOW_REPLACEMENT, nullptr,
                                              &Service::nameLost, this, nullptr);
        return !objects_.empty();
    }

    bool held() const override { return !cookies_.empty(); }

private:
    struct SenderWatch {
        guint id = 0;
        std::size_t count = 0;
    };

    static void call(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                     GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
    {
        auto* self = static_cast<Service*>(data);
        const std::string from = sender != nullptr ? sender : "";
        if (g_strcmp0(method, "Inhibit") == 0) {
            if (self->cookies_.size() >= MaxInhibitors) {
                g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.LimitsExceeded",
                                                           "too many inhibitors");
                return;
            }
            const guint32 cookie = self->nextCookie_++;
            self->cookies_[cookie] = from;
            self->watchSender(from);
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", cookie));
            return;
        }
        // UnInhibit: only the program that holds a cookie can give it back.
        guint32 cookie = 0;
        g_variant_get(parameters, "(u)", &cookie);
        if (const auto found = self->cookies_.find(cookie); found != self->cookies_.end() && found->second == from) {
            self->cookies_.erase(found);
            self->unwatchSender(from, 1);
        }
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    void watchSender(const std::string& sender)
    {
        SenderWatch& watch = senderWatches_[sender];
        if (watch.count++ == 0)
            watch.id = g_bus_watch_name_on_connection(bus_, sender.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
                                                      &Service::senderLeft, this, nullptr);
    }

    void unwatchSender(const std::string& sender, std::size_t released)
    {
        const auto found = senderWatches_.find(sender);
        if (found == senderWatches_.end())
            return;
        found->second.count -= std::min(found->second.count, released);
        if (found->second.count == 0) {
            g_bus_unwatch_name(found->second.id);
            senderWatches_.erase(found);
        }
    }

    static void senderLeft(GDBusConnection*, const gchar* name, gpointer data)
    {
        auto* self = static_cast<Service*>(data);
        const std::string sender = name;
        for (auto it = self->cookies_.begin(); it != self->cookies_.end();)
            it = it->second == sender ? self->cookies_.erase(it) : std::next(it);
        self->unwatchSender(sender, SIZE_MAX); // every cookie it held

    }

    // The programs' UnInhibit goes to the new owner from now on: what they held here is theirs.
    static void nameLost(GDBusConnection*, const gchar*, gpointer data)
    {
        auto* self = static_cast<Service*>(data);
        self->cookies_.clear();
        for (const auto& [sender, watch] : self->senderWatches_)
            g_bus_unwatch_name(watch.id);
        self->senderWatches_.clear();
    }

    GDBusConnection* bus_;
    std::vector<guint> objects_;
    guint owner_ = 0;
    guint32 nextCookie_ = 1;
    std::map<guint32, std::string> cookies_; // cookie -> the unique bus name that holds it
    std::map<std::string, SenderWatch> senderWatches_;
};

} // namespace

std::unique_ptr<InhibitService> InhibitService::offer()
{
    GDBusConnection* bus = openSessionBus();
    if (bus == nullptr)
        return nullptr;
    auto service = std::make_unique<Service>(bus);
    if (!service->start())
        return nullptr;
    return service;
}

} // namespace velmora::shell
