// A small plug-in library with the exports of RerEdoz, for the binding tests.
#include <windows.h>

#include <cstring>

#include "analysis/techuser.h"
#include "store/kdata.h"

#define EXPORT extern "C"

EXPORT int __stdcall GetTechUserCount() { return 3; }

EXPORT int __stdcall GetTechUserInfo(uint32_t number, TECHUSER_INFO* info) {
    if (!info || info->m_nStructSize != int32_t(sizeof(TECHUSER_INFO)) || number > 2) return 0;
    if (number == 0) {
        std::strcpy(info->m_szName, "One line with its average");
        std::strcpy(info->m_szShortName, "ONE");
        info->m_nLineCount = 1;
        std::memcpy(info->m_aszLineName[0], "ABCDEFGH", 8);  // no terminator
        info->m_bAutoMA = 1;
        info->m_nMADays = 3;
        info->m_itsGoldenFork = 10;
        info->m_itsDeadFork = -10;
    } else if (number == 1) {
        std::strcpy(info->m_szName, "Four lines");
        std::memcpy(info->m_szShortName, "SIXTEENCHARSNAME", 16);  // no terminator
        info->m_nLineCount = 4;
        for (int k = 0; k < 4; ++k) info->m_aszLineName[k][0] = char('A' + k);
    } else {
        std::strcpy(info->m_szName, "Three lines");
        std::strcpy(info->m_szShortName, "THREE");
        info->m_nLineCount = 3;
    }
    return 1;
}

EXPORT int __stdcall Calculate(uint32_t number, TECHUSER_CALCULATE_INFO* calc) {
    if (!calc || calc->m_nStructSize != 68 || !calc->m_pKData) return 0;
    const CKData& k = *calc->m_pKData;
    const int i = calc->m_nIndex;
    if (i < 0 || i >= k.GetSize() || i < 1) return 0;
    const KDATA* bars = k.GetData();
    if (number == 0) {
        calc->m_dValue1 = bars[i].close * 2.0;
    } else if (number == 1) {
        calc->m_dValue1 = calc->m_bUseLast ? calc->m_dValue1 + 1 : i;
        calc->m_dValue2 = bars[i].close;
        calc->m_dValue3 = bars[i].open;
        calc->m_dValue4 = bars[i].high;
    } else {
        calc->m_dValue1 = calc->m_dValue2 = calc->m_dValue3 = i;
    }
    return 1;
}

#ifndef PLUGIN_WITHOUT_SIGNAL
EXPORT int __stdcall GetSignal(uint32_t number, TECHUSER_CALCULATE_INFO* calc) {
    if (!calc || calc->m_nStructSize != 68) return 0;
    int r = calc->m_nIndex % 3;
    calc->m_nSignal = r == 0 ? 5 : r == 1 ? -5 : 0;
    return 1;
}
#endif
