// The settings window: a top-level window that shows the core's canvas with the canvas's
// texts in the dialog's font over it, real list, combo and button controls where the form
// has them, and the mouse handed to the form's events. Everything scales with the window's DPI.
#include "platform/win32/dialog_window.h"

#include "platform/picture_loader_factory.h"
#include "platform/win32/dialog_resources.h"
#include "platform/win32/owned_window.h"
#include "platform/win32/show_window.h"
#include "platform/win32/startup_win32.h"
#include "settings_dialog/dialog_canvas.h"
#include "settings_dialog/dialog_layout.h"
#include "settings_dialog/dialog_mouse.h"
#include "settings_dialog/dialog_text.h"
#include "settings_dialog/settings_form.h"

#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <memory>
#include <optional>

namespace velmora::win32 {

namespace {

namespace L = dialog::layout;
namespace T = dialog::text;

constexpr const wchar_t* DialogWindowClass = L"VelmoraSettings";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int BaseDpi = 96;
constexpr int FontTenthPoints = 975; // 9.75 pt
constexpr int ListHorizontalExtent = 311;
constexpr int RepeatDropHeight = 200;
constexpr int CursorSize = 32;
constexpr int ListId = 100;
constexpr int RepeatId = 101;
constexpr int FilterButtonId = 200; // + index 1..48

// Owns one GDI object and deletes it.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    void reset(Handle handle = nullptr)
    {
        if (handle_ != nullptr)
            DeleteObject(handle_);
        handle_ = handle;
    }
    Handle get() const { return handle_; }

private:
    Handle handle_ = nullptr;
};

// Owns a cursor loaded from the resources.
class OwnedCursor {
public:
    OwnedCursor() = default;
    ~OwnedCursor() { reset(); }
    OwnedCursor(const OwnedCursor&) = delete;
    OwnedCursor& operator=(const OwnedCursor&) = delete;
    void reset(HCURSOR cursor = nullptr)
    {
        if (cursor_ != nullptr)
            DestroyCursor(cursor_);
        cursor_ = cursor;
    }
    HCURSOR get() const { return cursor_; }

private:
    HCURSOR cursor_ = nullptr;
};

// A memory device context with one object selected into it for its lifetime.
class MemoryDc {
public:
    MemoryDc(HDC compatible, HGDIOBJ object) : dc_(CreateCompatibleDC(compatible))
    {
        if (dc_ != nullptr && object != nullptr)
            previous_ = SelectObject(dc_, object);
    }
    ~MemoryDc()
    {
        if (dc_ == nullptr)
            return;
        if (previous_ != nullptr)
            SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

// Restores a device context's selected object at the end of a scope.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selected() { SelectObject(dc_, previous_); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The DPI calls of Windows 10, looked up so that older systems fall back to the system DPI.
UINT dpiForWindow(HWND window)
{
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto call = reinterpret_cast<GetDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (call != nullptr) {
        if (const UINT dpi = call(window); dpi != 0)
            return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : BaseDpi;
}

RECT windowRectForClient(int width, int height, UINT dpi)
{
    RECT rect{0, 0, width, height};
    using Adjust = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto call = reinterpret_cast<Adjust>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (call == nullptr || !call(&rect, WindowStyle, FALSE, 0, dpi))
        AdjustWindowRectEx(&rect, WindowStyle, FALSE, 0);
    return rect;
}

// The face "ＭＳ Ｐゴシック" when the system has it, else a Japanese UI face it does have.
int CALLBACK noteFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found)
{
    auto* faces = reinterpret_cast<std::vector<std::wstring>*>(found);
    if (font->lfFaceName[0] != L'@') // vertical-writing variants
        faces->push_back(font->lfFaceName);
    return 1;
}

std::vector<std::wstring> japaneseFaces(HDC dc, const wchar_t* face)
{
    LOGFONTW query{};
    query.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
    std::vector<std::wstring> faces;
    EnumFontFamiliesExW(dc, &query, &noteFace, reinterpret_cast<LPARAM>(&faces), 0);
    return faces;
}

std::wstring dialogFace()
{
    static const std::wstring chosen = [] {
        const std::wstring designed = L"ＭＳ Ｐゴシック";
        HDC screen = GetDC(nullptr);
        std::wstring face = designed;
        if (japaneseFaces(screen, designed.c_str()).empty()) {
            const std::vector<std::wstring> all = japaneseFaces(screen, L"");
            // Proportional UI faces first, in the order a Japanese system would offer them.
            const std::array preferred{L"MS UI Gothic", L"Meiryo UI", L"Yu Gothic UI", L"IPAPGothic",
                                       L"Noto Sans CJK JP", L"VL PGothic", L"IPAGothic"};
            const auto has = [&](const std::wstring& name) {
                return std::find(all.begin(), all.end(), name) != all.end();
            };
            const auto best = std::find_if(preferred.begin(), preferred.end(), has);
            if (best != preferred.end())
                face = *best;
            else if (!all.empty())
                face = all.front();
        }
        ReleaseDC(nullptr, screen);
        return face;
    }();
    return chosen;
}

using dialog::SkinCount;
// By dialog::SkinPicture.
constexpr std::array<int, SkinCount> SkinResource{IDB_SKIN_OPTION_OFF,     IDB_SKIN_OPTION_ON,      IDB_SKIN_CHECK_OFF,
                                                  IDB_SKIN_CHECK_ON,       IDB_SKIN_BUTTON_PRESSED, IDB_SKIN_BUTTON_RELEASED,
                                                  IDB_SKIN_HEADER_95,      IDB_SKIN_HEADER_109,     IDB_SKIN_STRIPE};

using dialog::Hit;
using dialog::hitTest;

// The header of a top-down 32-bit picture, as the engine lays its pixels out.
BITMAPINFO topDown32(const Picture& picture)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width();
    info.bmiHeader.biHeight = -picture.height(); // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A bitmap of the resources as a picture; empty when it cannot be read.
Picture pictureOf(HBITMAP bitmap)
{
    BITMAP size{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof size, &size) == 0 || size.bmWidth <= 0 || size.bmHeight == 0)
        return {};
    Picture picture(size.bmWidth, std::abs(size.bmHeight));
    BITMAPINFO info = topDown32(picture);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, UINT(picture.height()), picture.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == picture.height() ? picture : Picture();
}

// COM on the window's thread for the window's lifetime: the folder browser's new style (the
// box a path can be typed into) needs a single-threaded apartment.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

class DialogWindow final : public dialog::DialogPlatform {
public:
    explicit DialogWindow(StartupState& state);
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Creates the window, runs Form_Load and the modal loop; returns when the window is gone.
    void run();

