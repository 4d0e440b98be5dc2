// The session bus for the idle watcher's D-Bus parts, and the one way they call on it.
#pragma once

#include <gio/gio.h>

namespace velmora::shell {

// A reference to the session bus, or nullptr when there is none. A bus that goes away does not
// end the process (GLib's default for the shared connection): the caller reports it.
GDBusConnection* openSessionBus();

// A blocking call with a short timeout; the reply of `replyType` (unref it), or nullptr when
// the call fails for whatever reason.
GVariant* callOnBus(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                    const char* method, GVariant* parameters, const char* replyType);

} // namespace velmora::shell
