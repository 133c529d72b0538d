// A program folder whose hqdata is filled from the fixture service, as the client's downloads fill
// it: the code list, the two market indexes and the day files of a number of shares.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "base/timestamp.h"
#include "net/download.h"
#include "net/services.h"
#include "store/database.h"
#include "store/storeenv.h"
#include "tests/net/test_servers.h"

namespace chart_test {

class FixtureData {
public:
    ~FixtureData() {
        FreeDownloadManager();
        m_fixture.Stop();
        std::error_code ec;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
    }

    // Starts the fixture, fetches the files and loads the code list. The shares are the first
    // count A shares of the list; Codes() gives them with their market suffix.
    bool Load(int count, std::string* why) {
        if (!m_fixture.Start({"--now", "2026-12-10 14:00", "--market-flag", "0"}, why)) return false;
        static std::atomic<int> serial{0};
        auto base = std::filesystem::temp_directory_path();
        for (int i = 0; i < 1000 && m_dir.empty(); ++i) {
            auto p = base / ("velmora-kline-" + std::to_string(uint64_t(CTimeStamp::GetCurrentTime().GetTime())) + "-" +
                             std::to_string(serial.fetch_add(1)));
            if (std::filesystem::create_directory(p)) m_dir = p;
        }
        m_folder = m_dir.string() + velmora::kPathSep;
        SetProgramFolder(m_folder.c_str());
        char error[256];
        if (!InitializeDatabase(error, sizeof error)) return Fail(why, error);
        SetDataServerHost("127.0.0.1:" + std::to_string(m_fixture.Port()));
        if (!Fetch("hqdatagzip/codelist/codelist.ldt", "hqdata\\codelist.dat")) return Fail(why, "no code list");
        GetStockContainer().Clear();
        GetStockContainer().LoadFromDatabase(&GetDatabase(), 0, 100000);
        if (!FetchDay("1A0001_1") || !FetchDay("399001_0")) return Fail(why, "no index day files");
        CStockContainer& all = GetStockContainer();
        for (int i = 0; i < all.GetSize() && int(m_codes.size()) < count; ++i) {
            const CStockInfo& info = all[i];
            if (info.GetType() != kindShA && info.GetType() != kindSzA) continue;
            if (!FetchDay(info.GetStockCode())) return Fail(why, std::string("no day file for ") + info.GetStockCode());
            m_codes.push_back(info.GetStockCode());
        }
        if (int(m_codes.size()) < count) return Fail(why, "too few shares in the code list");
        return true;
    }
    const std::vector<std::string>& Codes() const { return m_codes; }
    const std::string& Folder() const { return m_folder; }
    int Port() const { return m_fixture.Port(); }

    // The day file of a code with market suffix.
    bool FetchDay(const std::string& code) {
        const bool shenzhen = code.size() > 2 && code.compare(code.size() - 2, 2, "_0") == 0;
        const std::string plain = code.substr(0, code.size() - 2);
        return Fetch("hqdatagzip/sday/" + std::string(shenzhen ? "SZ" : "SH") + plain + ".ldy",
                     std::string(shenzhen ? "hqdata\\sz\\day\\SZ" : "hqdata\\sh\\day\\SH") + code + ".day");
    }

private:
    bool Fetch(const std::string& remote, const std::string& local) {
        DownloadManager* manager = GetDownloadManager();
        const std::string url = GetServerRootUrl() + remote;
        const std::string path = JoinStorePath(m_folder, local.c_str());
        return manager && manager->DownloadNow(url.c_str(), "", path.c_str(), nullptr, nullptr, false, true, true);
    }
    static bool Fail(std::string* why, const std::string& text) {
        if (why) *why = text;
        return false;
    }

    velmora_test::FixtureProcess m_fixture;
    std::filesystem::path m_dir;
    std::string m_folder;
    std::vector<std::string> m_codes;
};

}  // namespace chart_test
