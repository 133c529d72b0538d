// Start-up loading on the login dialog's thread: the store, the code list, the composite index's
// day and minute files, the stock, sector and group lists.
#pragma once

#include <string>

#include "app/loginflow.h"

// The composite index's files as the data server and the store name them.
struct IndexFile {
    std::string url;    // data-server root + remote path
    std::string local;  // full local path
    int kind;           // code-state kind
};
IndexFile IndexDayFile();
IndexFile IndexMinuteFile();

// Reports each step on the view and ends it with 1 (the main window may open) or 2. Stops
// between steps, without touching the view, once the view asks to stop. True when it ended 1.
bool LoadStartupData(ILoginView& view);
