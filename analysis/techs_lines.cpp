#include "analysis/techs_lines.h"

#include <algorithm>
#include <cmath>

namespace {

bool Decayed(const double* power, int n) {
    for (int k = 0; k < n; ++k)
        if (!(power[k] < 0.001)) return false;
    return true;
}

}  // namespace

int DecayBars(std::initializer_list<double> factors) {
    double power[4] = {1, 1, 1, 1};
    const int n = int(std::min<size_t>(factors.size(), 4));
    int k = 0;
    do {
        for (int m = 0; m < n; ++m) power[m] *= factors.begin()[m];
        ++k;
    } while (!Decayed(power, n) && k < 100000);
    return k;
}

int DecayStartBy4(int index, std::initializer_list<double> factors) {
    double power[4] = {1, 1, 1, 1}, f4[4] = {1, 1, 1, 1};
    const int n = int(std::min<size_t>(factors.size(), 4));
    for (int m = 0; m < n; ++m) {
        const double f = factors.begin()[m];
        f4[m] = f * f * f * f;
    }
    int d = 0;
    while (d < index && !Decayed(power, n)) {
        const bool four = index - d > 3;
        for (int m = 0; m < n; ++m) power[m] *= four ? f4[m] : factors.begin()[m];
        d += four ? 4 : 1;
    }
    return index - std::min(d, index);
}

void CTechLines::Clear() {
    CParamTech::Clear();
    ++m_epoch;
}

int CTechLines::DivergenceSignal(int index, int against, int buy, int sell, int* reason) {
    if (IsBottomDivergence(index, 1, against)) {
        if (reason) *reason = reasonBottomDivergence;
        return buy;
    }
    if (IsTopDivergence(index, 1, against)) {
        if (reason) *reason = reasonTopDivergence;
        return sell;
    }
    return 0;
}

void WidenMACD(double* lo, double* hi) {
    *lo -= std::fabs(*lo) * 0.02;
    if (std::fabs(*lo) < 0.0001) *lo = -0.01;
    *hi += std::fabs(*hi) * 0.02;
    if (std::fabs(*hi) < 0.0001) *hi = 0.01;
    if (*hi - *lo < 0.03) *hi = *lo + 0.05;
}

// ---- one line ----

bool CLine1::Calculate(double* v1, int index, bool) {
    double* out[1] = {v1};
    return CalcBar(index, 1, out, [this](int i, double* v) { return Line(i, v); });
}

bool CLine1::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    return RangePass(1, start, end, min, max, minBar, maxBar, [this](int i, double* v) { return Line(i, v); });
}

// ---- a line and its average ----

void CLineMA::Clear() {
    CLine1::Clear();
    m_maAt = -1;
}

bool CLineMA::LineAt(int t, double* v) {
    if (GetCached(1, t, v)) return true;
    if (!Line(t, v) || !std::isfinite(*v)) return false;
    StoreComputed(t, v, 1);
    return true;
}

// Any bar: line 1 from the cache when it is there, the window collected afresh unless it stands at
// the bar already.
bool CLineMA::BothAfresh(int i, double* v, int m) {
    if (m < 1 || i + 1 < m) return false;
    const bool held = m_maEpoch == m_epoch && m_ring.m == m && m_maAt >= 0;
    if (!LineAt(i, &v[0])) return false;
    if (!(held && m_maAt == i)) {
        // Walking back over the bars that have a value.
        std::vector<double> newest;
        newest.reserve(size_t(m));
        newest.push_back(v[0]);
        for (int t = i - 1; t >= 0 && int(newest.size()) < m; --t) {
            double x;
            if (LineAt(t, &x)) newest.push_back(x);
        }
        m_ring.Reset(m);
        for (size_t k = newest.size(); k-- > 0;) m_ring.Push(newest[k]);
    }
    m_maEpoch = m_epoch;
    m_maAt = i;
    return Average(v, m);
}

bool CLineMA::Calculate(double* v1, int index, bool useLast) { return CLine1::Calculate(v1, index, useLast); }

bool CLineMA::Both(int i, double* v) {
    return BothWith(i, v, MaDays(), [this](int t, double* x) { return Line(t, x) && std::isfinite(*x); });
}

bool CLineMA::Calculate(double* v1, double* v2, int index, bool) {
    double* out[2] = {v1, v2};
    return CalcBar(index, 2, out, [this](int i, double* v) { return Both(i, v); });
}

bool CLineMA::GetMinMaxInfo(int start, int end, double* min, double* max, int* minBar, int* maxBar) {
    return LineMAPass(start, end, min, max, minBar, maxBar, [this](int t, double* x) { return Line(t, x); });
}

int CLineMA::ZoneCrossSignal(int index, int minBars, int window, double f1, double f2, int buy, int sell,
                             int* reason) {
    if (reason) *reason = reasonNone;
    double low, high, now;
    if (!GetRangeLevels(index, reason, minBars, window, &low, &high, f1, f2) ||
        !Calculate(&now, nullptr, index, false))
        return 0;
    int r = reasonNone;
    GetCrossSignal(index, buy, sell, &r);
    if (r == reasonGoldenCross && now < low) {
        if (reason) *reason = reasonGoldenCross;
        return buy;
    }
    if (r == reasonDeadCross && now > high) {
        if (reason) *reason = reasonDeadCross;
        return sell;
    }
    return 0;
}
