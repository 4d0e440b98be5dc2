// The system calls behind Main: single-instance lookup, the Windows version, the
// screen-saver-running flag, the cursor counter and the 95/98 password service.
#include "platform/win32/startup_win32.h"

#include <shlobj.h>
#include <windows.h>

namespace velmora::win32 {

namespace {

std::string folderOf(const std::wstring& path)
{
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string(".") : narrow(path.substr(0, slash));
}

std::wstring modulePath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

SettingsLocation settingsLocation()
{
    SettingsLocation location;
    location.programFolder = folderOf(modulePath());
    wchar_t appData[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)) && appData[0])
        location.perUserFolder = narrow(appData) + "\\Velmora";
    return location;
}

std::string stateFileLocation()
{
    wchar_t localAppData[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData)) &&
        localAppData[0])
        return narrow(localAppData) + "\\Velmora\\state";
    return {};
}

std::wstring argumentString(const wchar_t* commandLine)
{
    if (!commandLine)
        return {};
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

bool IsWinNT()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL result = GetVersionExA(&info);
#pragma GCC diagnostic pop
    return result == 1 && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void EnableSystemKeys(bool flag)
{
    const std::int16_t value = flag ? -1 : 0; // True is -1
    const auto uiParam = static_cast<UINT>(static_cast<std::int32_t>(static_cast<std::int16_t>(~value)));
    SystemParametersInfoA(97 /* SPI_SETSCREENSAVERRUNNING */, uiParam, nullptr, 0);
}

bool Win32Startup::windowExists(std::string_view titleUtf8)
{
    return FindWindowW(nullptr, widen(titleUtf8).c_str()) != nullptr;
}

void Win32Startup::loadSettings(Settings& settings, Catalogue& catalogue)
{
    (void)LoadSettings(settingsLocation(), fs_, codec_, settings, catalogue);
}

std::optional<CatalogueScan> Win32Startup::loadSettingsForShow(Settings& settings, Catalogue& catalogue)
{
    CatalogueScan scan;
    (void)LoadSettings(settingsLocation(), fs_, codec_, settings, catalogue, &scan);
    return scan;
}

void Win32Startup::changePassword(std::int32_t parentWindow)
{
    // Only the 95/98 family has the service; where mpr.dll lacks it, nothing happens.
    using PwdChangePassword = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);
    HMODULE mpr = LoadLibraryW(L"mpr.dll");
    if (!mpr)
        return;
    const auto proc = reinterpret_cast<PwdChangePassword>(
        reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordA")));
    if (proc)
        proc("SCRSAVE", reinterpret_cast<HWND>(static_cast<INT_PTR>(parentWindow)), 0, 0);
    FreeLibrary(mpr);
}

std::int32_t Win32Startup::showCursor(bool show) { return ShowCursor(show ? TRUE : FALSE); }

} // namespace velmora::win32
