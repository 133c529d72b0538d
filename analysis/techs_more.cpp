#include "analysis/techs_more.h"

CNVI::CNVI() : CParamTech("DLL", {25, 10, -10}, {}, {}, "(%d)") {}
bool CNVI::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CPVI::CPVI() : CParamTech("DLL", {25, 10, -10}, {}, {}, "(%d)") {}
bool CPVI::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CVR::CVR() : CParamTech("DLL", {12, 10, -10}, {}, {}, "(%d)") {}
bool CVR::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CVROC::CVROC() : CParamTech("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
bool CVROC::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

COBV::COBV() : CParamTech("LL", {10, -10}, {}, {}, "") {}
bool COBV::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CMOBV::CMOBV() : CParamTech("llDDLL", {10, -10, 12, 26, 10, -10}, {}, {}, "(%d,%d)") {}
bool CMOBV::Calculate(double*, double*, double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CMFI::CMFI() : CParamTech("DLL", {10, 10, -10}, {}, {}, "(%d)") {}
bool CMFI::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CVMACD::CVMACD() : CMACD("DDDLLLL", {12, 26, 9, 15, -15, 10, -10}, "(%d,%d,%d)") {}
bool CVMACD::Calculate(double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CWVAD::CWVAD() : CParamTech("DLL", {24, 10, -10}, {}, {}, "(%d)") {}
bool CWVAD::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CEMV::CEMV() : CParamTech("DDLL", {14, 9, 10, -10}, {}, {}, "(%d,%d)") {}
bool CEMV::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CVRSI::CVRSI() : CParamTech("DLLLL", {10, 15, -15, 10, -10}, {}, {}, "(%d)") {}
bool CVRSI::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CNVRSI::CNVRSI() : CParamTech("DLLLL", {10, 15, -15, 10, -10}, {}, {}, "(%d)") {}
bool CNVRSI::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CAD::CAD() : CParamTech("D", {8}, {}, {}, "(%d)") {}
bool CAD::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CCI::CCI() : CParamTech("", {}, {}, {}, "") {}
bool CCI::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volume indicators.
    return false;
}

CKDJ::CKDJ() : CParamTech("DDDDLL", {9, 3, 3, 1, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}
bool CKDJ::Calculate(double*, double*, double*, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CR::CR() : CParamTech("D", {20}, {}, {}, "%d") {}
bool CR::Calculate(double*, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CRSI::CRSI() : CParamTech("ALLL", {10, 15, -15}, {}, {10, 20}, "A") {}
bool CRSI::Calculate(double*, int, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CBIAS::CBIAS() : CParamTech("DLL", {10, 10, -10}, {}, {}, "(%d)") {}
bool CBIAS::Calculate(double*, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CMTM::CMTM() : CParamTech("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
bool CMTM::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CDMI::CDMI() : CParamTech("D", {7}, {}, {}, "(%d)") {}
bool CDMI::Calculate(double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CROC::CROC() : CParamTech("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
bool CROC::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CCCI::CCCI() : CParamTech("DFDLL", {14, 10, 10, -10}, {0.015}, {}, "(%d,%d)") {}
bool CCCI::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the momentum oscillators.
    return false;
}

CCV::CCV() : CParamTech("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
bool CCV::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

CARBR::CARBR() : CParamTech("DLLLL", {26, 15, -15, 10, -10}, {}, {}, "(%d)") {}
bool CARBR::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

CCR::CCR() : CParamTech("DDDDDLL", {26, 10, 20, 40, 62, 10, -10}, {}, {}, "(%d,%d,%d,%d,%d)") {}
bool CCR::Calculate(double*, double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

COSC::COSC() : CParamTech("DDLL", {10, 6, 10, -10}, {}, {}, "(%d.%d)") {}
bool COSC::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

CUOS::CUOS() : CParamTech("DDDDLL", {7, 14, 28, 6, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}
bool CUOS::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

CMAOSC::CMAOSC() : CParamTech("DDDLL", {6, 12, 6, 10, -10}, {}, {}, "(%d,%d,%d)") {}
bool CMAOSC::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

C36BIAS::C36BIAS() : CParamTech("LL", {10, -10}, {}, {}, "") {}
bool C36BIAS::Calculate(double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

CDPO::CDPO() : CParamTech("DDLL", {10, 6, 10, -10}, {}, {}, "(%d,%d)") {}
bool CDPO::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

CKST::CKST() : CParamTech("ADLL", {6, 10, -10}, {}, {9, 12, 18, 24}, "A") {}
bool CKST::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the volatility and price oscillators.
    return false;
}

CREI::CREI() : CParamTech("DLL", {8, 10, -10}, {}, {}, "(%d)") {}
bool CREI::Calculate(double*, int, bool) {
    // Not computed yet: comes with the range and channel oscillators.
    return false;
}

CDMKI::CDMKI() : CParamTech("DLL", {13, 10, -10}, {}, {}, "(%d)") {}
bool CDMKI::Calculate(double*, int, bool) {
    // Not computed yet: comes with the range and channel oscillators.
    return false;
}

CPCNT::CPCNT() : CParamTech("DLL", {6, 10, -10}, {}, {}, "(%d)") {}
bool CPCNT::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the range and channel oscillators.
    return false;
}

CHLC::CHLC() : CParamTech("DDLL", {12, 6, 10, -10}, {}, {}, "(%d,%d)") {}
bool CHLC::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the range and channel oscillators.
    return false;
}

CCDP::CCDP() : CParamTech("", {}, {}, {}, "") {}
bool CCDP::Calculate(double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the range and channel oscillators.
    return false;
}

CASI::CASI() : CParamTech("DLL", {6, 10, -10}, {}, {}, "(%d)") {}
bool CASI::Calculate(double*, int, bool) {
    // Not computed yet: comes with the range and channel oscillators.
    return false;
}

CATR::CATR() : CParamTech("DLL", {14, 10, -10}, {}, {}, "(%d)") {}
bool CATR::Calculate(double*, int, bool) {
    // Not computed yet: comes with the range and channel oscillators.
    return false;
}

CCYO::CCYO() : CParamTech("ADLL", {6, 10, -10}, {}, {9, 12, 18, 24}, "A") {}
bool CCYO::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CDCYO::CDCYO() : CParamTech("ADLL", {6, 10, -10}, {}, {9, 12, 18, 24}, "A") {}
bool CDCYO::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CHSL::CHSL() : CParamTech("DDLL", {30, 6, 10, -10}, {}, {}, "(%d,%d)") {}
bool CHSL::Calculate(double*, int, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}
bool CHSL::Calculate(double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CDPER::CDPER() : CParamTech("DDDLL", {30, 6, 12, 10, -10}, {}, {}, "(%d,%d,%d)") {}
bool CDPER::Calculate(double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CSelfTechnique1::CSelfTechnique1() : CParamTech("dddllll", {5, 62, 9, 15, -15, 10, -10}, {}, {}, "(绿色持币，黄色持股)") {}
bool CSelfTechnique1::Calculate(double*, double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CSelfTechnique2::CSelfTechnique2() : CParamTech("dddllll", {5, 42, 9, 15, -15, 10, -10}, {}, {}, "（黄色格线区域为持股）") {}
bool CSelfTechnique2::Calculate(double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CSelfTechnique3::CSelfTechnique3() : CParamTech("dddllll", {5, 22, 9, 15, -15, 10, -10}, {}, {}, "(红色代表多方，绿色代表空方)") {}
bool CSelfTechnique3::Calculate(double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CSelfTechnique4::CSelfTechnique4() : CParamTech("dddllll", {5, 62, 9, 15, -15, 10, -10}, {}, {}, "(红色代表多方，绿色代表空方)") {}
bool CSelfTechnique4::Calculate(double*, double*, double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}

CSelfTechnique5::CSelfTechnique5() : CParamTech("dddmll", {9, 3, 3, 1, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}
bool CSelfTechnique5::Calculate(double*, double*, double*, int, bool) {
    // Not computed yet: comes with the own signal and cycle indicators.
    return false;
}
