// EndShow's order and password rules against a recording system: the password only in
// mode "S" off the NT family, a refusal that keeps the show with the cursor hidden (the next
// input asks again), a missing password service that never locks the user in, and the unload
// that toggles the cursor once more in "S".
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

using Calls = std::vector<std::string>;

TEST(ShowExit, TheModeAndSystemDecideThePasswordAndTheOrderOfTheRestore)
{
    const Calls restore{"music stopped", "keys on", "cursor+", "screen saving on"};
    const Calls asked{"cursor+", "password", "music stopped", "keys on", "cursor-", "screen saving on"};
    const Calls plain{"music stopped", "screen saving on"};
    const Calls refused{"cursor+", "password", "cursor-"};
    struct Case {
        const char* mode;
        bool nt;
        PasswordVerdict verdict;
        const Calls& calls;
        std::int32_t cursorState;
        bool ends = true;
    };
    const Case cases[] = {
        {"S", true, PasswordVerdict::Refused, restore, 0},       {"", false, PasswordVerdict::Refused, plain, -1},
        {"C", false, PasswordVerdict::Refused, plain, -1},       {"S", false, PasswordVerdict::Unavailable, asked, -1},
        {"S", false, PasswordVerdict::Accepted, asked, -1},      {"S", false, PasswordVerdict::Refused, refused, -1, false},
    };
    for (const Case& c : cases) {
        RecordingSystem system;
        system.nt = c.nt;
        system.verdict = c.verdict;
        StartupState state;
        state.modeLetter = c.mode;
        state.CursorState = -1;
        show::ShowExit showExit{system, state};
        EXPECT_EQ(showExit.EndShow([&] { system.calls.push_back("music stopped"); }), c.ends);
        EXPECT_EQ(system.calls, c.calls) << "mode '" << c.mode << "' nt " << c.nt;
        EXPECT_EQ(state.CursorState, c.cursorState) << "mode '" << c.mode << "' nt " << c.nt;
        showExit.Form_QueryUnload();
        EXPECT_EQ(system.calls.size(), c.calls.size() + (*c.mode == 'S' ? 1 : 0));
        const char* unloaded = c.cursorState == 0 ? "cursor-" : "cursor+";
        EXPECT_EQ(system.calls.back(), *c.mode == 'S' ? unloaded : "screen saving on");
    }
}

} // namespace
