// A program folder of its own with the process-wide database opened on it, day files written for
// made-up stocks, and a host that records what the chart asks of its window.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/timestamp.h"
#include "charts/stockgraph.h"
#include "store/database.h"
#include "store/records.h"
#include "store/storeenv.h"

namespace chart_test {

struct Bar {
    float open, high, low, close, volume;
};

// A walk of n bars of every shape around 20; the same seed gives the same bars.
inline std::vector<Bar> Walk(int n, uint32_t seed = 3) {
    std::vector<Bar> out;
    uint32_t s = seed;
    auto next = [&s]() {
        s = s * 1664525u + 1013904223u;
        return double(s >> 8) / double(1u << 24);
    };
    double price = 20;
    for (int i = 0; i < n; ++i) {
        double open = price;
        price *= 1 + (next() - 0.5) * 0.06;
        double high = std::max(open, price) * (1 + next() * 0.02), low = std::min(open, price) * (1 - next() * 0.02);
        out.push_back({float(open), float(high), float(low), float(price), float(1000 + next() * 9000)});
    }
    return out;
}

class ChartWorld {
public:
    ChartWorld() {
        static std::atomic<int> counter{0};
        auto base = std::filesystem::temp_directory_path();
        for (int i = 0; i < 1000 && m_dir.empty(); ++i) {
            auto p = base / ("velmora-chart-" + std::to_string(uint64_t(CTimeStamp::GetCurrentTime().GetTime())) + "-" +
                             std::to_string(counter.fetch_add(1)));
            if (std::filesystem::create_directory(p)) m_dir = p;
        }
        m_folder = m_dir.string() + velmora::kPathSep;
        SetProgramFolder(m_folder.c_str());
        EXPECT_EQ(CreateDataFolders(m_folder.c_str()), 1);
        EXPECT_TRUE(GetDatabase().Open(m_folder.c_str(), 2));
    }
    ~ChartWorld() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    // Writes a Shanghai stock's day file, one bar a day from 2020-01-02; the code has no suffix.
    CStockInfo WriteDays(const std::string& code, const std::vector<Bar>& bars, const char* name = "测试股票",
                         bool index = false) {
        std::string bytes;
        int32_t t = m_firstDay;
        for (const Bar& b : bars) {
            KFILE_RECORD r = {t, b.open, b.high, b.low, b.close, b.volume, b.volume * b.close * 100, 0};
            bytes.append(reinterpret_cast<const char*>(&r), sizeof r);
            t += 86400;
        }
        std::string full = code + "_1";
        std::ofstream out(JoinStorePath(m_folder, ("hqdata\\sh\\day\\SH" + full + ".day").c_str()),
                          std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.close();
        CStockInfo info;
        info.SetStockCode(kMarketShangHai, full.c_str());
        info.SetStockName(name);
        if (index) info.SetType(kindShIndex);
        return info;
    }
    const std::string& Folder() const { return m_folder; }
    // The day of the first bar WriteDays writes (2 January 2020 unless set).
    void SetFirstDay(int year, int month, int day) { m_firstDay = CTimeStamp(year, month, day, 15, 0, 0).GetTime(); }

private:
    std::filesystem::path m_dir;
    std::string m_folder;
    int32_t m_firstDay = CTimeStamp(2020, 1, 2, 15, 0, 0).GetTime();
};

class RecordingHost : public IChartHost {
public:
    int invalidations = 0;
    bool captured = false;
    CursorShape cursor = kCursorArrow;
    charts::RecordingCanvas transient;
    void Invalidate() override { ++invalidations; }
    bool HasCapture() override { return captured; }
    void SetCapture() override { captured = true; }
    void ReleaseCapture() override { captured = false; }
    void SetCursorShape(CursorShape shape) override { cursor = shape; }
    void DrawTransient(const std::function<void(charts::Canvas&)>& draw) override { draw(transient); }
    // With ownInfoWindow the host shows the information box itself; every request is kept.
    bool ownInfoWindow = false;
    std::vector<std::pair<charts::Rect, bool>> infoRequests;
    bool ShowInfoWindow(const charts::Rect& box, bool shown) override {
        infoRequests.emplace_back(box, shown);
        return ownInfoWindow;
    }
};

}  // namespace chart_test
