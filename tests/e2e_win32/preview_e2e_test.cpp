// The preview with real windows under Wine. velmora.scr /p started the way the
// display-properties dialog starts it: where its window sits in the host, how the process
// ends, and the handles that name no window. What the window draws is read off the screen
// with the host in this program, as Wine shows a window painted by another process only
// inside that process's own top-level windows.
#include "platform/picture_loader_factory.h"
#include "platform/win32/preview_window.h"
#include "platform/win32/show_surface.h"
#include "show/drawing.h"
#include "tests/loaders/loader_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

namespace {

using velmora::Picture;

constexpr DWORD kNoPreviewHost = 3; // velmora.scr's exit code

// Caps for conditions polled for; Wine under load starts a process in well under this.
constexpr ULONGLONG kCapMs = 20000;

template <class Condition>
bool pollUntil(Condition condition)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        // Handles the host's messages while the test waits, as the dialog would.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition())
            return true;
        if (GetTickCount64() - start > kCapMs)
            return false;
        Sleep(20);
    }
}

// One velmora.scr process; still running at the end of a test, it is killed.
class ScrProcess {
public:
    explicit ScrProcess(const std::wstring& arguments)
    {
        std::wstring line = L"\"Z:" VELMORA_SCR_PATH L"\" " + arguments; // Wine shows the build tree as Z:
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_))
            CloseHandle(info_.hThread);
    }
    ~ScrProcess()
    {
        if (running())
            TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hProcess);
    }
    ScrProcess(const ScrProcess&) = delete;
    ScrProcess& operator=(const ScrProcess&) = delete;

    bool running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code once the process has ended within the cap; nothing otherwise.
    std::optional<DWORD> exitCode() const
    {
        if (!pollUntil([&] { return !running(); }))
            return std::nullopt;
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
};

// A borderless top-level window with the given client size at the screen's corner, like the
// dialog's monitor picture.
class HostWindow {
public:
    HostWindow(int width, int height)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)); // anything but the preview's
        wc.lpszClassName = L"VelmoraPreviewHost";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Preview host",
                               WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr,
                               wc.hInstance, nullptr);
        UpdateWindow(hwnd);
    }
    ~HostWindow() { destroy(); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    void destroy()
    {
        if (hwnd != nullptr)
            DestroyWindow(hwnd);
        hwnd = nullptr;
    }
    std::wstring handleText() const { return std::to_wstring(reinterpret_cast<INT_PTR>(hwnd)); }

    HWND hwnd = nullptr;
};

} // namespace

// At each size, first in a host of this program: the picture at its own size top-left and the
// background elsewhere, compared with the committed picture decoded as velmora.scr decodes its
// copy (an embedded one that differs shows here too). Then velmora.scr's: the dialog passes
// "/p N" or "/p:N", and closes the preview or destroys the host.
TEST(Preview, PaintsAndFillsItsHostFromEitherSpellingAndEndsWithTheHostOrWhenClosed)
{
    const auto bytes = loader_test::readBytes(loader_test::sourceFile("resources/preview.jpg"));
    const velmora::Result<velmora::LoadedPicture> picture = velmora::decodePlatformPicture(bytes, velmora::LoadRequest{0, 0, 0});
    ASSERT_TRUE(picture.ok()) << velmora::reasonText(picture);
    for (const bool closeIt : {false, true}) {
        const SIZE size = closeIt ? SIZE{300, 200} : SIZE{152, 112};
        HostWindow painted(size.cx, size.cy);
        ASSERT_TRUE(velmora::win32::openPreviewWindow(std::int32_t(reinterpret_cast<INT_PTR>(painted.hwnd))));
        Picture expected(size.cx, size.cy);
        velmora::show::fillBox(expected, 0, 0, size.cx, size.cy, velmora::win32::PreviewBackground);
        velmora::show::blockCopy(expected, 0, 0, size.cx, size.cy, picture->picture, 0, 0);
        // Read off the screen through the show's own desktop copy: the host lies at its corner.
        Picture shot(size.cx, size.cy);
        velmora::win32::Win32ShowPlatform screen;
        EXPECT_TRUE(pollUntil([&] { return screen.copyDesktop(shot) && shot == expected; }))
            << "the " << size.cx << " x " << size.cy << " host unlike the preview";
        painted.destroy(); // the next host lies in its place

        HostWindow host(size.cx, size.cy);
        ScrProcess preview((closeIt ? L"/p:" : L"/p ") + host.handleText());
        // A borderless child covering exactly the host's client area. A window being created is
        // in the host's list before it is shown.
        HWND child = nullptr;
        ASSERT_TRUE(pollUntil([&] { return (child = GetWindow(host.hwnd, GW_CHILD)) && IsWindowVisible(child); }))
            << "no child window appeared in the host";
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        EXPECT_NE(style & WS_CHILD, 0);
        EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME), 0);
        RECT rect{}, client{};
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, host.hwnd, reinterpret_cast<POINT*>(&rect), 2);
        GetClientRect(host.hwnd, &client);
        EXPECT_TRUE(EqualRect(&rect, &client))
            << rect.left << ", " << rect.top << " to " << rect.right << ", " << rect.bottom;
        EXPECT_TRUE(preview.running());
        if (closeIt)
            PostMessageW(child, WM_CLOSE, 0, 0);
        else
            host.destroy(); // the dialog closing takes the preview's window with it
        EXPECT_EQ(preview.exitCode(), 0u) << (closeIt ? "closed" : "host destroyed");
    }
}

TEST(Preview, AHandleThatNamesNoWindowEndsAtOnce)
{
    HostWindow gone(10, 10);
    const std::wstring stale = gone.handleText();
    gone.destroy();
    // "/p" alone, "/p:N" and numbers that fit no handle reach this point as these two: the
    // command line's own tests show how.
    for (const std::wstring& arguments : {std::wstring(L"/p 0"), L"/p " + stale}) {
        ScrProcess preview(arguments);
        EXPECT_EQ(preview.exitCode(), kNoPreviewHost) << "velmora.scr " << std::string(arguments.begin(), arguments.end());
    }
}
