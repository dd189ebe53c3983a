// The built-in pictures, decoded once through WIC and composed on white.
#include <map>
#include <wincodec.h>

#include "ui/win32/Internal.h"

namespace ui::win32 {
namespace {

template <class T> struct ComPtr {
    T* p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

struct Decoded {
    HBITMAP bitmap = nullptr;
    SIZE size{};
};

Decoded Decode(int resource) {
    Decoded out;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (!found) return out;
    auto* bytes = static_cast<BYTE*>(LockResource(LoadResource(module, found)));
    DWORD length = SizeofResource(module, found);
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(bytes, length)) ||
        FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                                &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0, WICBitmapPaletteTypeCustom)))
        return out;
    UINT w = 0, h = 0;
    converter->GetSize(&w, &h);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), LONG(w), -LONG(h), 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return out;
    if (FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return out;
    }
    // Transparent parts show white, as behind a picture box's white background.
    auto* px = static_cast<BYTE*>(bits);
    for (UINT i = 0; i < w * h; ++i, px += 4) {
        BYTE a = px[3];
        for (int k = 0; k < 3; ++k) px[k] = BYTE(px[k] + (255 - a));
        px[3] = 255;
    }
    out.bitmap = bitmap;
    out.size = {LONG(w), LONG(h)};
    return out;
}

Decoded& Cached(int resource) {
    static std::map<int, Decoded> cache;
    auto it = cache.find(resource);
    if (it == cache.end()) it = cache.emplace(resource, Decode(resource)).first;
    return it->second;
}

} // namespace

HBITMAP Picture(int resource) { return Cached(resource).bitmap; }
SIZE PictureSize(int resource) { return Cached(resource).size; }

} // namespace ui::win32
