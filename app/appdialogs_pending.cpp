// Dialogs not built yet: each says so instead of opening.
#include "app/appdialogs.h"

namespace {
void NotYet(HWND owner) {
    ::MessageBoxA(owner, "该功能尚未提供。", "提示", MB_OK | MB_ICONINFORMATION);
}
}  // namespace

void RunStateEvaluDialog(HWND owner, CBaseView*) { NotYet(owner); }
void RunTrendEvaluDialog(HWND owner, const CStockInfo&) { NotYet(owner); }
void RunStockPoolDialog(HWND owner, CMessageProcessor*, int) { NotYet(owner); }
