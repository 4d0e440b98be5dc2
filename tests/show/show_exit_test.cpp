// EndShow's order and password rules against a recording system: the password only in
// mode "S" off the NT family, a refusal that leaves the show running with the cursor hidden,
// a missing password service that never locks the user in.
#include "show/show_exit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace velmora;
using velmora::show::PasswordVerdict;

class RecordingSystem final : public show::ShowExitSystem {
public:
    bool nt = true;
    PasswordVerdict verdict = PasswordVerdict::Accepted;
    std::int32_t counter = -1; // the cursor was hidden at start
    std::vector<std::string> calls;

    bool isWinNT() override { return nt; }
    std::int32_t showCursor(bool show) override
    {
        counter += show ? 1 : -1;
        calls.push_back(show ? "cursor+" : "cursor-");
        return counter;
    }
    PasswordVerdict verifyScreenSavePassword() override
    {
        calls.push_back("password");
        return verdict;
    }
    void enableSystemKeys(bool enable) override { calls.push_back(enable ? "keys on" : "keys off"); }
    void keepScreenSaveActive() override { calls.push_back("screen saving on"); }
};

struct Exit {
    RecordingSystem system;
    StartupState state;
    show::ShowExit exit{system, state};

    explicit Exit(std::string mode)
    {
        state.modeLetter = std::move(mode);
        state.CursorState = -1;
    }
    bool end()
    {
        return exit.EndShow([this] { system.calls.push_back("music stopped"); });
    }
};

using Calls = std::vector<std::string>;

TEST(ShowExit, OnTheNtFamilyTheShowEndsWithoutAPasswordAndRestoresTheSystemInOrder)
{
    Exit e("S");
    EXPECT_TRUE(e.end());
    EXPECT_EQ(e.system.calls, (Calls{"music stopped", "keys on", "cursor+", "screen saving on"}));
    EXPECT_EQ(e.state.CursorState, 0);

    e.exit.Form_QueryUnload(); // the unload toggles the counter once more
    EXPECT_EQ(e.system.calls.back(), "cursor-");
}

TEST(ShowExit, WithoutTheScreenSaverLetterOnlyTheMusicAndScreenSavingAreTouched)
{
    for (const char* mode : {"", "C"}) {
        Exit e(mode);
        e.system.nt = false; // even on 95/98: the password belongs to mode "S" only
        EXPECT_TRUE(e.end());
        EXPECT_EQ(e.system.calls, (Calls{"music stopped", "screen saving on"})) << "mode '" << mode << "'";
        e.exit.Form_QueryUnload();
        EXPECT_EQ(e.system.calls.size(), 2u);
    }
}

TEST(ShowExit, OnWindows9xARefusedPasswordLeavesTheShowRunningWithTheCursorHidden)
{
    Exit e("S");
    e.system.nt = false;
    e.system.verdict = PasswordVerdict::Refused;
    EXPECT_FALSE(e.end());
    EXPECT_EQ(e.system.calls, (Calls{"cursor+", "password", "cursor-"}));
    EXPECT_EQ(e.state.CursorState, -1);

    // The next input asks again, and the right password then ends the show.
    e.system.calls.clear();
    e.system.verdict = PasswordVerdict::Accepted;
    EXPECT_TRUE(e.end());
    EXPECT_EQ(e.system.calls,
              (Calls{"cursor+", "password", "music stopped", "keys on", "cursor-", "screen saving on"}));
}

TEST(ShowExit, AMissingPasswordServiceEndsTheShow)
{
    Exit e("S");
    e.system.nt = false;
    e.system.verdict = PasswordVerdict::Unavailable;
    EXPECT_TRUE(e.end());
    EXPECT_EQ(e.system.calls.front(), "cursor+");
    EXPECT_EQ(e.system.calls[1], "password");
    EXPECT_EQ(e.system.calls.back(), "screen saving on");
}

} // namespace
