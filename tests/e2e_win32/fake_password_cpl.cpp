// A stand-in for the Windows 95/98 screen-saver password service, put beside velmora.scr as
// password.cpl: VerifyScreenSavePwd accepts when a file "accept" lies beside it, and appends
// one line per call to "asked" saying whether its parent was the show window and whether
// the cursor was showing.
#include <windows.h>

#include <string>

namespace {

// The path of `name` in this library's folder.
std::wstring besideThis(const wchar_t* name)
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&besideThis), &self);
    wchar_t path[MAX_PATH] = {};
    const std::wstring own(path, GetModuleFileNameW(self, path, MAX_PATH));
    return own.substr(0, own.find_last_of(L"\\/") + 1) + name;
}

} // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND parent)
{
    wchar_t title[64] = {};
    GetWindowTextW(parent, title, 64);
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    GetCursorInfo(&cursor);
    const std::string line = std::string("asked parent=") + (lstrcmpW(title, L"Velmora_Main") == 0 ? "show" : "other") +
                             ((cursor.flags & CURSOR_SHOWING) != 0 ? " cursor=shown\n" : " cursor=hidden\n");

    HANDLE log = CreateFileW(besideThis(L"asked").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                             nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(log, line.data(), DWORD(line.size()), &written, nullptr);
        CloseHandle(log);
    }
    return GetFileAttributesW(besideThis(L"accept").c_str()) != INVALID_FILE_ATTRIBUTES;
}
