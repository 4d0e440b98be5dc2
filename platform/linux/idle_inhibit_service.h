// org.freedesktop.ScreenSaver on the session bus, for sessions with no desktop that offers it
// (a plain X11 session): video players and browsers ask it to hold the screen saver off
// (Inhibit / UnInhibit), and the idle watcher asks it whether anyone does.
#pragma once

#include <memory>

namespace velmora::shell {

class InhibitService {
public:
    // nullptr when there is no session bus. Where another program already offers the service
    // (a desktop's own screen saver) the name stays with it and nothing is ever held here.
    static std::unique_ptr<InhibitService> offer();
    virtual ~InhibitService() = default;
    // An application holds the screen saver off now.
    virtual bool held() const = 0;
};

} // namespace velmora::shell
