// The Windows picture decoders behind the common front end: WIC's built-in codecs for BMP,
// GIF (first frame), JPEG, PNG and TIFF, and the system's installed codecs for WebP, HEIC/HEIF
// and AVIF, converted to 32-bit BGR (alpha on black); bit-field BMPs by our own decoder, as WIC
// mishandles some valid colour masks; metafiles checked record by record and played through GDI
// into a DIB section at their own size.
#include "platform/picture_loader_factory.h"
#include "platform/regular_file.h"
#include "platform/win32/win_text.h"
#include "show/bmp_bit_fields.h"
#include "show/decoding_loader.h"
#include "show/picture_headers.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

// The codecs' own scaling interface; mingw-w64's wincodec.h does not declare it. COM
// interfaces are released, never deleted, so they have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
MIDL_INTERFACE("3B16811B-6A43-4ec9-B713-3D5A0C13B940")
IWICBitmapSourceTransform : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                                 WICPixelFormatGUID* format, WICBitmapTransformOptions transform,
                                                 UINT stride, UINT bufferSize, BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
#pragma GCC diagnostic pop
__CRT_UUID_DECL(IWICBitmapSourceTransform, 0x3b16811b, 0x6a43, 0x4ec9, 0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40)

namespace velmora {
namespace {

using Microsoft::WRL::ComPtr;
using loading::PictureFormat;

// COM for the duration of one load; whatever mode the thread already has is fine for WIC.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

struct DcDelete {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct EmfDelete {
    void operator()(HENHMETAFILE emf) const { DeleteEnhMetaFile(emf); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiObjectDelete>;
using EnhMetafile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, EmfDelete>;

// Puts the DC's previous object back before the DC or the object goes away.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// ---- WIC -------------------------------------------------------------------------------

const GUID* containerOf(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp: return &GUID_ContainerFormatBmp;
    case PictureFormat::Gif: return &GUID_ContainerFormatGif;
    case PictureFormat::Jpeg: return &GUID_ContainerFormatJpeg;
    case PictureFormat::Png: return &GUID_ContainerFormatPng;
    case PictureFormat::Tiff: return &GUID_ContainerFormatTiff;
    default: return nullptr; // no codec ships with every Windows: whichever the system has
    }
}

// Kinds that may carry transparency: converted premultiplied, so that transparent pixels
// come out black like the show's background.
bool mayHaveAlpha(PictureFormat format)
{
    return format != PictureFormat::Bmp && format != PictureFormat::Jpeg;
}

constexpr const char* kNoCodec = "no codec for this picture on this system";

// A decoder for the container from the codecs that come with the system only: a codec some
// other program installed never sees the file.
HRESULT createBuiltInDecoder(IWICImagingFactory* factory, const GUID& container, ComPtr<IWICBitmapDecoder>& decoder)
{
    ComPtr<IEnumUnknown> components;
    HRESULT hr = factory->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateBuiltInOnly, &components);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IUnknown> item;
    ULONG fetched = 0;
    while (components->Next(1, &item, &fetched) == S_OK && fetched == 1) {
        ComPtr<IWICBitmapDecoderInfo> info;
        GUID format{};
        if (SUCCEEDED(item.As(&info)) && SUCCEEDED(info->GetContainerFormat(&format)) &&
            IsEqualGUID(format, container)) {
            return info->CreateInstance(&decoder);
        }
        item.Reset();
    }
    return WINCODEC_ERR_COMPONENTNOTFOUND;
}

bool readUShort(IWICMetadataQueryReader* reader, const wchar_t* name, int& value)
{
    if (reader == nullptr) {
        return false;
    }
    PROPVARIANT v;
    PropVariantInit(&v);
    bool ok = false;
    if (SUCCEEDED(reader->GetMetadataByName(name, &v)) && v.vt == VT_UI2) {
        value = v.uiVal;
        ok = true;
    }
    PropVariantClear(&v);
    return ok;
}

std::string wicReason(const char* what, HRESULT hr)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s (WIC error 0x%08lX)", what, static_cast<unsigned long>(hr));
    return text;
}

Result<LoadedPicture> decodeWithWic(const std::uint8_t* data, std::size_t size, PictureFormat format,
                                    const LoadRequest& request, bool sizeOnly)
{
    const loading::Deadline deadline(request.timeLimitMs);
    if (format == PictureFormat::Jpeg && loading::countJpegScans(data, size) > loading::kMaxJpegScans) {
        return Reason{"JPEG has too many scans"};
    }
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) {
        return Reason{wicReason("WIC is not available", hr)};
    }
    ComPtr<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(&stream)) ||
        FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), DWORD(size)))) {
        return Reason{wicReason("cannot read the picture", hr)};
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (const GUID* container = containerOf(format)) {
        if (FAILED(hr = createBuiltInDecoder(factory.Get(), *container, decoder)) ||
            FAILED(hr = decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand))) {
            return Reason{wicReason("picture header is broken", hr)};
        }
    } else if (FAILED(hr = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                            &decoder))) {
        return Reason{hr == WINCODEC_ERR_COMPONENTNOTFOUND ? std::string(kNoCodec)
                                                            : wicReason("picture header is broken", hr)};
    }
    UINT frames = 0;
    if (FAILED(hr = decoder->GetFrameCount(&frames)) || frames == 0) {
        return Reason{"picture holds no image"};
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(hr = decoder->GetFrame(0, &frame))) {
        return Reason{wicReason("first image is broken", hr)};
    }
    UINT width = 0;
    UINT height = 0;
    if (FAILED(hr = frame->GetSize(&width, &height))) {
        return Reason{wicReason("picture header is broken", hr)};
    }
    if (Result<void> checked = loading::checkPictureSize(width, height); !checked.ok()) {
        return checked.reason();
    }

    ComPtr<IWICMetadataQueryReader> frameMetadata;
    frame->GetMetadataQueryReader(&frameMetadata);
    // A GIF's first image may be smaller than its screen and placed on it.
    PictureSize canvas{int(width), int(height)};
    int left = 0;
    int top = 0;
    if (format == PictureFormat::Gif) {
        ComPtr<IWICMetadataQueryReader> screen;
        int sw = 0;
        int sh = 0;
        if (SUCCEEDED(decoder->GetMetadataQueryReader(&screen)) && readUShort(screen.Get(), L"/logscrdesc/Width", sw) &&
            readUShort(screen.Get(), L"/logscrdesc/Height", sh) && sw > 0 && sh > 0) {
            if (Result<void> checked = loading::checkPictureSize(sw, sh); !checked.ok()) {
                return checked.reason();
            }
            canvas = {sw, sh};
            readUShort(frameMetadata.Get(), L"/imgdesc/Left", left);
            readUShort(frameMetadata.Get(), L"/imgdesc/Top", top);
        }
    }
    LoadedPicture result;
    result.ownSize = canvas; // as stored: the front end turns it by its EXIF tag
    if (sizeOnly) {
        return result;
    }

    // Reduced decode: the codec's own scaling (JPEG DCT, and whatever the newer kinds' codecs
    // offer), else WIC's scaler.
    ComPtr<IWICBitmapSource> source = frame;
    UINT outWidth = width;
    UINT outHeight = height;
    const bool reducible = format != PictureFormat::Bmp && format != PictureFormat::Gif;
    if (reducible && request.fitWidth > 0 && request.fitHeight > 0) {
        const PictureSize need = loading::neededSize(result.ownSize, request);
        UINT w = UINT(need.width);
        UINT h = UINT(need.height);
        ComPtr<IWICBitmapSourceTransform> transform;
        bool reduced = false;
        if (SUCCEEDED(frame.As(&transform)) && SUCCEEDED(transform->GetClosestSize(&w, &h)) &&
            w >= UINT(need.width) && h >= UINT(need.height) && w < width) {
            WICPixelFormatGUID native{};
            frame->GetPixelFormat(&native);
            transform->GetClosestPixelFormat(&native);
            ComPtr<IWICComponentInfo> info;
            ComPtr<IWICPixelFormatInfo> formatInfo;
            UINT bits = 0;
            if (SUCCEEDED(factory->CreateComponentInfo(native, &info)) && SUCCEEDED(info.As(&formatInfo)) &&
                SUCCEEDED(formatInfo->GetBitsPerPixel(&bits)) && bits > 0 && bits <= 64) {
                const UINT stride = ((w * bits + 31) / 32) * 4;
                std::vector<BYTE> scaled(std::size_t(stride) * h);
                ComPtr<IWICBitmap> bitmap;
                if (SUCCEEDED(transform->CopyPixels(nullptr, w, h, &native, WICBitmapTransformRotate0, stride,
                                                    UINT(scaled.size()), scaled.data())) &&
                    SUCCEEDED(factory->CreateBitmapFromMemory(w, h, native, stride, UINT(scaled.size()),
                                                              scaled.data(), &bitmap))) {
                    source = bitmap;
                    outWidth = w;
                    outHeight = h;
                    reduced = true;
                }
            }
        }
        if (!reduced) {
            int shift = 0;
            while (shift < 3 && (width >> (shift + 1)) >= UINT(need.width) && (height >> (shift + 1)) >= UINT(need.height)) {
                ++shift;
            }
            ComPtr<IWICBitmapScaler> scaler;
            if (shift > 0 && SUCCEEDED(factory->CreateBitmapScaler(&scaler)) &&
                SUCCEEDED(scaler->Initialize(frame.Get(), width >> shift, height >> shift, WICBitmapInterpolationModeFant))) {
                source = scaler;
                outWidth = width >> shift;
                outHeight = height >> shift;
            }
        }
    }

    ComPtr<IWICFormatConverter> converter;
    const WICPixelFormatGUID& target =
        mayHaveAlpha(format) ? GUID_WICPixelFormat32bppPBGRA : GUID_WICPixelFormat32bppBGR;
    if (FAILED(hr = factory->CreateFormatConverter(&converter)) ||
        FAILED(hr = converter->Initialize(source.Get(), target, WICBitmapDitherTypeNone, nullptr, 0.0,
                                          WICBitmapPaletteTypeCustom))) {
        return Reason{wicReason("colour layout not supported", hr)};
    }
    Picture decoded{int(outWidth), int(outHeight)};
    const UINT stride = outWidth * 4;
    constexpr UINT kBand = 64; // rows per call, so a slow decode can be given up between bands
    for (UINT y = 0; y < outHeight; y += kBand) {
        if (deadline.passed()) {
            return Reason{"picture took too long to decode"};
        }
        const UINT rows = std::min(kBand, outHeight - y);
        const WICRect rect{0, INT(y), INT(outWidth), INT(rows)};
        if (FAILED(hr = converter->CopyPixels(&rect, stride, stride * rows, decoded.data() + std::size_t(stride) * y))) {
            if (y == 0) {
                return Reason{wicReason("picture data is broken", hr)};
            }
            break; // keep the bands that decoded
        }
    }
    for (std::size_t i = 3; i < decoded.byteCount(); i += 4) {
        decoded.data()[i] = 0;
    }
    if (canvas.width != int(width) || canvas.height != int(height) || left != 0 || top != 0) {
        Picture placed(canvas.width, canvas.height);
        for (int y = 0; y < int(outHeight) && top + y < canvas.height; ++y) {
            const int count = std::min(int(outWidth), canvas.width - left);
            if (count > 0) {
                std::memcpy(placed.pixel(left, top + y), decoded.pixel(0, y), std::size_t(count) * 4);
            }
        }
        decoded = std::move(placed);
    }
    result.picture = std::move(decoded);
    return result;
}

