// Stock codes as the program spells them, "600000_1": the plain code, '_' and the market digit
// (1 Shanghai, 0 Shenzhen); and the place of every file of the data tree beside the program. The
// writers of downloads and the readers of the store both take their paths from here, so a file
// is always read from where it was written.
#pragma once

#include <string>

// The data tree's folder beneath the program folder.
extern const char kDataFolderName[];
// The tree's folder relative to the program folder, with its trailing backslash.
std::string DataTreePath();
// A market's folder relative to the program folder ("hqdata\\sh\\"), or with sub one of its
// folders ("hqdata\\sh\\day\\"); both end in a backslash.
std::string DataFolderPath(bool shanghai, const char* sub = nullptr);

// "_1" for Shanghai, "_0" otherwise.
const char* MarketSuffix(bool shanghai);
// plain followed by its market's suffix.
std::string MakeStockCode(const std::string& plain, bool shanghai);
// Splits a code with its market suffix into the plain code and the market digit; false (nothing
// written) unless it is 1 to 16 letters and digits then "_0" or "_1".
bool SplitStockCode(const std::string& code, std::string* plain, int* market);
// Whether SplitStockCode takes the code.
bool IsStockCode(const std::string& code);

// The files of the data tree. Per-stock files are named by the code with its suffix and lie in
// the folder of the market given (which the caller chooses; it need not be the suffix's).
enum DataFileKind : int {  // fixed type: a kind out of range is a value DataFilePath refuses
    dataFileDay,         // <market>\day\SH<code>.day ("SZ" in Shenzhen)
    dataFileWeek,        // <market>\day\SH<code>.wek
    dataFileMonth,       // <market>\day\SH<code>.mnt
    dataFileMinute,      // <market>\min\<code>.min
    dataFileExRights,    // <market>\xdr\<code>.dat
    dataFileBaseText,    // <market>\bas\<code>.txt, the company text (F10)
    dataFileSignal,      // <market>\signal\<code>.sgn
    dataFileShortTicks,  // <market>\fenbi\<code>.fbs
    dataFileLongTicks,   // <market>\fenbi\<code>.fbl
    dataFileQuotes,      // the market's quote block file: shse.rpt, szse.rpt
    // One file of the whole tree: market and code play no part.
    dataFileOutline,     // clkoutln.out
    dataFileCodeList,    // codelist.dat
    dataFileCodeText,    // codelist.txt, the code list as text
    dataFileCodeState,   // codestate.dat, when each file was fetched
    dataFileWatchList,   // usrstock.dat
    dataFileGroups,      // group, the folder of the sector lists
};
// The file's path relative to the program folder, with backslashes ("hqdata\\sh\\day\\SH600000_1.day");
// "" for an unknown kind. The code goes in as given: the caller has checked that it can name a
// file (IsSafeCode, SplitStockCode).
std::string DataFilePath(DataFileKind kind, bool shanghai = true, const std::string& code = std::string());
