// The skinned list under Wine: filling 5,000 rows of 20 columns, sorting them by a numeric
// column and painting one screen, each against the plainest loop doing the same work, timed in
// the same run. Prints one ratio per step (plain time / list time; 1.0 is as fast as the loop).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "skin/skinlist.h"
#include "skin/skinmanager.h"

namespace {

const int kRows = 5000, kColumns = 20, kWidth = 800, kHeight = 600;

double Now() {
    static LARGE_INTEGER freq = {};
    if (!freq.QuadPart) ::QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)freq.QuadPart;
}

// The median of `reps` timed runs of `body`; `prepare` runs untimed before each.
template <class Prepare, class Body>
double Median(int reps, Prepare prepare, Body body) {
    std::vector<double> t;
    for (int i = 0; i < reps; ++i) {
        prepare();
        double start = Now();
        body();
        t.push_back(Now() - start);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

struct Result {
    const char* step;
    const char* loop;
    double list, plain;
};

class CHost : public CWindowImpl<CHost, CWindow, CFrameWinTraits> {
public:
    DECLARE_WND_CLASS("VelmoraListBench")
    BEGIN_MSG_MAP(CHost)
    END_MSG_MAP()
};

}  // namespace

int main() {
    ::OleInitialize(nullptr);
    LoadSkin();
    // Row texts: a code, a name, integers in two columns in unrelated orders, prices.
    std::mt19937 rng(7);
    std::vector<std::vector<std::string>> texts(kRows, std::vector<std::string>(kColumns));
    const char* names[] = {"浦发银行", "平安银行", "万科A", "中国平安", "贵州茅台", "招商银行"};
    for (int r = 0; r < kRows; ++r) {
        char buf[32];
        snprintf(buf, sizeof buf, "%06d", 600000 + r);
        texts[r][0] = buf;
        texts[r][1] = names[r % 6];
        texts[r][2] = std::to_string(rng() % 1000000);
        texts[r][3] = std::to_string(rng() % 1000000);
        for (int c = 4; c < kColumns; ++c) {
            snprintf(buf, sizeof buf, "%.2f", (rng() % 100000) / 100.0);
            texts[r][c] = buf;
        }
    }

    CHost host;
    host.Create(nullptr, CRect(0, 0, kWidth + 40, kHeight + 60), "list bench", WS_OVERLAPPEDWINDOW);
    CSkinListCtrlData list;
    if (!list.Create(host, CRect(0, 0, kWidth, kHeight), nullptr, 0, 0, 1)) {
        std::printf("list bench: the list window could not be made\n");
        return 1;
    }
    for (int c = 0; c < kColumns; ++c)
        list.AddColumn(("c" + std::to_string(c)).c_str(), 70, -1, 0, c == 2 || c == 3 ? (int)kListFormatInteger : 0,
                       c >= 2 ? (uint32_t)kListAlignRight : 0u);
    auto fillList = [&] {
        for (int r = 0; r < kRows; ++r) {
            list.AddItem(texts[r][0]);
            for (int c = 1; c < kColumns; ++c) list.SetItemText(r, c, texts[r][c]);
        }
    };
    std::vector<Result> results;

    // Fill: against a vector of rows of strings.
    std::vector<std::vector<std::string>> plainRows;
    double plainFill = Median(
        9, [&] { std::vector<std::vector<std::string>>().swap(plainRows); },
        [&] {
            for (int r = 0; r < kRows; ++r) {
                plainRows.emplace_back();
                std::vector<std::string>& row = plainRows.back();
                row.reserve(kColumns);
                for (int c = 0; c < kColumns; ++c) row.push_back(texts[r][c]);
            }
        });
    double listFill = Median(9, [&] { list.DeleteAllItems(); }, fillList);
    results.push_back({"fill 5,000 rows x 20 columns", "a vector of 20-string rows filled with the same texts", listFill,
                       plainFill});

    // Sort by a numeric column: each run starts from the other numeric column's order.
    int which = 0;
    double listSort = Median(
        21, [&] { list.SortColumn(which ? 2 : 3, 1); },
        [&] { list.SortColumn(which ? 3 : 2, 1); which ^= 1; });
    std::vector<int> start(kRows);
    for (int r = 0; r < kRows; ++r) start[r] = r;
    std::sort(start.begin(), start.end(), [&](int a, int b) { return atol(texts[a][3].c_str()) < atol(texts[b][3].c_str()); });
    std::vector<std::pair<long long, int>> keys;
    double plainSort = Median(
        21, [&] { keys.clear(); },
        [&] {
            keys.reserve(kRows);
            for (int r : start) keys.emplace_back(std::strtoll(plainRows[r][2].c_str(), nullptr, 10), r);
            std::sort(keys.begin(), keys.end());
        });
    results.push_back({"sort by a numeric column", "std::sort of (parsed key, row) pairs", listSort, plainSort});

    // Paint one screen into a memory picture.
    list.SelectItem(3, 0, 0);
    HDC screen = ::GetDC(nullptr);
    CDC mem;
    mem.CreateCompatibleDC(screen);
    CBitmap picture;
    picture.CreateCompatibleBitmap(screen, kWidth, kHeight);
    ::ReleaseDC(nullptr, screen);
    HBITMAP old = mem.SelectBitmap(picture);
    CRect client = list.GetClientRect();
    double listPaint = Median(41, [] {}, [&] { list.SendMessage(WM_PRINTCLIENT, (WPARAM)mem.m_hDC, PRF_CLIENT); });
    const CSkinListModel& m = list.Model();
    int rh = m.GetRowHeight(), hh = m.GetHeaderHeight();
    double plainPaint = Median(41, [] {}, [&] {
        mem.FillSolidRect(&client, ::GetSysColor(COLOR_WINDOW));
        HGDIOBJ f = mem.SelectObject(list.GetNormalFont());
        for (int r = 0; r * rh + hh < client.bottom && r < kRows; ++r) {
            for (int c = 0, x = 0; c < kColumns && x < client.right; ++c, x += 70) {
                const std::string& s = m.ItemText(r, c);
                RECT cell = {x, hh + r * rh, x + 69, hh + (r + 1) * rh};
                ::ExtTextOutA(mem, x + 7, cell.top + 3, ETO_CLIPPED, &cell, s.c_str(), (UINT)s.size(), nullptr);
            }
        }
        mem.SelectObject(f);
    });
    mem.SelectBitmap(old);
    results.push_back({"paint one screen (800x600)", "ExtTextOutA of every visible cell over a filled background",
                       listPaint, plainPaint});

    int status = 0;
    for (const Result& r : results) {
        double ratio = r.plain / r.list;
        std::printf("%s: list %.3f ms, plain loop %.3f ms (%s)\n", r.step, r.list * 1e3, r.plain * 1e3, r.loop);
        std::printf("%s: ratio %.3f against the plain loop (goal at least 0.50)%s\n", r.step, ratio,
                    ratio >= 0.5 ? "" : "  BELOW GOAL");
        if (ratio < 0.5) status = 1;
    }
    host.DestroyWindow();
    ::OleUninitialize();
    return status;
}
