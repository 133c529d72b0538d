// Dialogs not built yet: each says so instead of opening.
#include "app/appdialogs.h"

namespace {
void NotYet(HWND owner) {
    ::MessageBoxA(owner, "该功能尚未提供。", "提示", MB_OK | MB_ICONINFORMATION);
}
}  // namespace

void RunStatisticsDialog(HWND owner, CMessageProcessor*, int) { NotYet(owner); }
void RunAboutDialog(HWND owner) { NotYet(owner); }
void RunDownloadGroupDialog(HWND owner, CMessageProcessor*) { NotYet(owner); }
