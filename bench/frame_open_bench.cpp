// From the login's end to the first painted main frame, at the whole market's size, under Wine:
// the client's start-up loading (the code list fetched and stored, the composite index's files
// checked, about 5,000 stocks, the sector and group lists and every sector's member file read), the
// frame built, created where the program creates it, shown and painted with every child (the bars
// and the content panel's intraday chart of the composite index) by the first paint messages, as
// the message loop would deliver them; against a plain loop that reads the same files with fread,
// in the same run. The fixture service at full scale fills hqdata before the clock
// starts; while timed, the code list comes from a loopback server in this process that holds the
// reply in memory, so the service is never what is measured, and the frame's own requests (on its
// threads, never waited for) get quick refusals.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/stprofile.h"
#include "app/appstate.h"
#include "app/loginflow.h"
#include "app/mainframe.h"
#include "app/startup.h"
#include "app/urltable.h"
#include "base/timestamp.h"
#include "bench_folder.h"
#include "kline_plain.h"
#include "loopback_server.h"
#include "net/download.h"
#include "net/services.h"
#include "skin/skinmanager.h"
#include "store/codestate.h"
#include "store/database.h"
#include "store/groups.h"
#include "store/storeenv.h"
#include "tests/app/quiet_login_view.h"
#include "tests/net/test_servers.h"

using namespace plain_kline;

namespace {

const char kCodeListPath[] = "/hqdatagzip/codelist/codelist.ldt";

void Pump() {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) continue;
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

// Every file under the folder, temporaries of interrupted saves left out.
void ListFiles(const std::string& folder, std::vector<std::string>& out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListFiles(folder + "\\" + name, out);
        else if (name.size() < 4 || name.compare(name.size() - 4, 4, ".tmp") != 0) out.push_back(folder + "\\" + name);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
}

// The reply's body, when the head says 200 and gives its length.
bool BodyOf(const std::string& reply, std::string* body) {
    const size_t end = reply.find("\r\n\r\n");
    if (reply.compare(0, 12, "HTTP/1.1 200") != 0 && reply.compare(0, 12, "HTTP/1.0 200") != 0) return false;
    if (end == std::string::npos || reply.find("Content-Length:") > end) return false;
    *body = reply.substr(end + 4);
    return !body->empty();
}

int Fail(const char* why) {
    std::fprintf(stderr, "frame_open_bench: %s\n", why);
    return 2;
}

}  // namespace

int main() {
    GetAppModule().Init(::GetModuleHandleA(nullptr));
    velmora_bench::MarketBench market("frame-bench");
    std::string why;
    if (!market.Start("2026-12-10 14:00", &why)) return Fail(why.c_str());
    velmora_test::FixtureProcess& fixture = market.Fixture();
    const std::string folder = market.Folder().ProgramFolder();
    velmora_test::QuietLoginView view;
    if (!velmora_test::LogInToService()) return Fail("no login");
    // A user of some days' standing: the start-up files and every sector's members are stored.
    if (!LoadStartupData(view)) return Fail("no start-up data");
    if (CGroupDownloader* groups = GetGroupDownloader()) groups->DownloadGroups(true, nullptr);

    std::string codeList;
    if (!BodyOf(velmora_test::RawExchange(fixture.Port(), std::string("GET ") + kCodeListPath +
                                                               " HTTP/1.0\r\nAccept-Encoding: gzip\r\n\r\n"),
                &codeList))
        return Fail("no code list reply");
    velmora_bench::LoopbackServer loopback;
    loopback.Add(kCodeListPath, codeList);
    if (!loopback.Start(2)) return Fail("no loopback server");
    const std::string host = "127.0.0.1:" + std::to_string(loopback.Port());
    SetDataServerHost(host);
    SetUrl(kUrlSiteRoot, loopback.Url("/"));

    // The files the start-up reads, as the plain loop reads them: the sectors' member files are
    // found by walking their folders, as the start-up finds them.
    const std::vector<std::string> named = {JoinStorePath(folder, "hqdata\\codelist.dat"), IndexDayFile().local,
                                            IndexMinuteFile().local, GetProfile().GetDomainFile(),
                                            GetProfile().GetGroupFile()};
    std::vector<std::string> files;
    double bytes = 0;
    std::vector<char> buffer(1 << 20);
    auto plain = [&] {
        bytes = 0;
        files = named;
        ListFiles(CGroupDownloader::GetGroupRoot(), files);
        for (const std::string& path : files) {
            FILE* f = std::fopen(path.c_str(), "rb");
            if (!f) continue;
            size_t n;
            while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) bytes += double(n);
            std::fclose(f);
        }
    };

    CMessageLoop loop;
    GetAppModule().AddMessageLoop(&loop);
    bool ok = true;
    double tLoad = 1e300;
    auto timedOurs = [&] {
        const double t0 = Now();
        if (!LoadStartupData(view)) ok = false;
        tLoad = std::min(tLoad, Now() - t0);
        LoadSkin();
        CMainFrame frame;
        if (!frame.Create(nullptr, CMainFrame::OpenRect(), nullptr)) {
            ok = false;
            return 1e300;
        }
        frame.ShowWindow(SW_SHOW);
        // Whatever showing left to paint, painted now: every window of a newly shown frame.
        ::RedrawWindow(frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        const double t = Now() - t0;
        frame.DestroyWindow();
        Pump();
        return t;
    };
    timedOurs();  // once untimed: the frame's first requests are answered and recorded
    ::Sleep(1000);
    Pump();
    double tOurs = 1e300, tPlain = 1e300;
    for (int round = 0; round < 3; ++round) {
        tOurs = std::min(tOurs, timedOurs());
        tPlain = std::min(tPlain, Best(3, plain));
    }
    if (!ok) return Fail("the start-up loading or the frame failed");
    std::printf("frame open: %d codes, %d files (%.1f MB) read by the start-up, %d of them sector member files\n",
                GetStockContainer().GetSize(), int(files.size()), bytes / 1048576.0, int(files.size()) - 5);
    std::printf("frame open: of our time, the start-up loading %.3f ms and the frame the rest (the best of their rounds)\n",
                tLoad * 1000);
    // From the login's end to the first painted frame, at the whole market's size.
    const double goal = 0.30, ratio = tPlain / tOurs;
    std::printf("frame open: the plain loop opens every file the start-up reads (code list, the composite index's day "
                "and minute files, sector and group lists, and every sector's member file, found by walking their "
                "folders) and freads it whole into one buffer, once\n");
    std::printf("frame open: ours %.3f ms, plain read %.3f ms\n", tOurs * 1000, tPlain * 1000);
    std::printf("frame open: ratio %.3f = plain read of the same files / our time (goal at least %.2f)%s\n", ratio, goal,
                ratio >= goal ? "" : "  BELOW GOAL");
    const int status = ratio >= goal ? 0 : 1;
    GetAppModule().RemoveMessageLoop();
    loopback.Stop();
    FreeGroupDownloader();
    FreeDownloadManager();
    SaveAndFreeCodeStateMap();
    SetProgramFolder("");
    return status;
}
