#include "analysis/catalog.h"

#include <cmath>

#include "analysis/techuser.h"

namespace {

// Constant tables: nothing is filled lazily, so any thread may read them.
const char* const kTechNames[] = {
    "STTNames",
    "移动平均线", "多空指标", "布林带", "zu均价线", "停损点转向指标", "叠加图",
    "筹码分布图", "vovu", "指数平滑异同移动平均线", "麦克指标", "心理线", "成交量",
    "负成交量指标", "正成交量指标", "容量比率", "成交量变动率指标", "能量线", "主力进出",
    "资金流动指数", "量指数平滑异同移动平均线", "威廉变异离散量", "简易波动指标", "量相对强弱指标", "新量相对强弱指标",
    "聚/散指标", "累积指数", "随机指标", "威廉指标", "相对强弱指标", "乖离率",
    "动量指标", "动向指标", "变动率指标", "顺势通道指标", "佳庆指标", "人气意愿指标",
    "中间意愿指标", "摆动量", "极摆动指标", "移动平均摆动量", "3减6日乖离", "去势价格摆动指数",
    "确然指标", "范围膨胀指数", "迪马克尔指标", "幅度比", "幅度分析", "逆势操作指标",
    "累积摆动指标", "均幅指标", "周期摆动量", "去噪周期摆动量", "相对换手率", "去势百分比指标",
    "金牌波段", "多空能量", "极品逃顶", "海底捞月",
};

const char* const kTechShortNames[] = {
    "STTShortNames",
    "MA", "BBI", "BOLL", "PV", "SAR", "DJ",
    "CW", "FXKP", "MACD", "MIKE", "PSY", "VOLUME",
    "NVI", "PVI", "VR", "VROC", "OBV", "MOBV",
    "MFI", "VMACD", "WVAD", "EMV", "VRSI", "NVRSI",
    "AD", "CI", "KDJ", "R", "RSI", "BIAS",
    "MTM", "DMI", "ROC", "CCI", "CV", "ARBR",
    "CR", "OSC", "UOS", "MAOSC", "36BIAS", "DPO",
    "KST", "REI", "DMKI", "PCNT", "HLC", "CDP",
    "ASI", "ATR", "CYO", "DCYO", "HSL", "DPER",
    "JPBD", "DKNL", "JPTD", "HDLY",
};

const char* const kStockListTitles[] = {
    "SLHTitles",
    "代码", "名称", "日期", "昨收", "开盘价", "现价",
    "最高价", "最低价", "均价", "涨跌", "涨幅%", "震幅%",
    "成交量(手)", "成交额(千元)", "外盘", "内盘", "五分钟涨幅%", "委比%",
    "委量差", "买价三", "买价二", "买价一", "卖价一", "卖价二",
    "卖价三", "买量三", "买量二", "买量一", "卖量一", "卖量二",
    "卖量三", "报表类型", "市盈率", "市净率", "市销率", "价格净现金比",
    "流通率%", "换手率%", "量比", "相对强度", "总市值-万", "A股市值-万",
    "B股市值-万", "流动比率", "速动比率", "应收账款周率", "存货周转率", "主营收入-万",
    "每股净现金", "主营利润率%", "净资产收益率%", "上市日期", "总股本-万", "A股-万",
    "B股-万", "H股-万", "国有股-万", "法人股-万", "每股未分利润", "总资产-万",
    "股东权益比%", "长期负债率%", "资产负债率%", "每股净资产", "调整每股净资产", "每股收益",
    "扣除每股收益", "净利润-万", "主营业务利润-万", "利润总额-万", "主营利润增长率%", "收入增长率%",
    "总资产增长率%", "年平均收益率%", "收益标准差%", "β值", "夏普风险指数", "行业",
    "省份",
};

const char* const kKTypeNames[] = {"未知", "五分钟线", "十五分钟线", "三十分钟线", "六十分钟线", "日线", "周线", "月线"};

}  // namespace

std::string GetKTypeName(int ktype) { return kKTypeNames[ktype >= 1 && ktype <= 7 ? ktype : 0]; }

std::string GetTechnicalName(int id) {
    if (id >= 1 && id <= 58) return kTechNames[id];
    if (id >= kTechUserIdBase) return TechUserGetName(id);
    return std::string();
}

std::string GetTechnicalShortName(int id) {
    if (id >= 1 && id <= 58) return kTechShortNames[id];
    if (id >= kTechUserIdBase) return TechUserGetShortName(id);
    return std::string();
}

std::string GetStockListTitle(int column) { return column >= 1 && column <= 79 ? kStockListTitles[column] : ""; }

// ---- CKShape ----

CKShape::CKShape()
    : m_fOpen(0), m_fHigh(0), m_fLow(0), m_fClose(0), m_fReference(0), m_fUpShadow(0), m_fDownShadow(0), m_fMid(0) {}

void CKShape::Set(float open, float high, float low, float close, float reference) {
    m_fOpen = open;
    m_fHigh = high;
    m_fLow = low;
    m_fClose = close;
    m_fReference = reference;
    m_fMid = (open + close) * 0.5f;
}

