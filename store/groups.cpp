#include "store/groups.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

#include "base/fsutil.h"
#include "base/log.h"
#include "base/memstream.h"
#include "base/savefile.h"
#include "base/text.h"
#include "net/services.h"
#include "store/database.h"
#include "store/stockcode.h"
#include "store/storeenv.h"

namespace {

// Splits at "-" into at most three fields, so that a URL keeps its own dashes.
std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (out.size() < 2) {
        size_t dash = line.find('-', pos);
        if (dash == std::string::npos) break;
        out.push_back(line.substr(pos, dash - pos));
        pos = dash + 1;
    }
    out.push_back(line.substr(pos));
    return out;
}

bool IsServiceUrl(const std::string& url) {
    return url.compare(0, 7, "http://") == 0 || url.compare(0, 8, "https://") == 0;
}

// A member file: a 16-bit count and 8-byte records; anything else is not stored.
bool IsMemberFile(const void* data, int size) {
    if (!data || size < 2) return false;
    const unsigned char* b = static_cast<const unsigned char*>(data);
    if (b[0] == 0x1F && b[1] == 0x8B) return false;
    int16_t n;
    std::memcpy(&n, b, 2);
    return n >= 0 && 2 + 8 * int64_t(n) <= size;
}

// The container's members for the codes met while reading member files. A stock sits in many
// sectors (the whole market's files hold about eighteen records a stock), and every container
// lookup builds the code's text and takes the container's lock: one lookup a code is enough.
class MemberNames {
public:
    MemberNames() : m_slots(kFirstSlots) {}

    // The member for a record (its kind byte and six code characters); null when the container
    // does not know the code.
    const CGroupDownloader::Member* Find(unsigned char kind, const char* code6) {
        const bool shanghai = kind >= 16 && kind <= 31;
        uint64_t key = shanghai ? 1 : 0;
        for (int i = 0; i < 6; ++i) key = (key << 8) | static_cast<unsigned char>(code6[i]);
        Slot& slot = SlotOf(key);
        if (slot.member != kEmpty) return slot.member == kUnknown ? nullptr : &m_members[size_t(slot.member)];
        std::string code = MakeStockCode(std::string(code6, 6), shanghai);
        std::string name;
        slot.key = key;
        slot.member = kUnknown;
        if (GetStockContainer().GetStockName(code.c_str(), &name)) {
            slot.member = int32_t(m_members.size());
            m_members.emplace_back(std::move(code), std::move(name));
        }
        const CGroupDownloader::Member* found = slot.member == kUnknown ? nullptr : &m_members.back();
        if (++m_used * 2 > m_slots.size()) Grow();
        return found;
    }

private:
    // An open-addressed table: the lookup runs once for every record of every member file (about
    // eighteen a stock), where a node-based map's hashing and pointer chasing showed.
    static const size_t kFirstSlots = 16384;  // a power of two, room for the whole market
    static const int32_t kEmpty = -2, kUnknown = -1;
    struct Slot {
        uint64_t key = 0;
        int32_t member = kEmpty;  // an index into m_members, or kUnknown
    };

    Slot& SlotOf(uint64_t key) {
        const size_t mask = m_slots.size() - 1;
        size_t at = size_t((key * 0x9E3779B97F4A7C15ull) >> 40) & mask;
        while (m_slots[at].member != kEmpty && m_slots[at].key != key) at = (at + 1) & mask;
        return m_slots[at];
    }
    void Grow() {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        for (const Slot& s : old)
            if (s.member != kEmpty) SlotOf(s.key) = s;
    }

    std::vector<Slot> m_slots;
    size_t m_used = 0;
    std::deque<CGroupDownloader::Member> m_members;  // stable: callers hold pointers into it
};

// The records a member file's bytes hold: the 16-bit count bounded by the records present.
int MemberCount(const std::string& data) {
    if (data.size() < 2) return 0;
    int16_t n;
    std::memcpy(&n, data.data(), 2);
    return std::max(0, std::min(int(n), int((data.size() - 2) / 8)));
}

// Appends the members of a member file's bytes that the container knows.
void ParseMembers(const std::string& data, std::vector<CGroupDownloader::Member>& members, MemberNames& names) {
    const int count = MemberCount(data);
    for (int i = 0; i < count; ++i) {
        const char* rec = data.data() + 2 + size_t(i) * 8;
        if (const CGroupDownloader::Member* m = names.Find(static_cast<unsigned char>(rec[1]), rec + 2))
            members.push_back(*m);
    }
}

// Appends the file's members that the container knows; a missing or short file adds nothing.
void ReadMembers(const char* path, std::vector<CGroupDownloader::Member>& members, MemberNames& names) {
    std::string data;
    if (velmora::ReadWholeFile(path, data, 1 << 20)) ParseMembers(data, members, names);
}

}  // namespace

