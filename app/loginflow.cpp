#include "app/loginflow.h"

#include <chrono>
#include <thread>

#include "app/update.h"
#include "app/urltable.h"
#include "base/log.h"
#include "base/savefile.h"
#include "base/seams.h"

bool RequestLogin(const FetchFunction& fetch, const std::string& url, LoginReply* reply, int* attempts) {
    std::string body;
    int tries = 0;
    for (; tries < 3; ++tries) {
        body.clear();
        if (fetch(url, &body) && !body.empty()) {
            ++tries;
            break;
        }
    }
    if (attempts) *attempts = tries;
    if (body.empty()) return false;
    if (!ParseLoginReply(body, reply)) {
        LogError("RequestLogin", "%s: the reply is not a login answer, refused", url.c_str());
        return false;
    }
    return true;
}

bool RunUpdate(ILoginView& view, const FetchFunction& fetch, const std::string& exePath,
               const std::string& updaterPath) {
    view.SetStatusText("发现新版本....");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    view.SetStatusText("开始下载新版本....");
    UrlTable& urls = GetUrlTable();
    urls.Set(kUrlUpdate, UpdateRequestForEdition(Edition));
    std::string url = urls.SiteRoot() + urls.Get(kUrlUpdate);
    std::string body;
    bool fetched = fetch(url, &body);
    if (view.IsStopRequested()) return false;
    // Only a whole executable becomes the update file: a short or foreign body would make
    // Update restart the old client, which would find the same newer version again.
    const bool image = fetched && IsClientImage(body.data(), body.size());
    if (fetched && !image)
        LogError("RunUpdate", "%s: %u bytes that are not a client program, refused", url.c_str(),
                 unsigned(body.size()));
    if (!image || !SaveFileReplacing(UpdateFileFor(exePath), body.data(), body.size())) {
        if (image) LogError("RunUpdate", "%s: saving failed", UpdateFileFor(exePath).c_str());
        view.Message(UpdateFailedMessage(urls.SiteRoot()).c_str(), "提示", MB_OK);
        view.ResumeLogin();
        return false;
    }
    view.SetStatusText("开始下载更新....");
    view.Message("新版本下载完成，软件需要重新启动!", "提示", MB_OK);
    bool started = LaunchApp(updaterPath.c_str(), exePath.c_str());
    view.FinishDialog(2);
    return started;
}