int CKShape::GetDirection() const {
    float d = m_fClose - m_fOpen;
    return d > 0 ? 1 : d < 0 ? 2 : 3;
}

int CKShape::GetBodyClass() const {
    float r = std::fabs(m_fClose - m_fOpen) / m_fClose * 100.0f;
    if (r == 0 || std::isnan(r)) return 0;
    if (r < 1.6f) return 1;
    if (r < 3.6f) return 2;
    return 3;
}

int CKShape::GetShadowClass() const {
    float up, down;
    if (GetDirection() == 2) {
        up = m_fHigh - m_fOpen;
        down = m_fClose - m_fLow;
    } else {
        up = m_fHigh - m_fClose;
        down = m_fOpen - m_fLow;
    }
    if (up == 0 && down == 0) return 0;
    if (up == 0) return 1;
    if (down == 0) return 2;
    if (up == down) return 3;
    return up < down ? 4 : 5;
}

void CKShape::AppendShadowSentence(std::string& text) const {
    switch (GetShadowClass()) {
    case 0:
        if (GetDirection() == 1) {
            text += "多空双方激烈博弈，但市场行情始终在多方控制之下，最后多方逐渐占有优势。";
            text += "空方反戈补仓，表明行情为强烈涨势，行情出现高潮，建议持股待涨。";
        } else if (GetDirection() == 2) {
            text = "市场不限价的杀低抛出，投资者已经产生恐慌情绪，行情保持单边下跌。";
            text += "空方占有绝对优势，行情持续下跌已经不可避免。";
            text += "体现市场强烈跌势，后市持续下跌可能性很大，建议及时止损。";
        } else {
            text += "局势一边倒。";
        }
        break;
    case 1: text += "下面有支撑。"; break;
    case 2: text += "向上有阻力。"; break;
    case 3: text += "向上压力和下面支撑力量相等。"; break;
    case 4: text += "下档支撑强于上档压力。"; break;
    case 5: text += "上档压力大于下档支撑。"; break;
    }
}

bool CKShape::GetComment(std::string& text) const {
    // A close at or below 0 (possible in adjusted series) gives no meaningful body size.
    if (!(m_fClose > 0)) return false;
    const int dir = GetDirection(), body = GetBodyClass();
    const bool rising = InRisingStretch();
    if (dir == 1 && body >= 2) {
        text = body == 3 ? "买方力量非常强大，在交易中占据绝对的优势，长驱直入，卖方已被打击得溃不成军。"
                         : "多方力量相当强大，空方已经无力阻止快速向上。";
        AppendShadowSentence(text);
        text += rising ? "如果在上升途中，显示多方力量强劲，后市趋于涨升。" : "如果正处在跌势，则可能转热或者反弹。";
    } else if (dir == 1 && body == 1) {
        text = "多头相对主动，但走势疲软，做多意愿不坚决。";
        AppendShadowSentence(text);
        text += rising ? "如果在上升途中，显示多方做多动能减弱，后期走势需关注。" : "如果正处在跌势，则显示筹码惜售，可能转热。";
    } else if (body == 0) {
        switch (GetShadowClass()) {
        case 0:
            if (rising) {
                text = "行情极度看涨，后市将持续上升较长一段时间。";
                text += "建议持股待涨。";
            } else {
                text = "行情极度看跌，后市将持续下跌较长一段时间。";
                text += "建议尽快抛售。";
            }
            break;
        case 1:
            text = "行情转跌为升信号强烈，后市将持续上升较长一段时间。";
            text += "建议持股待涨。";
            break;
        case 2:
            text = "股市将反转下跌的强烈信号，大市升幅冲尽，空方抛售力极强。";
            text += "如果目前处于上升途中，预示行情已经见顶，回落可能性极大。";
            break;
        case 3:
            text = "十字星走势，意味着行情要出现变局，需要密切关注走势和成交量的变化。";
            text += rising ? "如果目前处于上升途中，则称为“黄昏之星”，表明多方力量将尽，行情将见顶回落。"
                           : "如果正处在跌势，则称为“黎明之星”，表明空方虽然顽固，但多方力量已经显现，股市见底回升，峰回路转的时候到了。";
            break;
        case 4: text += "下档支撑强于上档压力。"; break;
        case 5: text += "上档压力大于下档支撑。"; break;
        }
    } else if (dir == 2 && body == 1) {
        text = "行情陷入胶着状态，多空双发均在试探。若在上升途中，可能是获利筹码较多，不必担心。";
        AppendShadowSentence(text);
        text += "若在下跌途中，显示空方力量占据主动，后市仍趋于下跌。";
    } else if (dir == 2) {
        text = body == 2 ? "空方力量相当强大，抛压很重，多方无法阻止下跌趋势。"
                         : "空方力量非常强大，在交易中占据绝对的优势，长驱直入，多方已被打击得溃不成军。";
        AppendShadowSentence(text);
        text += "显示空方力量占据主动，后市趋于下跌。";
    }
    return true;
}
