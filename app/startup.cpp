#include "app/startup.h"

bool LoadStartupData(ILoginView& view, const std::string& workDirectory) {
    view.SetStatusText("初始化原始数据...");
    view.FinishDialog(1);
    return true;
}
