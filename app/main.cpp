// The client's entry: one instance, the login dialog, then the main window until the user
// leaves (or asks to log in again).
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "app/ini.h"
#include "analysis/stprofile.h"
#include "app/landeddlg.h"
#include "app/appstate.h"
#include "charts/realtimerules.h"
#include "app/mainframe.h"
#include "app/urltable.h"
#include "base/savefile.h"
#include "base/seams.h"
#include "base/win32util.h"
#include "net/services.h"
#include "store/codestate.h"
#include "store/stockcode.h"
#include "store/storeenv.h"
#include "winfw/winfw.h"

namespace {

const int kReloginResult = 1111;

int Run(LPSTR, int show) {
    CMessageLoop loop;
    GetAppModule().AddMessageLoop(&loop);
    int result = 0;
    {
        CMainFrame frame;
        if (frame.Create(nullptr, CMainFrame::OpenRect(), nullptr)) {
            frame.ShowWindow(show);
            result = loop.Run();
            if (frame.IsRelogin()) result = kReloginResult;
        }
        if (frame.IsWindow()) frame.DestroyWindow();
    }
    GetAppModule().RemoveMessageLoop();
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    // One client at a time; the handle stays open for the life of the process.
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, "KAMO_STOCK_PRODUCTS");
    if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    ::OleInitialize(nullptr);
    std::string dataFolder = GetProgramFolder() + kDataFolderName;
    if (::GetFileAttributesA(dataFolder.c_str()) == INVALID_FILE_ATTRIBUTES)
        ::CreateDirectoryA(dataFolder.c_str(), nullptr);
    // The only client, and no download yet: a temporary file found now is from a save that a
    // killed run cut short.
    RemoveLeftoverTemporaries(dataFolder);
    ::DefWindowProcA(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    StartGdiplus();
    // Charts take "now" from the service's clock: the trading day is the service's, not the PC's.
    charts::SetChartClock(&ServerClockNow);
    // So does the store's check of downloaded records (no date after the service's tomorrow).
    SetStoreClock(&ServerClockNow);
    GetAppModule().Init(instance);

    // The site root (and the chat page) may be configured in run.ini.
    ApplyUrlConfig(CIni(GetProgramFolder() + "run.ini"));
    // The settings of the last run; a missing or damaged file leaves the defaults. The user is told
    // when settings were lost (a first run has none to lose).
    if (GetProfile().Load() == CStProfile::loadDamaged)
        ShowMessageBox(nullptr, GetProfile().GetLoadMessage().c_str(), "提示", MB_OK | MB_ICONINFORMATION);

    int exitCode = 0;
    {
        CLandedDlg first;
        if (first.DoModal(::GetActiveWindow()) == IDOK) {
            for (;;) {
                exitCode = Run(commandLine, show);
                if (exitCode != kReloginResult) break;
                CLandedDlg again;
                if (again.DoModal(::GetActiveWindow()) != IDOK) break;
            }
        }
        // The dialog's object waits for its threads before it goes (and before GDI+ shuts down).
    }
    // A profile that would not load again is not written: the user is told, and the old file stays.
    if (!GetProfile().Save())
        ShowMessageBox(nullptr, GetProfile().GetSaveMessage().c_str(), "提示", MB_OK | MB_ICONINFORMATION);
    // Whatever the way out (a cancelled login included), no download outlives the program.
    FreeDownloadManager();
    FreeHttpClient();
    // Once no download can record one any more: which files are fresh, for the next start.
    SaveAndFreeCodeStateMap();
    ShutdownGdiplus();
    GetAppModule().Term();
    ::OleUninitialize();
    return exitCode;
}
