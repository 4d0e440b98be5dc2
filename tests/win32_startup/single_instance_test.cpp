// The single-instance rule with real windows: while a window titled like the show or
// the settings dialog exists, velmora.scr ends at once whatever its command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

constexpr DWORD kAnotherInstance = 2; // velmora.scr's exit code for this case

std::wstring scrPath()
{
    std::wstring path = L"Z:" VELMORA_SCR_PATH;
    for (auto& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

DWORD runScr(const std::wstring& arguments)
{
    std::wstring line = L"\"" + scrPath() + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

struct TitledWindow {
    HWND hwnd = nullptr;
    explicit TitledWindow(const wchar_t* title)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelmoraInstanceProbe";
        RegisterClassW(&wc);
        hwnd = CreateWindowW(wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
    }
    ~TitledWindow() { DestroyWindow(hwnd); }
};

} // namespace

TEST(SingleInstance, AnOpenShowWindowEndsEveryNewStart)
{
    TitledWindow show(L"Velmora_Main");
    ASSERT_NE(show.hwnd, nullptr);
    EXPECT_EQ(runScr(L"/s"), kAnotherInstance);
    EXPECT_EQ(runScr(L"/c"), kAnotherInstance);
}

TEST(SingleInstance, AnOpenSettingsWindowEndsEveryNewStart)
{
    TitledWindow dialog(L"ヴェルモラの設定");
    ASSERT_NE(dialog.hwnd, nullptr);
    EXPECT_EQ(runScr(L"/p 1234"), kAnotherInstance);
    EXPECT_EQ(runScr(L"/x"), kAnotherInstance);
}

TEST(SingleInstance, WithoutThoseWindowsAnUnknownModeEndsNormally)
{
    EXPECT_EQ(runScr(L"/x"), 0u);
}
