#include "app/rankings.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/urltable.h"
#include "store/stockcode.h"

namespace {

const RankingFile kContinue = {"continue.dat", kUrlRankContinue, 56};
const RankingFile kMarkup = {"markupsort.dat", kUrlRankMarkup, 58};
const RankingFile kPrice = {"pricesort.dat", kUrlRankPrice, 50};
const RankingFile kVolume = {"volumesort.dat", kUrlRankVolume, 54};
const RankingFile kAmount = {"amountsort.dat", kUrlRankAmount, 54};
const RankingFile kScale = {"volumescale.dat", kUrlRankVolumeScale, 54};

const RankingKind kKinds[] = {
    {4045, "连续上涨排名", &kContinue, 1},   {4046, "连续下跌排名", &kContinue, -1},
    {4047, "涨幅前50名", &kMarkup, 1},       {4048, "跌幅前50名", &kMarkup, -1},
    {4049, "成交价前50名", &kPrice, 1},      {4050, "成交价后50名", &kPrice, -1},
    {4051, "成交量前50名", &kVolume, 1},     {4052, "成交量后50名", &kVolume, -1},
    {4053, "成交额前50名", &kAmount, 1},     {4054, "成交额后50名", &kAmount, -1},
    {4055, "量比前50名", &kScale, 1},        {4056, "量比后50名", &kScale, -1},
};

enum : size_t { kMarketBytes = 2, kCodeOffset = 2, kCodeBytes = 10, kNameOffset = 12, kNameBytes = 32, kValues = 44 };

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

float F32(const unsigned char* p) {
    uint32_t bits = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                    (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

// A text field: up to its first zero byte, never past the field's end.
std::string Field(const unsigned char* p, size_t width) {
    size_t n = 0;
    while (n < width && p[n]) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

bool IsCode(const std::string& code) {
    if (code.empty()) return false;
    for (char c : code)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    return true;
}

bool ReadRecord(const RankingFile& file, const unsigned char* p, RankingRecord* r) {
    r->market = std::string(reinterpret_cast<const char*>(p), kMarketBytes);
    r->code = Field(p + kCodeOffset, kCodeBytes);
    r->name = Field(p + kNameOffset, kNameBytes);
    size_t at = kValues;
    r->days = 0;
    if (file.urlIndex == kUrlRankContinue) {
        r->days = U16(p + at);
        at += 2;
    }
    size_t end = static_cast<size_t>(file.recordSize) - 2;
    int n = 0;
    for (; at + 4 <= end && n < 3; at += 4, ++n) {
        r->values[n] = F32(p + at);
        if (!std::isfinite(r->values[n])) return false;
    }
    for (; n < 3; ++n) r->values[n] = 0;
    r->direction = static_cast<int16_t>(U16(p + end));
    return (r->market == "SH" || r->market == "SZ") && IsCode(r->code) && (r->direction == 1 || r->direction == -1);
}

std::string Fixed2(float v) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%.2f", static_cast<double>(v));
    return buf;
}

}  // namespace

const RankingKind* FindRankingKind(int id) {
    for (const RankingKind& k : kKinds)
        if (k.id == id) return &k;
    return nullptr;
}

RankingBodyResult ReadRankingBody(const RankingFile& file, const void* data, size_t size,
                                  std::vector<RankingRecord>* out) {
    out->clear();
    RankingBodyResult result;
    if (size == 0 || !data) return result;
    const size_t record = static_cast<size_t>(file.recordSize);
    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_t whole = size / record;
    out->reserve(whole);
    for (size_t i = 0; i < whole; ++i) {
        RankingRecord r;
        if (!ReadRecord(file, p + i * record, &r)) {
            out->clear();
            result.status = RankingBodyStatus::kBad;
            result.badRecord = i;
            return result;
        }
        out->push_back(std::move(r));
    }
    result.records = out->size();
    result.droppedBytes = size % record;
    result.status = result.droppedBytes ? RankingBodyStatus::kPartial : RankingBodyStatus::kGood;
    return result;
}

std::string DescribeRankingResult(const RankingBodyResult& result) {
    char buf[256];
    switch (result.status) {
    case RankingBodyStatus::kGood:
        return std::string();
    case RankingBodyStatus::kEmpty:
        return "服务器没有提供排名数据。";
    case RankingBodyStatus::kPartial:
        std::snprintf(buf, sizeof(buf), "排名数据不完整：末尾%u字节不足一条记录，已略去。", (unsigned)result.droppedBytes);
        return buf;
    case RankingBodyStatus::kBad:
        std::snprintf(buf, sizeof(buf), "排名数据有误（第%u条记录无法识别），未能显示。", (unsigned)result.badRecord + 1);
        return buf;
    }
    return std::string();
}

std::vector<RankingColumn> RankingColumns(int id) {
    std::vector<RankingColumn> c = {{"序号", 40}, {"股票代码", 80}, {"股票名称", 80}};
    switch (id) {
    case 4045:
    case 4046:
        c.insert(c.end(), {{"连续天数", 80}, {"最新成交量", 100}, {"涨跌幅度", 100}});
        break;
    case 4047:
    case 4048:
        c.insert(c.end(), {{"最新价格", 70}, {"成交量", 100}, {id == 4047 ? "涨幅" : "跌幅", 100}});
        break;
    case 4049:
    case 4050:
        c.push_back({"最新价格", 100});
        break;
    case 4051:
    case 4052:
        c.insert(c.end(), {{"最新价格", 100}, {"成交量", 100}});
        break;
    case 4053:
    case 4054:
        // Amounts in yuan run to thirteen characters: 90 pixels would cut them off.
        c.insert(c.end(), {{"最新价格", 70}, {"成交额", 120}});
        break;
    case 4055:
    case 4056:
        c.insert(c.end(), {{"量比", 70}, {"收盘价格", 90}});
        break;
    default:
        return {};
    }
    return c;
}

int RankingRankedColumn(int id) {
    switch (id) {
    case 4047:
    case 4048:
        return 5;
    case 4051:
    case 4052:
    case 4053:
    case 4054:
        return 4;
    default:
        return 3;
    }
}

int RankingSortMode(int id) {
    if (id == 4045 || id == 4046) return 2;  // the longest run first in both lists
    return id % 2 ? 2 : 1;
}

bool RankingRecordTaken(const RankingKind& kind, const RankingRecord& record, int filter) {
    if (record.direction != kind.direction) return false;
    if (filter == kRankingShanghai) return record.market == "SH";
    if (filter == kRankingShenzhen) return record.market == "SZ";
    return true;
}

std::vector<RankingCell> RankingCells(int id, const RankingRecord& r) {
    std::vector<RankingCell> cells = {{r.code, 0}, {r.name, 0}};
    const RankingKind* kind = FindRankingKind(id);
    if (!kind) return cells;
    if (kind->file->urlIndex == kUrlRankContinue) {
        cells.push_back({std::to_string(r.days), 10});
        cells.push_back({Fixed2(r.values[0]), 9});
        cells.push_back({Fixed2(r.values[1]), 9});
        return cells;
    }
    int count = (kind->file->recordSize - 2 - 44) / 4;
    for (int i = 0; i < count && i < 3; ++i) cells.push_back({Fixed2(r.values[i]), 9});
    return cells;
}

std::string RankingStockKey(const std::string& code, uint32_t dataWord) {
    return MakeStockCode(code, dataWord == 1);
}