    template <typename Owner>
    friend LRESULT CALLBACK win32::ownedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK listProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // dialog::DialogPlatform
    void pumpMessages() override;
    void busyPointer(bool busy) override;
    PictureLoader& pictureLoader() override { return *loader_; }
    std::optional<dialog::ScreenPoint> cursorPosition() override;
    void zoomOpen(dialog::ScreenPoint from) override;
    void zoomClose(dialog::ScreenPoint to) override;
    void messageBox(std::string_view text) override;
    std::optional<std::string> browseForFolder(std::string_view prompt) override;
    std::optional<std::string> openFile(std::string_view filterName, std::string_view patterns,
                                        std::string_view title) override;
    void endProgram() override;

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void applyDpi(UINT dpi);
    void placeControls();
    void syncControls();
    void syncPanels(bool listChanged);
    void syncTooltip();
    void onMouseDown(int x, int y);
    void onMouseUp();
    bool onSetCursor(HWND over);
    void onCommand(int id, int code, HWND control);
    void paint(HDC target, const RECT& area);
    void drawText(HDC dc, const dialog::CanvasText& text);
    void drawListItem(const DRAWITEMSTRUCT& item);
    int scale(int value) const { return MulDiv(value, int(dpi_), BaseDpi); }
    RECT scaled(const L::Rect& r) const { return {scale(r.x), scale(r.y), scale(r.x + r.w), scale(r.y + r.h)}; }
    int unscale(int value) const { return MulDiv(value, BaseDpi, int(dpi_)); }

