// A stand-in for the Windows 95/98 screen-saver password service, put beside velmora.scr as
// password.cpl: VerifyScreenSavePwd accepts when a file "accept" lies beside it, and appends
// one line per call to "asked" saying whether its parent was the show window and whether
// the cursor was showing.
#include <windows.h>

namespace {

// The path of `name` in this library's folder.
void besideThis(const wchar_t* name, wchar_t (&path)[MAX_PATH])
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&besideThis), &self);
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    DWORD cut = 0;
    for (DWORD i = 0; i < n; ++i) {
        if (path[i] == L'\\' || path[i] == L'/') {
            cut = i + 1;
        }
    }
    path[cut] = L'\0';
    if (cut + lstrlenW(name) < MAX_PATH) {
        lstrcatW(path, name);
    }
}

} // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND parent)
{
    wchar_t title[64] = {};
    GetWindowTextW(parent, title, 64);
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    GetCursorInfo(&cursor);
    char line[80] = "asked parent=";
    lstrcatA(line, lstrcmpW(title, L"Velmora_Main") == 0 ? "show" : "other");
    lstrcatA(line, (cursor.flags & CURSOR_SHOWING) != 0 ? " cursor=shown\n" : " cursor=hidden\n");

    wchar_t path[MAX_PATH];
    besideThis(L"asked", path);
    HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(log, line, DWORD(lstrlenA(line)), &written, nullptr);
        CloseHandle(log);
    }
    besideThis(L"accept", path);
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}