// A BMP's size from its header, and its pixels when they are bit fields.
Result<LoadedPicture> decodeBitFields(const std::uint8_t* data, std::size_t size, const loading::BmpHeader& header,
                                      bool sizeOnly)
{
    LoadedPicture result;
    result.ownSize = {int(header.width), int(header.height)};
    if (!sizeOnly) {
        result.picture = loading::decodeBitFieldBmp(data, size, header);
    }
    return result;
}

// ---- metafiles through GDI -------------------------------------------------------------

struct PlayContext {
    const loading::Deadline* deadline;
    bool timedOut;
};

int CALLBACK playRecord(HDC dc, HANDLETABLE* table, const ENHMETARECORD* record, int handles, LPARAM param)
{
    auto* context = reinterpret_cast<PlayContext*>(param);
    if (context->deadline->passed()) {
        context->timedOut = true;
        return 0;
    }
    PlayEnhMetaFileRecord(dc, table, record, UINT(handles));
    return 1;
}

Result<LoadedPicture> decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request, bool sizeOnly)
{
    const loading::Deadline deadline(request.timeLimitMs);
    loading::WmfPlan plan;
    if (Result<void> checked = loading::planWmf(data, size, plan); !checked.ok()) {
        return checked.reason();
    }
    LoadedPicture result;
    result.ownSize = plan.size;
    if (sizeOnly) {
        return result;
    }
    METAFILEPICT picture{};
    picture.mm = MM_ANISOTROPIC;
    picture.xExt = MulDiv(plan.size.width, 2540, 96); // HIMETRIC
    picture.yExt = MulDiv(plan.size.height, 2540, 96);
    EnhMetafile emf(SetWinMetaFileBits(UINT(plan.cleaned.size()), plan.cleaned.data(), nullptr, &picture));
    if (!emf) {
        return Reason{"WMF: metafile is broken"};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = plan.size.width;
    info.bmiHeader.biHeight = -plan.size.height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    MemoryDc dc(CreateCompatibleDC(nullptr));
    GdiObject dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !dib || bits == nullptr) {
        return Reason{"WMF: no memory for the picture"};
    }
    PlayContext context{&deadline, false};
    {
        Selection selected(dc.get(), dib.get());
        PatBlt(dc.get(), 0, 0, plan.size.width, plan.size.height, WHITENESS); // the paper
        const RECT frame{0, 0, plan.size.width, plan.size.height};
        EnumEnhMetaFile(dc.get(), emf.get(), playRecord, &context, &frame);
        GdiFlush();
    }
    if (context.timedOut) {
        return Reason{"WMF took too long to draw"};
    }
    result.picture.resize(plan.size.width, plan.size.height);
    std::memcpy(result.picture.data(), bits, result.picture.byteCount());
    for (std::size_t i = 3; i < result.picture.byteCount(); i += 4) {
        result.picture.data()[i] = 0;
    }
    return result;
}

