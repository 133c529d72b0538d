#include "base/win32util.h"

#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>

#include <mutex>
#include <vector>

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

HBITMAP LoadPngResource(const char* name, const char* type) {
    if (!name || !StartGdiplus()) return nullptr;
    Gdiplus::GpBitmap* image = nullptr;
    if (!IS_INTRESOURCE(name)) {
        int n = ::MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
        if (n <= 0) return nullptr;
        std::vector<WCHAR> wide(n);
        ::MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), n);
        if (gp::GdipCreateBitmapFromFile(wide.data(), &image) != Gdiplus::Ok) return nullptr;
        return ToHbitmap(image);
    }
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
