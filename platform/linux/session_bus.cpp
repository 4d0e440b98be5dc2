// Session-bus access for the idle watcher.
#include "platform/linux/session_bus.h"

namespace velmora::shell {

GDBusConnection* openSessionBus()
{
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        g_error_free(error);
        return nullptr;
    }
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    return bus;
}

GVariant* callOnBus(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                    const char* method, GVariant* parameters, const char* replyType)
{
    // The watcher's loop waits for the answer: a peer that hangs must not hold it for long.
    constexpr int CallTimeoutMs = 2'000;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, name, path, interface, method, parameters,
                                                  G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE, CallTimeoutMs,
                                                  nullptr, &error);
    if (reply == nullptr)
        g_error_free(error);
    return reply;
}

} // namespace velmora::shell
