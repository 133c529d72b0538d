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

// GDI+ is started once, on first use, and kept for the life of the process.
bool StartGdiplus() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    });
    return started;
}

HBITMAP ToHbitmap(Gdiplus::GpBitmap* image) {
    if (!image) return nullptr;
    HBITMAP bmp = nullptr;
    if (gp::GdipCreateHBITMAPFromBitmap(image, &bmp, 0) != Gdiplus::Ok) bmp = nullptr;
    gp::GdipDisposeImage(image);
    return bmp;
}

}  // namespace

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
