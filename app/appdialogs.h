// The modal dialogs that commands of the main frame and the content panel open. Each returns
// when its dialog has closed; `owner` is the window that stays disabled meanwhile.
#pragma once

#include "winfw/winfw.h"

class CBaseView;
class CMessageProcessor;
class CStockInfo;

// 4014: the pattern diagnosis of the view's current stock.
void RunStateEvaluDialog(HWND owner, CBaseView* view);
// 4015: the trend diagnosis of a stock.
void RunTrendEvaluDialog(HWND owner, const CStockInfo& stock);
// 4040 to 4043: stock pool of kind 1 to 4; a chosen stock is opened through the processor.
void RunStockPoolDialog(HWND owner, CMessageProcessor* processor, int poolKind);
// 4045 to 4056: the ranking of that command id; a chosen stock is opened through the processor.
void RunStatisticsDialog(HWND owner, CMessageProcessor* processor, int rankingKind);
// 32818.
void RunAboutDialog(HWND owner);
// 32846: the sector download; the processor (may be null) is told when the sectors changed.
void RunDownloadGroupDialog(HWND owner, CMessageProcessor* processor);
