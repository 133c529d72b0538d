// A login view without a window, for tests and benchmarks that run the login and the start-up
// loading themselves: status texts are dropped, messages go to stderr.
#pragma once

#include <cstdio>

#include "app/loginflow.h"

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

}  // namespace velmora_test
