// A desktop's report of the user's idleness, behind one face: each kind lives in a file of
// its own (idle_wayland, idle_gnome, idle_x11) and reports from the default GLib main context.
#pragma once

#include "platform/linux/idle_choice.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velmora::shell {

class IdleSink {
public:
    virtual ~IdleSink() = default;
    // The user has been idle for the timeout; once per idle period.
    virtual void userIdle() = 0;
    // The first input after userIdle().
    virtual void userActive() = 0;
    // The source stopped working (the compositor or bus went away).
    virtual void sourceLost(const std::string& why) = 0;
};

class IdleSource {
public:
    virtual ~IdleSource() = default;
    // Begins reporting to `sink` (which outlives the source); an empty string, or the reason
    // it cannot.
    virtual std::string start(IdleSourceKind kind, std::int64_t timeoutMs, IdleSink& sink) = 0;
    // An application holds the screen saver off now. Only for sources whose desktop does not
    // apply inhibitors to the idle report itself.
    virtual bool inhibited() { return false; }
};

// Each probe fills in what it finds in `offers`; nullptr when there is nothing of its kind.
std::unique_ptr<IdleSource> probeWaylandIdle(IdleOffers& offers);
std::unique_ptr<IdleSource> probeGnomeIdle(IdleOffers& offers);
std::unique_ptr<IdleSource> probeXScreenSaverIdle(IdleOffers& offers);

} // namespace velmora::shell
