#include "base/win32util.h"

#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>

#include <mutex>
#include <string>
#include <vector>

#include "base/fsutil.h"
#include "base/pngdecode.h"

int ClampToMonitorX(int x, int y) {
    POINT pt = {x, y};
    if (::MonitorFromPoint(pt, MONITOR_DEFAULTTONULL)) return x;
    HMONITOR mon = ::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    if (!mon || !::GetMonitorInfoA(mon, &mi)) return x;
    if (x < mi.rcWork.left) return mi.rcWork.left;
    if (x > mi.rcWork.right) return mi.rcWork.right;
    return x;
}

namespace {

namespace gp = Gdiplus::DllExports;

std::mutex g_gdiplusLock;
ULONG_PTR g_gdiplusToken = 0;
bool g_gdiplusStarted = false;

HBITMAP ToHbitmap(Gdiplus::GpBitmap* image) {
    if (!image) return nullptr;
    HBITMAP bmp = nullptr;
    if (gp::GdipCreateHBITMAPFromBitmap(image, &bmp, 0) != Gdiplus::Ok) bmp = nullptr;
    gp::GdipDisposeImage(image);
    return bmp;
}

}  // namespace

bool StartGdiplus() {
    std::lock_guard<std::mutex> hold(g_gdiplusLock);
    if (!g_gdiplusStarted) {
        Gdiplus::GdiplusStartupInput input;
        g_gdiplusStarted = Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr) == Gdiplus::Ok;
    }
    return g_gdiplusStarted;
}

void ShutdownGdiplus() {
    std::lock_guard<std::mutex> hold(g_gdiplusLock);
    if (!g_gdiplusStarted) return;
    Gdiplus::GdiplusShutdown(g_gdiplusToken);
    g_gdiplusStarted = false;
    g_gdiplusToken = 0;
}

HBITMAP LoadImageFileWithGdiplus(const char* path) {
    if (!path || !StartGdiplus()) return nullptr;
    int n = ::MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (n <= 0) return nullptr;
    std::vector<WCHAR> wide(n);
    ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), n);
    Gdiplus::GpBitmap* image = nullptr;
    if (gp::GdipCreateBitmapFromFile(wide.data(), &image) != Gdiplus::Ok) return nullptr;
    return ToHbitmap(image);
}

namespace {

// The pixels as GDI+ hands them over: a 32-bit bottom-up DIB section, premultiplied.
HBITMAP ToPremultipliedDib(const PngPixels& px) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = px.width;
    info.bmiHeader.biHeight = px.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) return bmp;
    const size_t row = size_t(px.width) * 4;
    for (int y = 0; y < px.height; ++y) {
        const uint8_t* src = px.bgra.data() + size_t(y) * row;
        uint8_t* dst = static_cast<uint8_t*>(bits) + size_t(px.height - 1 - y) * row;
        for (int x = 0; x < px.width; ++x, src += 4, dst += 4) {
            const unsigned a = src[3];
            for (int c = 0; c < 3; ++c) dst[c] = uint8_t(a == 255 ? src[c] : (src[c] * a + 127) / 255);
            dst[3] = uint8_t(a);
        }
    }
    ::GdiFlush();
    return bmp;
}

}  // namespace

HBITMAP LoadPngResource(const char* name, const char* type) {
    if (!name) return nullptr;
    if (!IS_INTRESOURCE(name)) {
        std::string bytes;
        PngPixels px;
        if (velmora::ReadWholeFile(name, bytes, 64 << 20) && DecodePng(bytes.data(), bytes.size(), &px))
            return ToPremultipliedDib(px);
        return LoadImageFileWithGdiplus(name);
    }
    if (!StartGdiplus()) return nullptr;
    Gdiplus::GpBitmap* image = nullptr;
    HINSTANCE inst = ::GetModuleHandleA(nullptr);
    if (type && type != RT_BITMAP) {
        HRSRC res = ::FindResourceA(inst, name, type);
        if (!res) return nullptr;
        DWORD size = ::SizeofResource(inst, res);
        HGLOBAL data = ::LoadResource(inst, res);
        const void* bytes = data ? ::LockResource(data) : nullptr;
        if (!bytes || size == 0) return nullptr;
        HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
        if (!copy) return nullptr;
        void* dst = ::GlobalLock(copy);
        if (!dst) {
            ::GlobalFree(copy);
            return nullptr;
        }
        memcpy(dst, bytes, size);
        ::GlobalUnlock(copy);
        IStream* stream = nullptr;
        if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
            ::GlobalFree(copy);
            return nullptr;
        }
        Gdiplus::GpStatus st = gp::GdipCreateBitmapFromStream(stream, &image);
        stream->Release();  // frees the memory too
        if (st != Gdiplus::Ok) return nullptr;
        return ToHbitmap(image);
    }
    if (gp::GdipCreateBitmapFromResource(inst, (const WCHAR*)name, &image) != Gdiplus::Ok) return nullptr;
    return ToHbitmap(image);
}