class WinDecoders final : public loading::PictureDecoders {
public:
    loading::OpenedFile openFile(const std::string& path) override { return openRegularFile(path); }

    Result<LoadedPicture> decode(PictureFormat format, const std::uint8_t* data, std::size_t size,
                                 const LoadRequest& request) override
    {
        return decodeBytes(format, data, size, request, false);
    }

    Result<PictureSize> storedSize(PictureFormat format, const std::uint8_t* data, std::size_t size) override
    {
        const Result<LoadedPicture> header = decodeBytes(format, data, size, LoadRequest{}, true);
        if (!header.ok()) {
            return header.reason();
        }
        return header->ownSize;
    }

private:
    static Result<LoadedPicture> decodeBytes(PictureFormat format, const std::uint8_t* data, std::size_t size,
                                             const LoadRequest& request, bool sizeOnly)
    {
        switch (format) {
        case PictureFormat::Bmp: {
            loading::BmpHeader header;
            if (Result<void> checked = loading::readBmpHeader(data, size, header); !checked.ok()) {
                return checked.reason();
            }
            // The size is the header's: WIC never sees a file only to be asked its size.
            if (sizeOnly || header.compression == loading::kBmpBitFields ||
                header.compression == loading::kBmpAlphaBitFields) {
                return decodeBitFields(data, size, header, sizeOnly);
            }
            return decodeWithWic(data, size, format, request, sizeOnly);
        }
        case PictureFormat::Gif:
        case PictureFormat::Jpeg:
        case PictureFormat::Png:
        case PictureFormat::Tiff:
        case PictureFormat::Webp:
        case PictureFormat::Heif: return decodeWithWic(data, size, format, request, sizeOnly);
        case PictureFormat::Wmf: return decodeWmf(data, size, request, sizeOnly);
        case PictureFormat::Unknown: break;
        }
        return Reason{loading::kNotAPicture};
    }
};

} // namespace

std::unique_ptr<loading::PictureDecoders> createPlatformDecoders() { return std::make_unique<WinDecoders>(); }

std::unique_ptr<PictureLoader> createPlatformPictureLoader()
{
    return std::make_unique<loading::DecodingLoader>(createPlatformDecoders());
}

Result<LoadedPicture> decodePlatformPicture(std::span<const std::uint8_t> bytes, const LoadRequest& request)
{
    WinDecoders decoders;
    return loading::loadPicture(decoders, bytes.data(), bytes.size(), request);
}

} // namespace velmora
