// Velmora_R: the preview's child window. It reads no settings and runs no show; it paints
// the embedded picture at its own size in the top-left corner and the background elsewhere.
#include "platform/win32/preview_window.h"

#include "platform/picture_loader_factory.h"
#include "platform/win32/owned_window.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/show_surface.h"
#include "platform/win32/show_window.h"

#include <algorithm>
#include <memory>
#include <span>
#include <type_traits>

namespace velmora::win32 {

namespace {

constexpr const wchar_t* PreviewWindowClass = L"Velmora_R";

struct BrushDelete {
    void operator()(HBRUSH brush) const { DeleteObject(brush); }
};
using Brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, BrushDelete>;

// The JPEG resource decoded by the platform loader; an empty picture when it cannot be.
Picture loadPreviewPicture()
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VELMORA_PREVIEW_PICTURE), RT_RCDATA);
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return {};
    }
    const std::span<const std::uint8_t> data(static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found));
    Result<LoadedPicture> decoded = decodePlatformPicture(data, LoadRequest{0, 0, 0});
    return decoded.ok() ? std::move(decoded->picture) : Picture{};
}

class Velmora_R {
public:
    Velmora_R() = default;
    Velmora_R(const Velmora_R&) = delete;
    Velmora_R& operator=(const Velmora_R&) = delete;

    // The set-up: a child of `host` at (0, 0) with the host's client size in pixels.
    bool open(HWND host);

    template <typename Owner>
    friend LRESULT CALLBACK win32::ownedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onPaint();
    void Form_Unload();

    HWND hwnd_ = nullptr;
    DibSurface Master; // the picture at its own size
    Brush background_{CreateSolidBrush(PreviewBackground)};
};

bool Velmora_R::open(HWND host)
{
    RECT client{};
    if (!GetClientRect(host, &client)) {
        return false;
    }
    const Picture picture = loadPreviewPicture();
    if (Master.create(picture.width(), picture.height())) {
        Master.copyFrom(picture, {0, 0, picture.width(), picture.height()});
    }

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ownedWindowProc<Velmora_R>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = PreviewWindowClass;
    RegisterClassW(&wc);
    // Created straight into the host: a child window has no border and no caption.
    CreateWindowExW(0, PreviewWindowClass, L"Velmora", WS_CHILD | WS_VISIBLE, 0, 0, client.right - client.left,
                    client.bottom - client.top, host, nullptr, instance, this);
    return hwnd_ != nullptr;
}

LRESULT Velmora_R::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_DESTROY:
        // The host destroying its window takes this one with it; WM_CLOSE ends up here too.
        Form_Unload();
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void Velmora_R::onPaint()
{
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd_, &ps);
    if (dc == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int pictureW = std::min<int>(Master.width(), client.right);
    const int pictureH = std::min<int>(Master.height(), client.bottom);
    if (pictureW > 0 && pictureH > 0) {
        BitBlt(dc, 0, 0, pictureW, pictureH, Master.dc(), 0, 0, SRCCOPY);
    }
    const RECT right{pictureW, 0, client.right, client.bottom};
    const RECT below{0, pictureH, pictureW, client.bottom};
    FillRect(dc, &right, background_.get());
    FillRect(dc, &below, background_.get());
    EndPaint(hwnd_, &ps);
}

void Velmora_R::Form_Unload()
{
    hwnd_ = nullptr;
    PostQuitMessage(0); // the last form is gone: so is the process
}

} // namespace

bool openPreviewWindow(std::int32_t hostWindow)
{
    enableDpiAwareness(); // before the host's size is read, so it is in real pixels
    // Handles are 32-bit values that 64-bit Windows sign-extends.
    const HWND host = reinterpret_cast<HWND>(static_cast<INT_PTR>(hostWindow));
    if (host == nullptr || !IsWindow(host)) {
        return false;
    }
    static Velmora_R window; // lives until the process ends
    return window.open(host);
}

} // namespace velmora::win32
