#include "analysis/techset.h"

namespace {
const int kMemberIds[CTechSet::kMembers] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 8, 55, 56, 57, 58};
}  // namespace

CTechSet::CTechSet() {
    CParamTech* const members[kMembers] = {
        &m_MA, &m_BBI, &m_BOLL, &m_PV, &m_SAR, &m_DJ, &m_CW, &m_MACD, &m_MIKE, &m_PSY, &m_VOLUME, &m_NVI, &m_PVI, &m_VR, &m_VROC, &m_OBV, &m_MOBV, &m_MFI, &m_VMACD, &m_WVAD, &m_EMV, &m_VRSI, &m_NVRSI, &m_AD, &m_CI, &m_KDJ, &m_R, &m_RSI, &m_BIAS, &m_MTM, &m_DMI, &m_ROC, &m_CCI, &m_CV, &m_ARBR, &m_CR, &m_OSC, &m_UOS, &m_MAOSC, &m_36BIAS, &m_DPO, &m_KST, &m_REI, &m_DMKI, &m_PCNT, &m_HLC, &m_CDP, &m_ASI, &m_ATR, &m_CYO, &m_DCYO, &m_HSL, &m_DPER, &m_SelfTechnique1, &m_SelfTechnique2, &m_SelfTechnique3, &m_SelfTechnique4, &m_SelfTechnique5,
    };
    for (int i = 0; i < kMembers; ++i) m_members[i] = members[i];
}

int CTechSet::GetMemberId(int position) { return position >= 0 && position < kMembers ? kMemberIds[position] : 0; }

void CTechSet::Clear() {
    for (CParamTech* m : m_members) m->Clear();
}

void CTechSet::SetKData(CKData* series) {
    for (CParamTech* m : m_members) m->SetKData(series);
}

bool CTechSet::Serialize(CSPArchive& ar) {
    bool ok = true;
    for (CParamTech* m : m_members) {
        if (!m->Serialize(ar)) {
            ok = false;
            break;
        }
    }
    if (ar.IsStoring()) {
        for (int i = 0; i < kReservedInts; ++i) ar.WriteInt(-1);
        return !ar.IsFailed();
    }
    if (ok) {
        for (int i = 0; i < kReservedInts; ++i) ar.ReadInt();
        ok = !ar.IsFailed();
    }
    for (CParamTech* m : m_members) {
        if (!ok) m->SetDefaultParameters();
        m->Clear();
    }
    return ok;
}
