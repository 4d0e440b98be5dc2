// EndShow's system side on Linux, for every shell of the show: no password service and no
// screen-saving flag; the cursor and the system keys are the start-up platform's.
#pragma once

#include "platform/linux/shell_session.h"
#include "show/show_exit.h"

namespace velmora::shell {

class LinuxExitSystem final : public show::ShowExitSystem {
public:
    explicit LinuxExitSystem(LinuxStartupPlatform& startup) : startup_(startup) {}
    bool isWinNT() override { return true; } // no password to ask
    std::int32_t showCursor(bool show) override { return startup_.showCursor(show); }
    show::PasswordVerdict verifyScreenSavePassword() override { return show::PasswordVerdict::Accepted; }
    void enableSystemKeys(bool enable) override { startup_.enableSystemKeys(enable); }
    void keepScreenSaveActive() override {}

private:
    LinuxStartupPlatform& startup_;
};

} // namespace velmora::shell
