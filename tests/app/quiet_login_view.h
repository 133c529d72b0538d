// For tests and benchmarks that run the login and the start-up loading themselves: a login view
// without a window (status texts dropped, messages to stderr) and the login request itself.
#pragma once

#include <cstdio>
#include <string>

#include "app/appstate.h"
#include "app/loginflow.h"
#include "app/urltable.h"

namespace velmora_test {

class QuietLoginView : public ILoginView {
public:
    int finished = 0;  // the dialog's end code, once given
    void SetStatusText(const char*) override {}
    void FinishDialog(int code) override { finished = code; }
    void ResumeLogin() override {}
    int Message(const char* text, const char* title, UINT) override {
        std::fprintf(stderr, "login: %s: %s\n", title, text);
        return 1;
    }
    bool IsStopRequested() const override { return false; }
};

// Logs in as the fixture's user (edition 1) at the configured site root through the process-wide
// client, and takes the reply's data server and clock.
inline bool LogInToService(const std::string& password = "pw") {
    const std::string url = BuildLoginUrl(GetSiteRoot(), LoginScriptForEdition(1), "5", "股民", password);
    LoginReply reply;
    if (!RequestLogin([](const std::string& u, std::string* b) { return FetchUrl(u, b, 256, kLoginLimits); }, url, &reply))
        return false;
    ApplyLoginReply(reply);
    return true;
}

}  // namespace velmora_test
