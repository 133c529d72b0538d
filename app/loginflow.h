// The work of the login dialog that needs no window: the login request and the online update.
#pragma once

#include <functional>
#include <string>

#include "app/login.h"
#include "base/platform.h"

// What the dialog's thread needs of the dialog. Once a stop is requested (the dialog was
// cancelled) the view ignores every call.
class ILoginView {
public:
    virtual ~ILoginView() = default;
    virtual void SetStatusText(const char* text) = 0;
    // Ends the dialog with the code (1 also brings the login buttons back first).
    virtual void FinishDialog(int code) = 0;
    // After a failure that keeps the dialog: clears the status line and brings the login buttons
    // back, so that the user may try again or leave.
    virtual void ResumeLogin() = 0;
    virtual int Message(const char* text, const char* title, UINT type) = 0;
    virtual bool IsStopRequested() const = 0;
};

// Fetches a URL; true only with the whole body.
typedef std::function<bool(const std::string& url, std::string* body)> FetchFunction;

// Up to three attempts, stopping at the first that brings a body; true with a good reply.
bool RequestLogin(const FetchFunction& fetch, const std::string& url, LoginReply* reply, int* attempts = nullptr);

// Downloads the new build (site root + the edition's update request), stores it as
// "<exe>.new" and starts the updater with the executable's path; ends the dialog with 2. A
// failed download, or a body that is not a whole client (IsClientImage), shows the failure
// message, starts nothing and hands the dialog back to the user (ResumeLogin). Returns true
// when the updater was asked to start.
bool RunUpdate(ILoginView& view, const FetchFunction& fetch, const std::string& exePath,
               const std::string& updaterPath);
