// velmora.scr entry point: hands the process's argument string to Main and, when Main
// leaves a window open, runs the message loop until it closes.
#include "platform/win32/dialog_window.h"
#include "platform/win32/preview_window.h"
#include "platform/win32/show_window.h"
#include "platform/win32/startup_win32.h"
#include "startup/random.h"

#include <windows.h>

namespace {

using namespace velmora;

// Exit code of a process that found a show or settings window of the system already open.
constexpr int kExitAnotherInstance = 2;
// Exit code of a preview whose host handle names no window: nothing to draw in, so nothing
// is left running.
constexpr int kExitNoPreviewHost = 3;

class ShellStartup final : public win32::Win32Startup {
public:
    bool windowOpen = false;

    void openPreview(std::int32_t parentWindow) override { windowOpen = win32::openPreviewWindow(parentWindow); }
    void openDialog(StartupState& state) override { win32::runSettingsDialog(state); }
    void openShow(StartupState& state) override { windowOpen = win32::openShowWindow(state); }
};

int runMessageLoop()
{
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::string commandLine = win32::narrow(win32::argumentString(GetCommandLineW()));
    ShellStartup platform;
    static StartupState state; // lives for the whole process, as the windows rely on it
    switch (Main(commandLine, platform, sharedRandom(), state)) {
    case StartupOutcome::AnotherInstance:
        return kExitAnotherInstance;
    case StartupOutcome::PreviewOpened:
        return platform.windowOpen ? runMessageLoop() : kExitNoPreviewHost;
    case StartupOutcome::ShowOpened:
        return platform.windowOpen ? runMessageLoop() : 0;
    case StartupOutcome::Ended:
        break;
    }
    return 0;
}
