// The whole-market rankings the data server publishes in its rankings folder: the twelve kinds
// (command ids 4045 to 4056), their files of fixed records, reading a downloaded body, and
// filling a skinned list (the window's, or its model in tests) with one kind's rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One ranking file.
struct RankingFile {
    const char* name;  // "continue.dat", ...
    int urlIndex;      // its entry of the URL table
    int recordSize;
};

// One kind of ranking: a file and one of its two lists.
struct RankingKind {
    int id;             // 4045 to 4056
    const char* title;  // "连续上涨排名", ...
    const RankingFile* file;
    int direction;  // 1: the rise or top list, -1: the fall or bottom list
};

enum : int { kRankingFirst = 4045, kRankingLast = 4056 };

// The kind of a command id, or null outside 4045 to 4056.
const RankingKind* FindRankingKind(int id);

// One record as the file holds it; texts are GBK.
struct RankingRecord {
    std::string market;  // "SH" or "SZ"
    std::string code;    // without the market suffix
    std::string name;
    int days = 0;             // "continue.dat": days in a row
    float values[3] = {0, 0, 0};  // the file's floats in file order
    int direction = 0;
};

// What reading a body found.
enum class RankingBodyStatus {
    kGood,
    kEmpty,    // no bytes at all
    kPartial,  // whole records, then a piece shorter than one record (dropped)
    kBad,      // a record that cannot be one (nothing kept)
};

struct RankingBodyResult {
    RankingBodyStatus status = RankingBodyStatus::kEmpty;
    size_t records = 0;       // records kept
    size_t droppedBytes = 0;  // kPartial: the trailing piece's size
    size_t badRecord = 0;     // kBad: position of the first record refused (from 0)
};

// Reads a downloaded body of the file into records, in file order. Each field is read within its
// bounds (an unterminated text ends at its field's end); a record whose market is not "SH" or
// "SZ", whose code is empty or not letters and digits, whose direction is not 1 or -1, or whose
// values are not finite makes the whole body refused (out left empty): a reply that is no ranking
// file must not be shown as one. A trailing piece shorter than one record is dropped.
RankingBodyResult ReadRankingBody(const RankingFile& file, const void* data, size_t size,
                                  std::vector<RankingRecord>* out);

// A message for the user about a result that is not plainly good, or "" for kGood.
std::string DescribeRankingResult(const RankingBodyResult& result);

// Market filters of the dialog's radio buttons.
enum : int { kRankingAllMarkets = 0, kRankingShanghai = 1, kRankingShenzhen = -1 };

struct RankingColumn {
    const char* title;
    int width;  // pixels
};

// The kind's columns, in order.
std::vector<RankingColumn> RankingColumns(int id);
// The column the kind is ranked by, and the list's sort mode for it (1 ascending, 2 descending).
int RankingRankedColumn(int id);
int RankingSortMode(int id);
// Whether a record belongs to the kind's list under the market filter.
bool RankingRecordTaken(const RankingKind& kind, const RankingRecord& record, int filter);

struct RankingCell {
    std::string text;
    int format;  // a skinned list cell format (9 number, 10 integer)
};
// Columns 1 and up of a record's row (column 0 is the number).
std::vector<RankingCell> RankingCells(int id, const RankingRecord& record);

// The stock a row opens: the code with "_1" for Shanghai rows (data word 1), "_0" otherwise.
std::string RankingStockKey(const std::string& code, uint32_t dataWord);

// Colours of the ranked column's cells (Windows colour values).
constexpr uint32_t kRankingRankedBackground = 0xFFFFFF;
constexpr uint32_t kRankingRankedText = 0x800080;

// Adds the kind's columns to an empty list. List: the skinned list or its model.
template <class List>
void AddRankingColumns(List& list, int id) {
    for (const RankingColumn& c : RankingColumns(id)) list.AddColumn(c.title, c.width, -1, 0, 0, 0);
}

// Replaces the rows with the records of the kind under the filter: file position + 1, code,
// name and values, the ranked column coloured; sorted on the ranked column, then numbered from 1.
// Returns the row count.
template <class List>
int FillRankingList(List& list, int id, const std::vector<RankingRecord>& records, int filter) {
    list.DeleteAllItems();
    const RankingKind* kind = FindRankingKind(id);
    if (!kind) return 0;
    int ranked = RankingRankedColumn(id);
    for (size_t i = 0; i < records.size(); ++i) {
        const RankingRecord& r = records[i];
        if (!RankingRecordTaken(*kind, r, filter)) continue;
        int row = list.AddItem(std::to_string(i + 1), -1, 10, 0);
        if (row < 0) break;
        std::vector<RankingCell> cells = RankingCells(id, r);
        for (size_t c = 0; c < cells.size(); ++c) {
            list.SetItemText(row, (int)c + 1, cells[c].text);
            list.SetItemFormat(row, (int)c + 1, cells[c].format, 0);
        }
        list.SetItemData(row, r.market == "SH" ? 1u : 0u);
        list.SetItemColours(row, ranked, kRankingRankedBackground, kRankingRankedText);
    }
    list.SortColumn(ranked, RankingSortMode(id));
    int rows = list.GetItemCount();
    for (int row = 0; row < rows; ++row) list.SetItemText(row, 0, std::to_string(row + 1));
    return rows;
}
