// The client's memory under Wine with the whole market loaded: the fixture service at full scale,
// the login and the client's own start-up loading (code list, composite index, stock, sector and
// group lists), the sector download, then both charts (an intraday view and a K-line view, each
// painted once) open for each of 50 shares. The figure is the raw size of the data held (every
// file of hqdata the program loaded: code list, sector files, the day and minute files) over the
// process's private bytes (committed private memory, summed over VirtualQuery), goal at least 0.25.
// Only the client is charged: the bitmap the benchmark has the views print into is its own, so the
// private bytes its creation commits are measured on the spot and taken off the total.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "app/appstate.h"
#include "app/loginflow.h"
#include "app/login.h"
#include "app/startup.h"
#include "app/urltable.h"
#include "bench_folder.h"
#include "charts/graphview.h"
#include "charts/realtimeview.h"
#include "net/download.h"
#include "net/services.h"
#include "store/database.h"
#include "store/groups.h"
#include "store/storeenv.h"
#include "tests/app/quiet_login_view.h"
#include "tests/net/test_servers.h"
#include "winfw/winfw.h"

namespace {

const int kStocks = 50;
const double kGoal = 0.25;

// Committed private memory of the process: what Windows counts as its private bytes.
double PrivateBytes() {
    double total = 0;
    MEMORY_BASIC_INFORMATION mbi;
    for (const char* p = nullptr; ::VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi;) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += double(mbi.RegionSize);
        const char* next = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return total;
}

// The stacks reserved by the process's threads (their TEBs give the range). Under Wine a stack is
// committed whole, so these count fully in the private bytes; Windows commits only what is used.
double ThreadStackBytes() {
    struct BasicInfo {
        LONG exitStatus;
        void* teb;
        void* clientId[2];
        ULONG_PTR affinity;
        LONG priority, basePriority;
    };
    typedef LONG(WINAPI * QueryThread)(HANDLE, int, void*, ULONG, ULONG*);
    QueryThread query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (!query || snap == INVALID_HANDLE_VALUE) return 0;
    double total = 0;
    THREADENTRY32 te;
    std::memset(&te, 0, sizeof te);
    te.dwSize = sizeof te;
    for (BOOL more = ::Thread32First(snap, &te); more; more = ::Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != ::GetCurrentProcessId()) continue;
        HANDLE h = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
        BasicInfo info = {};
        if (h && query(h, 0, &info, sizeof info, nullptr) == 0 && info.teb) {
            const char* teb = static_cast<const char*>(info.teb);
            const char* base = *reinterpret_cast<char* const*>(teb + 4);        // NT_TIB StackBase
            const char* bottom = *reinterpret_cast<char* const*>(teb + 0xE0C);  // DeallocationStack
            if (base > bottom && bottom) total += double(base - bottom);
        }
        if (h) ::CloseHandle(h);
    }
    ::CloseHandle(snap);
    return total;
}

// What one more idle thread with a download worker's stack costs in private bytes (under Wine its
// stack is committed whole, 1 MB at the least, and Wine keeps a stack of its own for each thread).
DWORD WINAPI Idle(void* stop) {
    ::WaitForSingleObject(stop, INFINITE);
    return 0;
}
double BytesPerThread() {
    HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const double before = PrivateBytes();
    HANDLE threads[4];
    for (HANDLE& t : threads) t = ::CreateThread(nullptr, CDownloadObject::kWorkerStackSize, Idle, stop, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ::Sleep(100);
    const double after = PrivateBytes();
    ::SetEvent(stop);
    for (HANDLE t : threads) {
        ::WaitForSingleObject(t, INFINITE);
        ::CloseHandle(t);
    }
    ::CloseHandle(stop);
    return (after - before) / 4;
}

int ThreadCount() {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 te;
    std::memset(&te, 0, sizeof te);
    te.dwSize = sizeof te;
    int n = 0;
    for (BOOL more = ::Thread32First(snap, &te); more; more = ::Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
    ::CloseHandle(snap);
    return n;
}

// Bytes of every file under the folder.
double FolderBytes(const std::string& folder) {
    double total = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) total += FolderBytes(folder + "\\" + name);
        else total += double(fd.nFileSizeLow) + double(fd.nFileSizeHigh) * 4294967296.0;
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return total;
}

bool Fetch(const std::string& remote, const std::string& local) {
    DownloadManager* manager = GetDownloadManager();
    const std::string url = GetServerRootUrl() + remote;
    const std::string path = JoinStorePath(GetProgramFolder(), local.c_str());
    return manager && manager->DownloadNow(url.c_str(), "", path.c_str(), nullptr, nullptr, false, true, true);
}

// The day and minute files of a share, as the chart's downloads store them.
bool FetchShare(const CStockInfo& info) {
    const std::string code = info.GetStockCode();  // with its market suffix
    const bool sz = info.IsShenZhen();
    const std::string plain = code.substr(0, code.size() - 2);
    return Fetch("hqdatagzip/sday/" + std::string(sz ? "SZ" : "SH") + plain + ".ldy",
                 std::string(sz ? "hqdata\\sz\\day\\SZ" : "hqdata\\sh\\day\\SH") + code + ".day") &&
           Fetch("hqdatagzip/min/" + std::string(sz ? "sz/" : "sh/") + plain + ".min",
                 std::string(sz ? "hqdata\\sz\\min\\" : "hqdata\\sh\\min\\") + code + ".min");
}

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

class Host : public CWindowImpl<Host> {
public:
    DECLARE_WND_CLASS("VelmoraMemoryBenchHost")
    BEGIN_MSG_MAP(Host)
    END_MSG_MAP()
};

int Fail(const std::string& why) {
    std::fprintf(stderr, "memory_bench: %s\n", why.c_str());
    return 2;
}

}  // namespace

