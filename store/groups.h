// The sector (block) lists of the service: downloaded into hqdata\group, read back into two maps
// for the side panel's tree and for the blocks a stock belongs to.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "net/httpclient.h"

// Progress of the sector download.
class CStockGroupDownloadNotif {
public:
    virtual ~CStockGroupDownloadNotif() {}
    virtual void OnGroupProgress(std::string text, int percent) = 0;
};

class CGroupDownloader {
public:
    // (code with market suffix, stock name)
    typedef std::pair<std::string, std::string> Member;
    // category name -> members of all its groups in reading order
    typedef std::map<std::string, std::vector<Member>> GroupList;
    // category name -> (position in its member sequence -> name of the group starting there)
    typedef std::map<std::string, std::map<int, std::string>> GroupIndex;

    CGroupDownloader();
    ~CGroupDownloader();
    CGroupDownloader(const CGroupDownloader&) = delete;
    CGroupDownloader& operator=(const CGroupDownloader&) = delete;

    // Fetches the sector list and its member files; 0 on failure or when cancelled before the
    // list came. The sink is called on this thread during the call only.
    int Download(CStockGroupDownloadNotif* sink);
    // 1 when the list was processed, 0 when refused.
    int SaveGroups(const std::string& text);
    // Optionally downloads, then rebuilds both maps from the group folder tree; returns 1.
    int DownloadGroups(bool download, CStockGroupDownloadNotif* sink);
    // Appends the file's members that the main stock container knows; returns 1.
    static int ReadGroupFile(const char* path, std::vector<Member>& members);
    // Snapshots that stay valid while the maps are rebuilt.
    int GetGroupList(std::shared_ptr<const GroupList>& out);
    int GetGroupMembers(std::shared_ptr<const GroupIndex>& out);
    // Appends "category-group" for each group holding the code.
    void FindGroupsOfStock(const char* code, std::vector<std::string>& names);
    // From any thread: the pass stops before its next sector and the transfer in flight ends now.
    // A cancel holds until ResetCancel, so that one made before a pass begins is not lost: whoever
    // starts a pass resets first.
    void Cancel();
    void ResetCancel();
    bool IsCancelled() const { return m_bStop.load(); }
    char* EnsureBuffer(int length);
    // hqdata\group under the program folder.
    static std::string GetGroupRoot();

private:
    // Fetches one member file with the pass's client and replaces the stored one only when whole.
    void FetchMemberFile(HttpClient& client, const std::string& url, const std::string& path);

    std::unique_ptr<char[]> m_pBuffer;
    int m_nBufferSize;
    std::mutex m_lock;  // guards the two snapshots
    std::shared_ptr<const GroupList> m_list;
    std::shared_ptr<const GroupIndex> m_index;
    CStockGroupDownloadNotif* m_pSink;  // set during Download only
    std::atomic<bool> m_bStop;
    std::mutex m_clientLock;  // guards m_pClient against Cancel
    HttpClient* m_pClient;  // the client of the pass in progress (made per pass: it takes the current proxy)
};

// UTF-8 to GBK when the sector list comes in UTF-8, else a copy.
void ConvertReplyText(const char* text, std::string& out);

CGroupDownloader* GetGroupDownloader();
void FreeGroupDownloader();
