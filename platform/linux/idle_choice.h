// The idle watcher's setup: the time it waits, and which of the desktop's idle reports it
// listens to. Decided from what was found on the session, so it is tested without one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::shell {

// --idle MINUTES: decimal minutes ("5", "0.1"), from 0.01 (0.6 s, for tests) to a day.
// The idle time in milliseconds; nullopt for anything else (signs, exponents, "nan", "1,5").
std::optional<std::int64_t> parseIdleMinutes(std::string_view text);

// What the session offers, as probed.
struct IdleOffers {
    bool waylandSession = false;   // a Wayland compositor answered on $WAYLAND_DISPLAY
    bool extIdleNotify = false;    // it offers ext_idle_notifier_v1
    bool kdeIdle = false;          // it offers org_kde_kwin_idle
    bool gnomeIdleMonitor = false; // org.gnome.Mutter.IdleMonitor is on the session bus
    bool xScreenSaver = false;     // the X server of $DISPLAY has the MIT-SCREEN-SAVER extension
};

enum class IdleSourceKind { ExtIdleNotify, KdeIdle, GnomeIdleMonitor, XScreenSaver, NoSource };

// The compositor's own protocols first (it honours idle inhibitors for them), the newer one
// before KDE's; then GNOME's monitor. The X server's idle time only off Wayland: under a
// compositor it is the compatibility server's, which sees no input from native windows.
IdleSourceKind chooseIdleSource(const IdleOffers& offers);

const char* idleSourceName(IdleSourceKind kind);

// How often the watcher asks again about an inhibition that held the show off.
std::int64_t inhibitionRecheckMs(std::int64_t timeoutMs);

} // namespace velmora::shell