CGroupDownloader::CGroupDownloader()
    : m_nBufferSize(0),
      m_list(std::make_shared<GroupList>()),
      m_index(std::make_shared<GroupIndex>()),
      m_pSink(nullptr),
      m_bStop(false),
      m_pClient(nullptr) {}

CGroupDownloader::~CGroupDownloader() = default;

std::string CGroupDownloader::GetGroupRoot() {
    return JoinStorePath(GetProgramFolder(), DataFilePath(dataFileGroups).c_str());
}

char* CGroupDownloader::EnsureBuffer(int length) {
    if (length < 0) return nullptr;
    if (m_nBufferSize < length || !m_pBuffer) {
        m_pBuffer.reset();
        m_pBuffer = std::make_unique<char[]>(size_t(length) + 32);
        m_nBufferSize = length;
    }
    std::memset(m_pBuffer.get(), 0, size_t(length) + 1);
    return m_pBuffer.get();
}

void ConvertReplyText(const char* text, std::string& out) {
    out.clear();
    if (!text) return;
    if (IsSectorListUtf8()) Utf8ToAnsi(out, text);
    else out = text;
}

void CGroupDownloader::Cancel() {
    m_bStop.store(true);
    std::lock_guard<std::mutex> lock(m_clientLock);
    if (m_pClient) m_pClient->Cancel();
}

void CGroupDownloader::ResetCancel() { m_bStop.store(false); }

int CGroupDownloader::Download(CStockGroupDownloadNotif* sink) {
    if (m_bStop.load()) return 0;
    HttpClient client;
    {
        std::lock_guard<std::mutex> lock(m_clientLock);
        m_pClient = &client;
        // A cancel that came while the client was made.
        if (m_bStop.load()) client.Cancel();
    }
    m_pSink = sink;
    struct PassEnd {  // nothing of the pass is reachable after it
        CGroupDownloader* self;
        ~PassEnd() {
            self->m_pSink = nullptr;
            std::lock_guard<std::mutex> lock(self->m_clientLock);
            self->m_pClient = nullptr;
        }
    } passEnd{this};
    CMemoryStream body;
    char buffer[128];
    std::string url = GetSiteRootUrl() + "data/blank/";
    if (!client.Download(url.c_str(), &body, buffer, sizeof buffer, nullptr)) {
        if (sink) sink->OnGroupProgress("Download Error ", -1);
        return 0;
    }
    if (m_bStop.load()) return 0;
    if (sink) sink->OnGroupProgress("GroupInfo", 1);
    const char* data = reinterpret_cast<const char*>(body.GetData());
    char* text = EnsureBuffer(int(body.GetSize()));
    if (data && body.GetSize() > 0) std::memcpy(text, data, size_t(body.GetSize()));
    std::string converted;
    ConvertReplyText(text, converted);
    return SaveGroups(converted);
}

void CGroupDownloader::FetchMemberFile(HttpClient& client, const std::string& url, const std::string& path) {
    CMemoryStream body;
    char buffer[128];
    // A cancelled or cut transfer fails as a whole: the stored file stays the old one.
    if (!client.Download(url.c_str(), &body, buffer, sizeof buffer, nullptr) || m_bStop.load()) return;
    if (!IsMemberFile(body.GetData(), int(body.GetSize()))) {
        LogError("CGroupDownloader", "%s: not a member file, %s kept as it was", url.c_str(), path.c_str());
        return;
    }
    SaveFileReplacing(path, body.GetData(), size_t(body.GetSize()));
}

int CGroupDownloader::SaveGroups(const std::string& text) {
    const std::string root = GetGroupRoot();
    velmora::CreateFolder(JoinStorePath(GetProgramFolder(), kDataFolderName).c_str());
    velmora::CreateFolder(root.c_str());
    std::vector<std::string> lines;
    SplitString(text.c_str(), "\r\n", lines);
    if (lines.size() < 4) {
        LogError("CGroupDownloader", "the sector list has %u lines, fewer than 4: refused", unsigned(lines.size()));
        return 0;
    }
    const int count = int(lines.size());
    // The pass's client, which Cancel reaches; a call outside a pass fetches with one of its own.
    std::unique_ptr<HttpClient> own;
    HttpClient* client;
    {
        std::lock_guard<std::mutex> lock(m_clientLock);
        client = m_pClient;
    }
    if (!client) {
        own.reset(new HttpClient);
        client = own.get();
    }
    for (int i = 0; i < count && !m_bStop.load(); ++i) {
        std::vector<std::string> fields = SplitFields(lines[size_t(i)]);
        if (fields.size() < 2) {
            LogError("CGroupDownloader", "line %d of the sector list has no sector name: the rest is dropped", i + 1);
            return 0;
        }
        const std::string& category = fields[0];
        const std::string& group = fields[1];
        // Names from the service become folder names only when they cannot leave the tree.
        if (!IsSafePathComponent(category.c_str()) || !IsSafePathComponent(group.c_str())) continue;
        std::string catFolder = root + velmora::kPathSep + category;
        std::string groupFolder = catFolder + velmora::kPathSep + group;
        velmora::CreateFolder(catFolder.c_str());
        velmora::CreateFolder(groupFolder.c_str());
        if (m_pSink) m_pSink->OnGroupProgress(category + ":" + group, 99 * i / count);
        if (fields.size() < 3) continue;
        const std::string& url = fields[2];
        size_t slash = url.rfind('/');
        std::string name = slash == std::string::npos ? std::string() : url.substr(slash + 1);
        if (name.empty() || !IsSafePathComponent(name.c_str()) || !IsServiceUrl(url)) continue;
        FetchMemberFile(*client, url, groupFolder + velmora::kPathSep + name);
    }
    return 1;
}

