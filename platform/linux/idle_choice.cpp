// The idle watcher's time and source.
#include "platform/linux/idle_choice.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace velmora::shell {

std::optional<std::int64_t> parseIdleMinutes(std::string_view text)
{
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
        return std::nullopt;
    double minutes = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), minutes, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(minutes))
        return std::nullopt;
    constexpr double MinMinutes = 0.01;
    constexpr double MaxMinutes = 24 * 60;
    if (minutes < MinMinutes || minutes > MaxMinutes)
        return std::nullopt;
    return std::llround(minutes * 60'000.0);
}

IdleSourceKind chooseIdleSource(const IdleOffers& offers)
{
    if (offers.waylandSession && offers.extIdleNotify)
        return IdleSourceKind::ExtIdleNotify;
    if (offers.waylandSession && offers.kdeIdle)
        return IdleSourceKind::KdeIdle;
    if (offers.gnomeIdleMonitor)
        return IdleSourceKind::GnomeIdleMonitor;
    if (!offers.waylandSession && offers.xScreenSaver)
        return IdleSourceKind::XScreenSaver;
    return IdleSourceKind::NoSource;
}

const char* idleSourceName(IdleSourceKind kind)
{
    switch (kind) {
    case IdleSourceKind::ExtIdleNotify: return "the compositor's ext-idle-notify";
    case IdleSourceKind::KdeIdle: return "the compositor's org_kde_kwin_idle";
    case IdleSourceKind::GnomeIdleMonitor: return "GNOME's idle monitor";
    case IdleSourceKind::XScreenSaver: return "the X server's idle time";
    case IdleSourceKind::NoSource: break;
    }
    return "nothing";
}

std::int64_t inhibitionRecheckMs(std::int64_t timeoutMs)
{
    // Often enough that the show follows a finished film soon, rarely enough to cost nothing.
    return std::clamp<std::int64_t>(timeoutMs, 1'000, 15'000);
}

} // namespace velmora::shell
