// One object of every built-in indicator, and the parameter block of the settings profile.
#pragma once

#include "analysis/techs_more.h"

class CTechSet {
public:
    enum { kMembers = 58, kReservedInts = 200 };
    CTechSet();
    CTechSet(const CTechSet&) = delete;
    CTechSet& operator=(const CTechSet&) = delete;
    ~CTechSet() = default;

    void Clear();
    void SetKData(CKData* series);
    // Loads or stores the parameter block. A damaged block (a failed archive, a count out of
    // bounds) leaves every member with its defaults and returns false.
    bool Serialize(CSPArchive& ar);
    // Members in block order, with their indicator ids.
    CParamTech* GetMember(int position) const { return m_members[position]; }
    static int GetMemberId(int position);

    // Members, in the order of the block (ids 1-7, 9-54, 8, 55-58).
    CMA m_MA;
    CBBI m_BBI;
    CBOLL m_BOLL;
    CPV m_PV;
    CSAR m_SAR;
    CDJ m_DJ;
    CCW m_CW;
    CMACD m_MACD;
    CMIKE m_MIKE;
    CPSY m_PSY;
    CVOLUME m_VOLUME;
    CNVI m_NVI;
    CPVI m_PVI;
    CVR m_VR;
    CVROC m_VROC;
    COBV m_OBV;
    CMOBV m_MOBV;
    CMFI m_MFI;
    CVMACD m_VMACD;
    CWVAD m_WVAD;
    CEMV m_EMV;
    CVRSI m_VRSI;
    CNVRSI m_NVRSI;
    CAD m_AD;
    CCI m_CI;
    CKDJ m_KDJ;
    CR m_R;
    CRSI m_RSI;
    CBIAS m_BIAS;
    CMTM m_MTM;
    CDMI m_DMI;
    CROC m_ROC;
    CCCI m_CCI;
    CCV m_CV;
    CARBR m_ARBR;
    CCR m_CR;
    COSC m_OSC;
    CUOS m_UOS;
    CMAOSC m_MAOSC;
    C36BIAS m_36BIAS;
    CDPO m_DPO;
    CKST m_KST;
    CREI m_REI;
    CDMKI m_DMKI;
    CPCNT m_PCNT;
    CHLC m_HLC;
    CCDP m_CDP;
    CASI m_ASI;
    CATR m_ATR;
    CCYO m_CYO;
    CDCYO m_DCYO;
    CHSL m_HSL;
    CDPER m_DPER;
    CSelfTechnique1 m_SelfTechnique1;
    CSelfTechnique2 m_SelfTechnique2;
    CSelfTechnique3 m_SelfTechnique3;
    CSelfTechnique4 m_SelfTechnique4;
    CSelfTechnique5 m_SelfTechnique5;

private:
    CParamTech* m_members[kMembers];
};