    ComApartment com_;
    Win32FileSystem fs_;
    Cp932Codec codec_;
    std::unique_ptr<PictureLoader> loader_ = createPlatformPictureLoader();
    dialog::SettingsForm form_;
    HWND hwnd_ = nullptr;
    HWND list_ = nullptr;
    WNDPROC listBaseProc_ = nullptr;
    HWND repeat_ = nullptr;
    HWND tooltip_ = nullptr; // the size label's full text when a picture did not load
    std::wstring tooltipText_;
    std::array<HWND, L::FilterButtons + 1> filterButtons_{};
    UINT dpi_ = BaseDpi;
    GdiObject<HFONT> font_;
    dialog::DialogSkin skin_;
    Picture canvas_; // the core's drawing, stretched to the window's DPI
    OwnedCursor cursor_;
    int pressedButton_ = -1;
    bool closed_ = false;
    ULONGLONG lastScanPump_ = 0; // when a folder scan last served the window
};

DialogWindow::DialogWindow(StartupState& state)
    : form_(state.settings, state.catalogue, *this, dialog::SettingsStore{settingsLocation(), fs_, codec_})
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (std::size_t i = 0; i < skin_.size(); ++i) {
        const GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
            LoadImageW(instance, MAKEINTRESOURCEW(SkinResource[i]), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        skin_[i] = pictureOf(bitmap.get());
    }
}

void DialogWindow::run()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ownedWindowProc<DialogWindow>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.lpszClassName = DialogWindowClass;
    RegisterClassW(&wc);

    // Created hidden on the primary monitor, so its DPI is the one the window opens at.
    CreateWindowExW(0, DialogWindowClass, widen(T::Title).c_str(), WindowStyle, 0, 0, L::CanvasWidth,
                    L::CanvasHeight, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr)
        return;
    createControls();
    applyDpi(dpiForWindow(hwnd_));

    // Centred on the primary monitor.
    const RECT frame = windowRectForClient(scale(L::CanvasWidth), scale(L::CanvasHeight), dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    form_.Form_Load();
    syncControls();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);

    MSG msg;
    while (!closed_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The list holds no strings, so its window text is made its entries, one a line: what the
// list shows can then be read from outside (accessibility tools, the end-to-end tests).
LRESULT CALLBACK DialogWindow::listProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_GETTEXT || message == WM_GETTEXTLENGTH) {
        std::wstring text;
        for (const auto& name : self->form_.List_1) {
            text += widen(name);
            text += L"\r\n";
        }
        if (message == WM_GETTEXTLENGTH)
            return LRESULT(text.size());
        if (wParam == 0 || lParam == 0)
            return 0;
        const std::size_t n = std::min<std::size_t>(text.size(), std::size_t(wParam) - 1);
        auto* out = reinterpret_cast<wchar_t*>(lParam);
        text.copy(out, n);
        out[n] = L'\0';
        return LRESULT(n);
    }
    return CallWindowProcW(self->listBaseProc_, hwnd, message, wParam, lParam);
}

LRESULT DialogWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (HDC dc = BeginPaint(hwnd_, &ps); dc != nullptr) {
            paint(dc, ps.rcPaint);
            EndPaint(hwnd_, &ps);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole canvas
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        onMouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        onMouseUp();
        return 0;
    case WM_CAPTURECHANGED:
        if (pressedButton_ >= 0 && reinterpret_cast<HWND>(lParam) != hwnd_) {
            pressedButton_ = -1;
            form_.cancelPress();
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && onSetCursor(reinterpret_cast<HWND>(wParam)))
            return TRUE;
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_MEASUREITEM:
        if (wParam == ListId)
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = UINT(scale(L::LabelH));
        return TRUE;
    case WM_DRAWITEM:
        if (wParam == ListId)
            drawListItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        form_.Form_QueryClose(); // unloads without saving
        return 0;
    case WM_DESTROY:
        closed_ = true;
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void DialogWindow::createControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto child = [&](const wchar_t* type, DWORD style, int id, const wchar_t* caption = L"") {
        return CreateWindowExW(0, type, caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 1, 1, hwnd_,
                               reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
    };
    // The list holds no strings of its own: it draws the form's names, so a folder of any
    // size fills it at once.
    list_ = child(L"LISTBOX",
                  WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_NODATA |
                      LBS_OWNERDRAWFIXED,
                  ListId);
    SetWindowLongPtrW(list_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    listBaseProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogWindow::listProc)));
    repeat_ = child(L"COMBOBOX", WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, RepeatId);
    for (int i = 1; i <= L::FilterButtons; ++i)
        filterButtons_[std::size_t(i)] = child(L"BUTTON", BS_PUSHBUTTON, FilterButtonId + i, std::to_wstring(i).c_str());

    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance,
                               nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.lpszText = tooltipText_.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The tip over the size label: its rectangle at this DPI and the form's text (none: no tip).
void DialogWindow::syncTooltip()
{
    if (tooltip_ == nullptr)
        return;
    tooltipText_ = widen(form_.lbl_PreSize_Tip);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.rect = form_.lbl_PreSize_Tip.empty() ? RECT{} : scaled(L::PreSize);
    SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = tooltipText_.data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void DialogWindow::applyDpi(UINT dpi)
{
    dpi_ = dpi == 0 ? BaseDpi : dpi;
    LOGFONTW font{};
    font.lfHeight = -MulDiv(FontTenthPoints, int(dpi_), 7200);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, dialogFace().c_str(), LF_FACESIZE);
    // The controls let go of the old font (in placeControls) before it is deleted.
    GdiObject<HFONT> oldFont = std::move(font_);
    font_.reset(CreateFontIndirectW(&font));

    // Not shared: a shared cursor keeps the size it was first loaded at.
    const int cursorSize = scale(CursorSize);
    cursor_.reset(static_cast<HCURSOR>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_SKIN_CURSOR),
                                                  IMAGE_CURSOR, cursorSize, cursorSize, 0)));
    placeControls();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DialogWindow::placeControls()
{
    const auto place = [&](HWND control, const L::Rect& at, int extraHeight = 0) {
        const RECT r = scaled(at);
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top + extraHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    };
    place(list_, L::List1);
    SendMessageW(list_, LB_SETHORIZONTALEXTENT, WPARAM(scale(ListHorizontalExtent)), 0);
    SendMessageW(list_, LB_SETITEMHEIGHT, 0, scale(L::LabelH));
    place(repeat_, L::Repeat, scale(RepeatDropHeight));
    for (int i = 1; i <= L::FilterButtons; ++i)
        place(filterButtons_[std::size_t(i)], L::FilterButton(i));
    syncTooltip();
}

