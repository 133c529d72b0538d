// Parameters, defaults and captions of the classes of techs_more.h; their computations are in
// techs_volume.cpp, techs_momentum.cpp, techs_range.cpp, techs_price.cpp and techs_own.cpp.
#include "analysis/techs_more.h"

CVolumeIndex::CVolumeIndex(bool negative) : CTechLines("DLL", {25, 10, -10}, {}, {}, "(%d)"), m_negative(negative) {}
CNVI::CNVI() : CVolumeIndex(true) {}
CPVI::CPVI() : CVolumeIndex(false) {}
CVR::CVR() : CLine1("DLL", {12, 10, -10}, {}, {}, "(%d)") {}
CVROC::CVROC() : CLineMA("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
COBV::COBV() : CTechLines("LL", {10, -10}, {}, {}, "") {}
CMOBV::CMOBV() : CTechLines("llDDLL", {10, -10, 12, 26, 10, -10}, {}, {}, "(%d,%d)") {}
CMFI::CMFI() : CLine1("DLL", {10, 10, -10}, {}, {}, "(%d)") {}
CVMACD::CVMACD() : CMACD("DDDLLLL", {12, 26, 9, 15, -15, 10, -10}, "(%d,%d,%d)") {}
CWVAD::CWVAD() : CLine1("DLL", {24, 10, -10}, {}, {}, "(%d)") {}
CEMV::CEMV() : CLineMA("DDLL", {14, 9, 10, -10}, {}, {}, "(%d,%d)") {}
CVRSI::CVRSI() : CVolumeRSI("DLLLL", {10, 15, -15, 10, -10}, {}, {}, "(%d)") {}
CNVRSI::CNVRSI() : CVolumeRSI("DLLLL", {10, 15, -15, 10, -10}, {}, {}, "(%d)") {}
CAD::CAD() : CLine1("D", {8}, {}, {}, "(%d)") {}
CCI::CCI() : CLine1("", {}, {}, {}, "") {}

CKDJ::CKDJ() : CKDJBase("DDDDLL", {9, 3, 3, 1, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}
CR::CR() : CLine1("D", {20}, {}, {}, "%d") {}
CRSI::CRSI() : CTechLines("ALLL", {10, 15, -15}, {}, {10, 20}, "A") {}
CBIAS::CBIAS() : CLine1("DLL", {10, 10, -10}, {}, {}, "(%d)") {}
CMTM::CMTM() : CLineMA("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
CDMI::CDMI() : CTechLines("D", {7}, {}, {}, "(%d)") {}
CROC::CROC() : CLineMA("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
CCCI::CCCI() : CLineMA("DFDLL", {14, 10, 10, -10}, {0.015}, {}, "(%d,%d)") {}

CCV::CCV() : CLine1("DDLL", {10, 10, 10, -10}, {}, {}, "(%d,%d)") {}
CARBR::CARBR() : CTechLines("DLLLL", {26, 15, -15, 10, -10}, {}, {}, "(%d)") {}
CCR::CCR() : CTechLines("DDDDDLL", {26, 10, 20, 40, 62, 10, -10}, {}, {}, "(%d,%d,%d,%d,%d)") {}
COSC::COSC() : CLineMA("DDLL", {10, 6, 10, -10}, {}, {}, "(%d.%d)") {}
CUOS::CUOS() : CLineMA("DDDDLL", {7, 14, 28, 6, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}
CMAOSC::CMAOSC() : CLineMA("DDDLL", {6, 12, 6, 10, -10}, {}, {}, "(%d,%d,%d)") {}
C36BIAS::C36BIAS() : CLine1("LL", {10, -10}, {}, {}, "") {}
CDPO::CDPO() : CLineMA("DDLL", {10, 6, 10, -10}, {}, {}, "(%d,%d)") {}
CKST::CKST() : CLineMA("ADLL", {6, 10, -10}, {}, {9, 12, 18, 24}, "A") {}

CREI::CREI() : CLine1("DLL", {8, 10, -10}, {}, {}, "(%d)") {}
CDMKI::CDMKI() : CLine1("DLL", {13, 10, -10}, {}, {}, "(%d)") {}
CPCNT::CPCNT() : CLineMA("DLL", {6, 10, -10}, {}, {}, "(%d)") {}
CHLC::CHLC() : CLineMA("DDLL", {12, 6, 10, -10}, {}, {}, "(%d,%d)") {}
CCDP::CCDP() : CTechLines("", {}, {}, {}, "") {}
CASI::CASI() : CLine1("DLL", {6, 10, -10}, {}, {}, "(%d)") {}
CATR::CATR() : CLine1("DLL", {14, 10, -10}, {}, {}, "(%d)") {}

CCYO::CCYO() : CLineMA("ADLL", {6, 10, -10}, {}, {9, 12, 18, 24}, "A") {}
CDCYO::CDCYO() : CCYO() {}
CHSL::CHSL() : CTechLines("DDLL", {30, 6, 10, -10}, {}, {}, "(%d,%d)") {}
CDPER::CDPER() : CLineMA("DDDLL", {30, 6, 12, 10, -10}, {}, {}, "(%d,%d,%d)") {}

CSelfMACD::CSelfMACD(const char* layout, std::initializer_list<int> ints, const char* caption)
    : CMACD(layout, ints, caption) {}
CSelfTechnique1::CSelfTechnique1() : CSelfMACD("dddllll", {5, 62, 9, 15, -15, 10, -10}, "(绿色持币，黄色持股)") {}
CSelfTechnique2::CSelfTechnique2() : CSelfMACD("dddllll", {5, 42, 9, 15, -15, 10, -10}, "（黄色格线区域为持股）") {}
CSelfTechnique3::CSelfTechnique3() : CSelfMACD("dddllll", {5, 22, 9, 15, -15, 10, -10}, "(红色代表多方，绿色代表空方)") {}
CSelfTechnique4::CSelfTechnique4() : CSelfMACD("dddllll", {5, 62, 9, 15, -15, 10, -10}, "(红色代表多方，绿色代表空方)") {}
CSelfTechnique5::CSelfTechnique5() : CKDJBase("dddmll", {9, 3, 3, 1, 10, -10}, {}, {}, "(%d,%d,%d,%d)") {}
