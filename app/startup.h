// Start-up loading on the login dialog's thread: the store, the code list, the composite index's
// day and minute files, the stock, sector and group lists.
#pragma once

#include <string>

#include "app/loginflow.h"

// Reports each step on the view and ends it with 1 (the main window may open) or 2.
bool LoadStartupData(ILoginView& view, const std::string& workDirectory);