// Puts the form's list, repeat box and enabled flags into the real controls; the repeat
// box's entries once, at load.
void DialogWindow::syncControls()
{
    SendMessageW(repeat_, CB_RESETCONTENT, 0, 0);
    for (const auto& entry : form_.BGM_Repeat.entries)
        SendMessageW(repeat_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(entry).c_str()));
    SetWindowTextW(repeat_, widen(form_.BGM_Repeat.text).c_str());
    syncPanels(true);
}

// After an event: the list's length (when the form replaced the list), the enabled states,
// and a repaint of the canvas.
void DialogWindow::syncPanels(bool listChanged)
{
    if (listChanged) {
        SendMessageW(list_, LB_SETCOUNT, form_.List_1.size(), 0);
        SendMessageW(list_, LB_SETCURSEL, WPARAM(form_.List_1_Selected.value_or(-1)), 0);
        InvalidateRect(list_, nullptr, TRUE);
    }
    EnableWindow(repeat_, form_.BGM_Repeat.enabled);
    for (int i = 1; i <= L::FilterButtons; ++i) {
        const HWND button = filterButtons_[std::size_t(i)];
        const bool enabled = form_.Cmd_Fil_Enabled[std::size_t(i)];
        if ((IsWindowEnabled(button) != FALSE) != enabled)
            EnableWindow(button, enabled);
    }
    syncTooltip();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DialogWindow::onMouseDown(int x, int y)
{
    const Hit hit = hitTest(unscale(x), unscale(y));
    if (dialog::pressChoice(form_, hit)) {
        // The kind boxes rebuild the list; the music choice enables the repeat box.
        if (!closed_)
            syncPanels(hit.target == Hit::PictureKind);
        return;
    }
    switch (hit.target) {
    case Hit::PushButton:
        if (GetKeyState(VK_LBUTTON) < 0 && form_.Img_Button[std::size_t(hit.index)].enabled) {
            form_.lbl_Button_MouseDown(hit.index);
            pressedButton_ = hit.index;
            SetCapture(hwnd_); // the release comes here wherever the pointer then is
        }
        break;
    default:
        return;
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DialogWindow::onMouseUp()
{
    if (pressedButton_ < 0)
        return;
    const int button = pressedButton_;
    pressedButton_ = -1;
    ReleaseCapture();
    InvalidateRect(hwnd_, nullptr, FALSE);
    form_.lbl_Button_MouseUp(button); // may end the window
    // The folder, "ｸﾘｱ" and music buttons change the list and the panels.
    if (!closed_)
        syncPanels(button == 0 || button == 1);
}

bool DialogWindow::onSetCursor(HWND over)
{
    bool own = over == list_ || over == repeat_ || GetParent(over) == repeat_;
    for (int i = 1; i <= L::FilterButtons && !own; ++i)
        own = over == filterButtons_[std::size_t(i)];
    if (over == hwnd_) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(hwnd_, &p);
        own = hitTest(unscale(p.x), unscale(p.y)).target != Hit::Nothing;
    }
    if (!own)
        return false;
    SetCursor(cursor_.get() != nullptr ? cursor_.get() : LoadCursorW(nullptr, IDC_ARROW));
    return true;
}

void DialogWindow::onCommand(int id, int code, HWND)
{
    if (id == ListId && code == LBN_SELCHANGE) {
        const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
        if (selected < 0 || std::size_t(selected) >= form_.List_1.size())
            return;
        form_.List_1_Selected = int(selected);
        form_.List_1_Click();
        syncPanels(false);
        return;
    }
    if (id > FilterButtonId && id <= FilterButtonId + L::FilterButtons && code == BN_CLICKED) {
        form_.Cmd_Fil_Click(id - FilterButtonId);
        const RECT box = scaled(L::Display);
        InvalidateRect(hwnd_, &box, FALSE);
        return;
    }
    if (id != RepeatId)
        return;
    // The form keeps the box's text: it becomes BgmRepeat on save.
    if (code == CBN_SELCHANGE) {
        const LRESULT selected = SendMessageW(repeat_, CB_GETCURSEL, 0, 0);
        if (selected >= 0 && std::size_t(selected) < form_.BGM_Repeat.entries.size())
            form_.BGM_Repeat.text = form_.BGM_Repeat.entries[std::size_t(selected)];
    } else if (code == CBN_EDITCHANGE) {
        wchar_t buffer[64] = {};
        GetWindowTextW(repeat_, buffer, int(std::size(buffer)));
        form_.BGM_Repeat.text = narrow(buffer);
    }
}

// Draws the canvas into a memory bitmap and puts `area` of it on the window. Drawing is
// clipped to `area`, so the small repaints of a folder scan (the count) stay cheap.
void DialogWindow::paint(HDC target, const RECT& area)
{
    RECT client;
    GetClientRect(hwnd_, &client);
    GdiObject<HBITMAP> buffer(CreateCompatibleBitmap(target, client.right, client.bottom));
    MemoryDc dc(target, buffer.get());
    if (dc.get() == nullptr || buffer.get() == nullptr)
        return;
    IntersectClipRect(dc.get(), area.left, area.top, area.right, area.bottom);

    dialog::paintCanvas(canvas_, form_, skin_);
    const BITMAPINFO info = topDown32(canvas_);
    // Whole multiples of 96 DPI stay crisp, other factors are smoothed.
    SetStretchBltMode(dc.get(), dpi_ % BaseDpi == 0 ? COLORONCOLOR : HALFTONE);
    SetBrushOrgEx(dc.get(), 0, 0, nullptr);
    StretchDIBits(dc.get(), 0, 0, scale(canvas_.width()), scale(canvas_.height()), 0, 0, canvas_.width(),
                  canvas_.height(), canvas_.data(), &info, DIB_RGB_COLORS, SRCCOPY);

    Selected font(dc.get(), font_.get());
    SetBkMode(dc.get(), TRANSPARENT);
    for (const dialog::CanvasText& text : dialog::canvasTexts(form_))
        drawText(dc.get(), text);

    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc.get(), area.left, area.top,
           SRCCOPY);
}

void DialogWindow::drawText(HDC dc, const dialog::CanvasText& text)
{
    RECT box = scaled(text.box);
    UINT format = DT_NOPREFIX | (text.wrap ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE);
    if (text.align == dialog::TextAlign::Centre)
        format |= DT_CENTER;
    else if (text.align == dialog::TextAlign::Right)
        format |= DT_RIGHT;
    if (text.centreVertically && !text.wrap)
        format |= DT_VCENTER;
    if (text.ellipsis)
        format |= DT_PATH_ELLIPSIS;
    const int saved = SaveDC(dc);
    if (text.clip) {
        const RECT clip = scaled(*text.clip);
        IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    } else {
        format |= DT_NOCLIP; // a caption may run past its label
    }
    SetTextColor(dc, RGB(text.colour.r, text.colour.g, text.colour.b));
    const std::wstring wide = widen(text.text);
    DrawTextW(dc, wide.data(), int(wide.size()), &box, format);
    RestoreDC(dc, saved);
}

void DialogWindow::drawListItem(const DRAWITEMSTRUCT& item)
{
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID < form_.List_1.size()) {
        Selected font(item.hDC, font_.get());
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT text = item.rcItem;
        text.left += scale(2);
        const std::wstring name = widen(form_.List_1[item.itemID]);
        DrawTextW(item.hDC, name.c_str(), int(name.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if ((item.itemState & ODS_FOCUS) != 0)
        DrawFocusRect(item.hDC, &item.rcItem);
}

void DialogWindow::pumpMessages()
{
    if (form_.scanning()) {
        // A folder scan yields once per file: the window is served (and the count and the
        // list redrawn) about 30 times a second, which keeps a large folder quick.
        const ULONGLONG now = GetTickCount64();
        if (now - lastScanPump_ < 30)
            return;
        lastScanPump_ = now;
        SendMessageW(list_, LB_SETCOUNT, form_.List_1.size(), 0);
        // The count is drawn right-aligned and may reach left of its label.
        const RECT count = scaled({L::Kei.x - 30, L::Kei.y, L::Kei.w + 30, L::Kei.h});
        InvalidateRect(hwnd_, &count, FALSE);
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void DialogWindow::busyPointer(bool busy)
{
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

std::optional<dialog::ScreenPoint> DialogWindow::cursorPosition()
{
    POINT p;
    if (!GetCursorPos(&p))
        return std::nullopt;
    return dialog::ScreenPoint{p.x, p.y};
}

void DialogWindow::zoomOpen(dialog::ScreenPoint from)
{
    RECT window;
    GetWindowRect(hwnd_, &window);
    const RECT point{from.x, from.y, from.x, from.y};
    DrawAnimatedRects(hwnd_, IDANI_CAPTION, &point, &window);
}

void DialogWindow::zoomClose(dialog::ScreenPoint to)
{
    RECT window;
    GetWindowRect(hwnd_, &window);
    const RECT point{to.x, to.y, to.x, to.y};
    DrawAnimatedRects(hwnd_, IDANI_CAPTION, &window, &point);
}

void DialogWindow::messageBox(std::string_view text)
{
    MessageBoxW(hwnd_, widen(text).c_str(), L"ヴェルモラ", MB_OK | MB_ICONWARNING);
}

// An item list the shell allocated, freed with the shell's allocator.
struct ItemListFree {
    void operator()(ITEMIDLIST* item) const { CoTaskMemFree(item); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListFree>;

std::optional<std::string> DialogWindow::browseForFolder(std::string_view prompt)
{
    const std::wstring title = widen(prompt);
    wchar_t displayName[MAX_PATH] = {}; // the chosen item's display name, which the call limits itself
    BROWSEINFOW request{};
    request.hwndOwner = hwnd_;
    request.pszDisplayName = displayName;
    request.lpszTitle = title.c_str();
    // A box the user can type a path into, as well as the tree.
    request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    const ItemList item(SHBrowseForFolderW(&request));
    if (item == nullptr)
        return std::nullopt; // cancelled
    // Long paths: the largest path the wide calls take.
    std::wstring path(32768, L'\0');
    if (!SHGetPathFromIDListEx(item.get(), path.data(), DWORD(path.size()), GPFIDL_DEFAULT))
        return std::nullopt; // not a file-system folder
    path.resize(wcslen(path.c_str()));
    return narrow(path);
}

std::optional<std::string> DialogWindow::openFile(std::string_view filterName, std::string_view patterns,
                                                  std::string_view title)
{
    // "name\0patterns\0\0"
    std::wstring filter = widen(filterName);
    filter.push_back(L'\0');
    filter += widen(patterns);
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    const std::wstring caption = widen(title);
    std::wstring file(32768, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = hwnd_;
    request.hInstance = GetModuleHandleW(nullptr);
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = DWORD(file.size());
    request.lpstrTitle = caption.c_str();
    request.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&request))
        return std::nullopt;
    file.resize(wcslen(file.c_str()));
    return narrow(file);
}

void DialogWindow::endProgram()
{
    if (hwnd_ != nullptr && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    closed_ = true;
}

} // namespace

void runSettingsDialog(StartupState& state)
{
    enableDpiAwareness(); // before the window exists, so it is sized in real pixels
    DialogWindow window(state);
    window.run();
}

} // namespace velmora::win32
