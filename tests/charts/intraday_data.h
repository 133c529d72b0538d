// A synthetic trading day for the intraday pane and the report painter, in both builds.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/timestamp.h"
#include "charts/canvas.h"
#include "charts/realtime.h"
#include "store/stock.h"

namespace chart_test {

// The session of the tests: Monday 2024-03-04, Beijing time.
constexpr int kYear = 2024, kMonth = 3, kDay = 4;
inline int32_t At(int hour, int minute, int second = 0) {
    return CTimeStamp(kYear, kMonth, kDay, hour, minute, second).GetTime();
}

// The 241 trading minutes: 09:30 to 11:30 and 13:01 to 15:00.
inline std::vector<int32_t> MinuteTimes() {
    std::vector<int32_t> out;
    for (int m = 9 * 60 + 30; m <= 11 * 60 + 30; ++m) out.push_back(At(m / 60, m % 60));
    for (int m = 13 * 60 + 1; m <= 15 * 60; ++m) out.push_back(At(m / 60, m % 60));
    return out;
}

inline void SetIdentity(CStock& s, DWORD market, const char* code, int kind, const char* name, double prevClose) {
    s.Clear();
    s.SetStockCode(market, code);
    CStockInfo& info = s.GetStockInfo();
    info.SetType(kind);
    info.SetStockName(name);
    info.m_fLastClose = float(prevClose);
}

// Minutes at the given times with prices and per-minute volumes (cumulative in the records).
inline void SetMinutes(CStock& s, const std::vector<int32_t>& times, const std::vector<double>& prices,
                       const std::vector<double>& volumes) {
    MinuteArray& m = s.GetMinute();
    m.SetSize(int(times.size()));
    double cumVolume = 0, cumAmount = 0;
    for (size_t k = 0; k < times.size(); ++k) {
        MINUTE r;
        std::memset(&r, 0, sizeof r);
        r.period = 1;
        r.market = s.GetStockInfo().GetMarket();
        std::memcpy(r.code, s.GetStockCode(), std::min(sizeof r.code - 1, std::strlen(s.GetStockCode())));
        r.time = times[k];
        r.price = float(prices[k]);
        cumVolume += volumes[k];
        cumAmount += volumes[k] * prices[k] * 100;
        r.volume = float(cumVolume);
        r.amount = float(cumAmount);
        m[int(k)] = r;
    }
}

// The last quote of the day from the minutes: open at the first price, high and low over them.
inline void SetQuoteFromMinutes(CStock& s, int32_t time) {
    const MinuteArray& m = s.GetMinute();
    REPORT q;
    std::memset(&q, 0, sizeof q);
    q.market = s.GetStockInfo().GetMarket();
    std::memcpy(q.code, s.GetStockCode(), std::min(sizeof q.code - 1, std::strlen(s.GetStockCode())));
    std::memcpy(q.name, s.GetStockInfo().GetStockName(), std::min(sizeof q.name - 1, std::strlen(s.GetStockInfo().GetStockName())));
    q.time = time;
    q.prevClose = s.GetStockInfo().m_fLastClose;
    if (m.GetSize() > 0) {
        q.open = q.high = q.low = m[0].price;
        for (int k = 0; k < m.GetSize(); ++k) {
            q.high = std::max(q.high, m[k].price);
            q.low = std::min(q.low, m[k].price);
        }
        q.close = m[m.GetSize() - 1].price;
        q.volume = m[m.GetSize() - 1].volume;
        q.amount = m[m.GetSize() - 1].amount;
    }
    s.GetReport().SetSize(1);
    s.GetReport()[0] = q;
    UpdateStockInfoByReport(&s.GetStockInfo(), &q);
}

// A day around prevClose: rising in the morning above it, falling in the afternoon below it.
inline void MakeDay(CStock& s, double prevClose, int minutes = 241) {
    std::vector<int32_t> all = MinuteTimes(), times(all.begin(), all.begin() + minutes);
    std::vector<double> prices, volumes;
    for (int k = 0; k < minutes; ++k) {
        double offset = k < 120 ? 0.004 * k : 0.48 - 0.006 * (k - 120);
        prices.push_back(prevClose * (1 + offset / 10));
        volumes.push_back(1000 + 37 * (k % 11));
    }
    SetMinutes(s, times, prices, volumes);
    SetQuoteFromMinutes(s, times.back());
}

// Trades of the .fbs records: time, price, amount, volume, direction.
inline FENBI Tick(int32_t time, float price, float volume, int direction) {
    FENBI f;
    float amount = price * volume * 100;
    std::memcpy(&f.values[0], &time, 4);
    std::memcpy(&f.values[1], &price, 4);
    std::memcpy(&f.values[2], &amount, 4);
    std::memcpy(&f.values[3], &volume, 4);
    std::memcpy(&f.values[4], &direction, 4);
    return f;
}

inline void MakeTicks(CStock& s, int count, double price) {
    CArray20& t = s.GetFenbiS();
    t.SetSize(count);
    for (int k = 0; k < count; ++k)
        t[k] = Tick(At(9, 30) + 20 * k, float(price + 0.01 * (k % 7)), float(100 + 50 * (k % 13)), 1 + k % 2);
}

template <class T>
void Append(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// The price of minute k of the test day: rising above the previous close in the morning, falling
// below it in the afternoon.
inline double DayPrice(double prevClose, int k) {
    double offset = k < 120 ? 0.004 * k : 0.48 - 0.006 * (k - 120);
    return prevClose * (1 + offset / 10);
}

// A whole .min file of the test day (241 minutes) with its quote header at 15:00.
inline std::string MinuteFileBytes(double prevClose) {
    MINUTE_FILE_HEADER h;
    std::memset(&h, 0, sizeof h);
    h.time = At(15, 0);
    h.prevClose = float(prevClose);
    h.open = float(DayPrice(prevClose, 0));
    h.high = float(DayPrice(prevClose, 119));
    h.low = float(DayPrice(prevClose, 240));
    h.price = float(DayPrice(prevClose, 240));
    for (int k = 0; k < 5; ++k) {
        h.buyPrice[k] = float(h.price - 0.01 * (k + 1));
        h.buyVolume[k] = float(100 * (k + 1));
        h.sellPrice[k] = float(h.price + 0.01 * (k + 1));
        h.sellVolume[k] = float(150 * (k + 1));
    }
    std::string records;
    std::vector<int32_t> times = MinuteTimes();
    double volume = 0, amount = 0;
    for (int k = 0; k < 241; ++k) {
        MINUTE_FILE_RECORD r;
        std::memset(&r, 0, sizeof r);
        CTimeStamp t(times[size_t(k)]);
        r.hhmm = WORD(t.GetBeijingHour() * 100 + t.GetBeijingMinute());
        r.price = float(DayPrice(prevClose, k));
        const double v = 1000 + 37 * (k % 11);
        volume += v;
        amount += v * r.price * 100;
        r.volume = float(volume);
        r.amount = float(amount);
        r.high = r.price;
        r.low = r.price;
        Append(records, r);
    }
    h.volume = float(volume);
    h.amount = float(amount);
    std::string out;
    Append(out, h);
    return out + records;
}

// Ten day bars before the test day, one a day, each of 240000 in volume.
inline std::string DayFileBytes(double prevClose) {
    std::string out;
    for (int k = 10; k >= 1; --k) {
        KFILE_RECORD r;
        r.time = At(15, 0) - k * 86400;
        r.open = r.high = r.low = r.close = float(prevClose);
        r.high = float(prevClose * 1.01);
        r.low = float(prevClose * 0.99);
        r.volume = 240000;
        r.amount = float(240000 * prevClose * 100);
        r.last = 0;
        Append(out, r);
    }
    return out;
}

inline std::string TickFileBytes(int count, double price) {
    std::string out;
    for (int k = 0; k < count; ++k)
        Append(out, Tick(At(9, 30) + 20 * k, float(price + 0.01 * (k % 7)), float(100 + 50 * (k % 13)), 1 + k % 2));
    return out;
}

// A canvas that draws on another one the test keeps (the pane's owner hands out a new canvas at
// every redraw outside a paint).
class ForwardCanvas : public charts::Canvas {
public:
    explicit ForwardCanvas(charts::Canvas& to) : m(to) {}
    void FillRect(const charts::Rect& r, charts::Color c) override { m.FillRect(r, c); }
    void FrameRect(const charts::Rect& r, charts::Color c) override { m.FrameRect(r, c); }
    void Line(int x1, int y1, int x2, int y2, charts::Color c, int w, charts::PenStyle s) override {
        m.Line(x1, y1, x2, y2, c, w, s);
    }
    void Polyline(const std::vector<charts::Point>& p, charts::Color c, int w, charts::PenStyle s) override {
        m.Polyline(p, c, w, s);
    }
    void XorLine(int x1, int y1, int x2, int y2, charts::Color c) override { m.XorLine(x1, y1, x2, y2, c); }
    void Ellipse(const charts::Rect& r, charts::Color f, charts::Color fill, bool filled) override {
        m.Ellipse(r, f, fill, filled);
    }
    void Text(int x, int y, const std::string& t, charts::Color c, const charts::Font& f, int a) override {
        m.Text(x, y, t, c, f, a);
    }
    void TextInRect(const charts::Rect& r, const std::string& t, charts::Color c, const charts::Font& f, int a) override {
        m.TextInRect(r, t, c, f, a);
    }
    int TextWidth(const std::string& t, const charts::Font& f) override { return m.TextWidth(t, f); }
    int TextHeight(const charts::Font& f) override { return m.TextHeight(f); }
    void PushClip(const charts::Rect& r) override { m.PushClip(r); }
    void PopClip() override { m.PopClip(); }

private:
    charts::Canvas& m;
};

class CanvasOwner : public CRealTimeOwner {
public:
    explicit CanvasOwner(charts::Canvas& c) : m_c(c) {}
    std::unique_ptr<charts::Canvas> OpenCanvas() override { return std::make_unique<ForwardCanvas>(m_c); }

private:
    charts::Canvas& m_c;
};

}  // namespace chart_test