int CGroupDownloader::ReadGroupFile(const char* path, std::vector<Member>& members) {
    MemberNames names;
    ReadMembers(path, members, names);
    return 1;
}

int CGroupDownloader::DownloadGroups(bool download, CStockGroupDownloadNotif* sink) {
    if (download) Download(sink);
    // Built aside and swapped in, so that readers on other threads never see a half-built map.
    auto list = std::make_shared<GroupList>();
    auto index = std::make_shared<GroupIndex>();
    MemberNames names;
    const std::string root = GetGroupRoot();
    if (velmora::FolderExists(root.c_str())) {
        std::vector<std::string> categories;
        ListDirectory(root.c_str(), categories, kListFolders);
        std::sort(categories.begin(), categories.end());
        for (const std::string& category : categories) {
            // The category's files are read first: its sequence is then sized once, where growing
            // it record by record moved the members again and again.
            struct GroupFiles {
                const std::string* group;
                std::vector<std::string> contents;
            };
            std::vector<GroupFiles> read;
            size_t records = 0;
            std::string catFolder = root + velmora::kPathSep + category;
            std::vector<std::string> groups;
            ListDirectory(catFolder.c_str(), groups, kListFolders);
            std::sort(groups.begin(), groups.end());
            for (const std::string& group : groups) {
                std::string groupFolder = catFolder + velmora::kPathSep + group;
                std::vector<std::string> files;
                ListDirectory(groupFolder.c_str(), files, kListFiles);
                // A save cut short by the end of the process leaves its temporary file behind.
                files.erase(std::remove_if(files.begin(), files.end(),
                                           [](const std::string& f) {
                                               return f.size() >= 4 && f.compare(f.size() - 4, 4, ".tmp") == 0;
                                           }),
                            files.end());
                if (files.empty()) continue;
                std::sort(files.begin(), files.end());
                read.push_back({&group, std::vector<std::string>(files.size())});
                for (size_t i = 0; i < files.size(); ++i) {
                    std::string& data = read.back().contents[i];
                    if (!velmora::ReadWholeFile((groupFolder + velmora::kPathSep + files[i]).c_str(), data, 1 << 20))
                        data.clear();
                    records += size_t(MemberCount(data));
                }
            }
            std::vector<Member> sequence;
            sequence.reserve(records);
            std::map<int, std::string> starts;
            for (const GroupFiles& g : read) {
                starts[int(sequence.size())] = *g.group;
                for (const std::string& data : g.contents) ParseMembers(data, sequence, names);
            }
            if (!sequence.empty()) {
                (*list)[category] = std::move(sequence);
                (*index)[category] = std::move(starts);
            }
        }
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_list = list;
    m_index = index;
    return 1;
}

int CGroupDownloader::GetGroupList(std::shared_ptr<const GroupList>& out) {
    std::lock_guard<std::mutex> lock(m_lock);
    out = m_list;
    return 1;
}

int CGroupDownloader::GetGroupMembers(std::shared_ptr<const GroupIndex>& out) {
    std::lock_guard<std::mutex> lock(m_lock);
    out = m_index;
    return 1;
}

void CGroupDownloader::FindGroupsOfStock(const char* code, std::vector<std::string>& names) {
    if (!code) return;
    std::shared_ptr<const GroupList> list;
    std::shared_ptr<const GroupIndex> index;
    GetGroupList(list);
    GetGroupMembers(index);
    for (const auto& category : *list) {
        auto starts = index->find(category.first);
        std::string current;
        const std::vector<Member>& members = category.second;
        for (size_t i = 0; i < members.size(); ++i) {
            if (starts != index->end()) {
                auto at = starts->second.find(int(i));
                if (at != starts->second.end()) current = category.first + "-" + at->second;
            }
            if (members[i].first == code) names.push_back(current);
        }
    }
}

namespace {
std::mutex g_downloaderLock;
std::unique_ptr<CGroupDownloader> g_downloader;
}  // namespace

CGroupDownloader* GetGroupDownloader() {
    std::lock_guard<std::mutex> lock(g_downloaderLock);
    if (!g_downloader) g_downloader.reset(new (std::nothrow) CGroupDownloader);
    return g_downloader.get();
}

void FreeGroupDownloader() {
    std::lock_guard<std::mutex> lock(g_downloaderLock);
    g_downloader.reset();
}
