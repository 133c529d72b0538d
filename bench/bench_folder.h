// A program folder of a Wine benchmark's own under %TEMP%, with its hqdata, removed with all it
// holds when the benchmark ends (a run's data would otherwise pile up in the prefix).
#pragma once

#include <windows.h>

#include <string>

#include "app/urltable.h"
#include "store/storeenv.h"
#include "tests/net/test_servers.h"

namespace velmora_bench {

class BenchFolder {
public:
    explicit BenchFolder(const char* tag) {
        char tmp[MAX_PATH];
        ::GetTempPathA(sizeof tmp, tmp);
        m_path = std::string(tmp) + "velmora-" + tag + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(::GetTickCount());
        ::CreateDirectoryA(m_path.c_str(), nullptr);
        ::CreateDirectoryA((m_path + "\\hqdata").c_str(), nullptr);
    }
    ~BenchFolder() {
        std::string rm = "cmd /c rmdir /s /q \"" + m_path + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessA(nullptr, &rm[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
            ::WaitForSingleObject(pi.hProcess, 30000);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    // Without the closing backslash.
    const std::string& Path() const { return m_path; }
    // With it, as the program folder is given.
    std::string ProgramFolder() const { return m_path + "\\"; }

private:
    std::string m_path;
};

// The fixture service at the whole market's size with its clock at a given time, and a program
// folder of the benchmark's own whose site is that service.
class MarketBench {
public:
    explicit MarketBench(const char* tag) : m_folder(tag) {}
    // False, with the reason, when the service does not come up.
    bool Start(const char* now, std::string* why) {
        if (!m_fixture.Start({"--scale", "full", "--now", now, "--market-flag", "0"}, why)) return false;
        SetProgramFolder(m_folder.ProgramFolder().c_str());
        SetUrl(kUrlSiteRoot, m_fixture.Url("/"));
        return true;
    }
    velmora_test::FixtureProcess& Fixture() { return m_fixture; }
    const BenchFolder& Folder() const { return m_folder; }

private:
    velmora_test::FixtureProcess m_fixture;
    BenchFolder m_folder;  // removed before the service ends
};

}  // namespace velmora_bench
