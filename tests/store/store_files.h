// A temporary program folder with a created hqdata tree, and writers of the data file formats.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/platform.h"
#include "base/timestamp.h"
#include "store/database.h"
#include "store/records.h"
#include "store/storeenv.h"

namespace store_test {

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string("<missing>");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

template <class T>
void AppendPod(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// A program folder of its own with the data folders created and the store opened on it.
class TempRoot {
public:
    TempRoot() {
        static std::atomic<int> counter{0};
        auto base = std::filesystem::temp_directory_path();
        for (int i = 0; i < 1000; ++i) {
            auto p = base / ("velmora-store-" + std::to_string(uint64_t(CTimeStamp::GetCurrentTime().GetTime())) + "-" +
                             std::to_string(counter.fetch_add(1)));
            if (std::filesystem::create_directory(p)) {
                m_dir = p;
                break;
            }
        }
        m_folder = m_dir.string() + velmora::kPathSep;
        EXPECT_EQ(CreateDataFolders(m_folder.c_str()), 1);
        EXPECT_TRUE(m_db.Open(m_folder.c_str(), 2));
    }
    ~TempRoot() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::string& Folder() const { return m_folder; }
    // A path under the folder given with backslashes.
    std::string Path(const char* relative) const { return JoinStorePath(m_folder, relative); }
    CStDatabase& Db() { return m_db; }

private:
    std::filesystem::path m_dir;
    std::string m_folder;
    CStDatabase m_db;
};

inline KFILE_RECORD DayRecord(int32_t time, float close) {
    KFILE_RECORD r;
    r.time = time;
    r.open = close - 0.5f;
    r.high = close + 1;
    r.low = close - 1;
    r.close = close;
    r.volume = 1000 + close;
    r.amount = 10000 + close;
    r.last = 0x01020304;
    return r;
}

// n day bars from 2020-01-01 Beijing time, one per day, close = base + i.
inline std::string DayFile(int n, float base = 10) {
    std::string out;
    int32_t t0 = CTimeStamp(2020, 1, 1, 0, 0, 0).GetTime();
    for (int i = 0; i < n; ++i) AppendPod(out, DayRecord(t0 + i * 86400, base + float(i)));
    return out;
}

// The 241 trading minutes as hhmm: 09:30 to 11:30 and 13:01 to 15:00.
inline std::vector<int> TradingMinutes() {
    std::vector<int> out;
    for (int m = 9 * 60 + 30; m <= 11 * 60 + 30; ++m) out.push_back((m / 60) * 100 + m % 60);
    for (int m = 13 * 60 + 1; m <= 15 * 60; ++m) out.push_back((m / 60) * 100 + m % 60);
    return out;
}

// A whole minute file: header at the given time, minute k priced price + k / 100.
inline std::string MinuteFile(int32_t headerTime, float price) {
    std::string out;
    MINUTE_FILE_HEADER h;
    std::memset(&h, 0, sizeof h);
    h.time = headerTime;
    h.prevClose = price - 1;
    h.open = price;
    h.high = price + 3;
    h.low = price - 0.5f;
    h.price = price + 2.4f;
    h.volume = 241000;
    h.amount = 2410000;
    for (int k = 0; k < 5; ++k) {
        h.buyPrice[k] = price - 0.01f * float(k + 1);
        h.buyVolume[k] = float(100 * (k + 1));
        h.sellPrice[k] = price + 0.01f * float(k + 1);
        h.sellVolume[k] = float(200 * (k + 1));
    }
    AppendPod(out, h);
    std::vector<int> hhmm = TradingMinutes();
    for (int k = 0; k < kMinuteFileRecords; ++k) {
        MINUTE_FILE_RECORD r;
        std::memset(&r, 0, sizeof r);
        r.hhmm = WORD(hhmm[size_t(k)]);
        r.price = price + float(k) / 100;
        r.other1 = 7;
        r.volume = float(1000 * (k + 1));
        r.other2 = 99;
        r.amount = float(10000 * (k + 1));
        r.other3 = 8;
        r.high = r.price + 0.05f;
        r.low = r.price - 0.05f;
        AppendPod(out, r);
    }
    return out;
}

// n trades of ".fbs"/".fbl" records, one every three seconds from the given time: time, price,
// amount, volume and direction.
inline std::string TickFile(int32_t from, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        const int32_t t = from + 3 * i, direction = 1 + i % 2;
        const float price = 10 + float(i % 9) / 100, volume = float(100 * (1 + i % 4)), amount = price * volume;
        FENBI r;
        std::memcpy(&r.values[0], &t, 4);
        std::memcpy(&r.values[1], &price, 4);
        std::memcpy(&r.values[2], &amount, 4);
        std::memcpy(&r.values[3], &volume, 4);
        std::memcpy(&r.values[4], &direction, 4);
        AppendPod(out, r);
    }
    return out;
}

// Bytes of a random look, the same for the same seed.
inline std::string GarbageBytes(size_t n, uint32_t seed) {
    std::string out(n, '\0');
    for (char& c : out) c = char((seed = seed * 1103515245u + 12345u) >> 24);
    return out;
}

}  // namespace store_test
