// The other built-in indicator classes: parameters, defaults, validity, captions and the stored
// form. Their computations are not built yet; each says so in its own Calculate.
#pragma once

#include "analysis/techs.h"
#include "store/stockinfo.h"

class CNVI : public CParamTech {
public:
    CNVI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CPVI : public CParamTech {
public:
    CPVI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CVR : public CParamTech {
public:
    CVR();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CVROC : public CParamTech {
public:
    CVROC();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class COBV : public CParamTech {
public:
    COBV();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CMOBV : public CParamTech {
public:
    CMOBV();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast) override;
};

class CMFI : public CParamTech {
public:
    CMFI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CVMACD : public CMACD {
public:
    CVMACD();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
};

class CWVAD : public CParamTech {
public:
    CWVAD();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CEMV : public CParamTech {
public:
    CEMV();
    CStockInfo m_stockinfo;  // filled by the caller with the stock being drawn
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CVRSI : public CParamTech {
public:
    CVRSI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CNVRSI : public CParamTech {
public:
    CNVRSI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CAD : public CParamTech {
public:
    CAD();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CCI : public CParamTech {
public:
    CCI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CKDJ : public CParamTech {
public:
    CKDJ();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast) override;
};

class CR : public CParamTech {
public:
    CR();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CRSI : public CParamTech {
public:
    CRSI();
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
};

class CBIAS : public CParamTech {
public:
    CBIAS();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CMTM : public CParamTech {
public:
    CMTM();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CDMI : public CParamTech {
public:
    CDMI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
};

class CROC : public CParamTech {
public:
    CROC();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CCCI : public CParamTech {
public:
    CCCI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CCV : public CParamTech {
public:
    CCV();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CARBR : public CParamTech {
public:
    CARBR();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CCR : public CParamTech {
public:
    CCR();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast) override;
};

class COSC : public CParamTech {
public:
    COSC();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CUOS : public CParamTech {
public:
    CUOS();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CMAOSC : public CParamTech {
public:
    CMAOSC();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class C36BIAS : public CParamTech {
public:
    C36BIAS();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CDPO : public CParamTech {
public:
    CDPO();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CKST : public CParamTech {
public:
    CKST();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CREI : public CParamTech {
public:
    CREI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CDMKI : public CParamTech {
public:
    CDMKI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CPCNT : public CParamTech {
public:
    CPCNT();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CHLC : public CParamTech {
public:
    CHLC();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CCDP : public CParamTech {
public:
    CCDP();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
};

class CASI : public CParamTech {
public:
    CASI();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CATR : public CParamTech {
public:
    CATR();
    using CTechnique::Calculate;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CCYO : public CParamTech {
public:
    CCYO();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CDCYO : public CParamTech {
public:
    CDCYO();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CHSL : public CParamTech {
public:
    CHSL();
    CStockInfo m_stockinfo;  // filled by the caller with the stock being drawn
    using CTechnique::Calculate;
    bool Calculate(double* v, int index, int days, bool useLast) override;
    bool Calculate(double* v1, int index, bool useLast) override;
};

class CDPER : public CParamTech {
public:
    CDPER();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, int index, bool useLast) override;
};

class CSelfTechnique1 : public CParamTech {
public:
    CSelfTechnique1();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, double* v5, int index, bool useLast) override;
};

class CSelfTechnique2 : public CParamTech {
public:
    CSelfTechnique2();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
};

class CSelfTechnique3 : public CParamTech {
public:
    CSelfTechnique3();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
};

class CSelfTechnique4 : public CParamTech {
public:
    CSelfTechnique4();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, double* v4, int index, bool useLast) override;
};

class CSelfTechnique5 : public CParamTech {
public:
    CSelfTechnique5();
    using CTechnique::Calculate;
    bool Calculate(double* v1, double* v2, double* v3, int index, bool useLast) override;
};