int main() {
    GetAppModule().Init(::GetModuleHandleA(nullptr));
    velmora_bench::MarketBench market("memory");
    std::string why;
    if (!market.Start("2026-12-10 16:00", &why)) return Fail(why);
    const std::string& folder = market.Folder().Path();
    const double before = PrivateBytes();

    // The login and the client's start-up loading, then the sector download of the side panel.
    if (!velmora_test::LogInToService()) return Fail("no login");
    velmora_test::QuietLoginView view;
    const double loggedIn = PrivateBytes();
    if (!LoadStartupData(view)) return Fail("the start-up loading failed");
    const double started = PrivateBytes();
    if (CGroupDownloader* groups = GetGroupDownloader()) groups->DownloadGroups(true, nullptr);
    const double grouped = PrivateBytes();
    CStockContainer& all = GetStockContainer();
    std::vector<int> shares;
    for (int i = 0; i < all.GetSize(); ++i)
        if (all[i].GetType() == kindShA || all[i].GetType() == kindSzA) shares.push_back(i);
    std::vector<std::string> codes;
    // Spread evenly over the list's A shares.
    for (int j = 0; j < kStocks && !shares.empty(); ++j) {
        const CStockInfo& info = all[shares[size_t(j) * shares.size() / kStocks]];
        if (!FetchShare(info)) return Fail(std::string("no files for ") + info.GetStockCode());
        codes.push_back(info.GetStockCode());
    }
    if (int(codes.size()) < kStocks) return Fail("too few shares");

    // Both charts as the client's content panel holds them, one of each, opened on each share in
    // turn and painted.
    Host host;
    RECT hr = {0, 0, 1100, 700};
    if (!host.Create(nullptr, hr, "memory", WS_OVERLAPPEDWINDOW)) return Fail("no host window");
    CRealTimeView intraday;
    CGraphView kline(kViewGraph, nullptr);
    RECT vr = {0, 0, 1024, 600};
    if (!intraday.CreateView(host, vr) || !kline.CreateView(host, vr)) return Fail("no view");
    const double viewed = PrivateBytes();
    // The benchmark's paint target, weighed as it is made.
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 1024, -600, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    const double target = PrivateBytes() - viewed;
    double first = 0;
    for (const std::string& code : codes) {
        GetProfile().SetCurrentStock(code.c_str(), false);
        intraday.ReloadStock(1, 0);
        kline.ReloadStock(1, 0);
        ::SendMessageA(intraday, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
        ::SendMessageA(kline, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
        Pump();
        if (first == 0) first = PrivateBytes() - target;
    }
    const double whole = PrivateBytes();
    const double priv = whole - target;
    const double raw = FolderBytes(folder + "\\hqdata");
    const double ratio = raw / priv;
    std::printf("memory: the whole market (%d codes) loaded by the client's start-up and sector download, then its "
                "intraday and K-line views opened on %d shares in turn; raw = bytes of the hqdata files loaded, "
                "private = committed private memory, less the benchmark's own paint target\n",
                all.GetSize(), kStocks);
    std::printf("memory: the benchmark's paint target (1024 x 600, 32 bits) committed %.1f MB, not charged (%.1f MB with "
                "it)\n",
                target / 1048576.0, whole / 1048576.0);
    const SIZE shared = CSharedBackBuffer::GetSize();
    std::printf("memory: the views paint through one shared back buffer of %d x %d\n", int(shared.cx), int(shared.cy));
    std::printf("memory: raw %.1f MB, private bytes %.1f MB (%.1f MB before loading, %.1f MB after the first share; "
                "thread stacks, committed whole under Wine, %.1f MB)\n",
                raw / 1048576.0, priv / 1048576.0, before / 1048576.0, first / 1048576.0, ThreadStackBytes() / 1048576.0);
    std::printf("memory: where it grows: %.1f MB by the login, %.1f MB by the start-up loading, %.1f MB by the sector "
                "download, %.1f MB by the two views' creation, %.1f MB by the first share\n",
                (loggedIn - before) / 1048576.0, (started - loggedIn) / 1048576.0, (grouped - started) / 1048576.0,
                (viewed - grouped) / 1048576.0, (first - viewed) / 1048576.0);
    const int threads = ThreadCount();
    const double perThread = BytesPerThread();
    const double beyond = priv - (threads - 1) * perThread;
    DownloadManager* manager = FindDownloadManager();
    std::printf("memory: %d threads; the download manager started %d of its %d workers (one starts only when a task "
                "waits and every started one is busy); each thread costs %.2f MB here; private bytes less the threads "
                "besides the main one: %.1f MB, ratio %.3f\n",
                threads, manager ? manager->GetWorkerCount() : 0, manager ? manager->GetWorkerLimit() : 0,
                perThread / 1048576.0, beyond / 1048576.0, raw / beyond);
    std::printf("memory: ratio %.3f = raw data size / private bytes (1 = no overhead, goal at least %.2f)%s\n", ratio,
                kGoal, ratio >= kGoal ? "" : "  BELOW GOAL");
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    intraday.DestroyWindow();
    kline.DestroyWindow();
    host.DestroyWindow();
    Pump();
    FreeGroupDownloader();
    FreeDownloadManager();
    SetProgramFolder("");
    return ratio >= kGoal ? 0 : 1;
}
