#include "net/download.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "base/inflate.h"
#include "base/log.h"
#include "base/savefile.h"

namespace {

const long kFail = DownloadManager::E_FAIL_RESULT;
const char kGzipHeader[] = "Accept-Encoding: gzip, deflate";

}  // namespace

// ---- queue ----

CTaskQueue& GetTaskQueue() {
    static CTaskQueue queue;
    return queue;
}

CTaskQueue::~CTaskQueue() {
    std::vector<DownloadManager*> managers;
    {
        SingleLock lock(this);
        managers = m_managers;
    }
    for (DownloadManager* m : managers) m->Stop();
}

std::string CTaskQueue::UrlKey(const std::string& url) {
    // The same rule as GbkCompareNoCase: a byte that is a whole character folds, a trail byte not
    // (GbkCharLength, spelt out: this runs for every task queued).
    std::string key(url.c_str());
    const size_t n = key.size();
    char* p = &key[0];
    unsigned high = 0;
    for (size_t i = 0; i < n; ++i) high |= static_cast<unsigned char>(p[i]);
    if (high < 0x80) {
        // Plain ASCII, as URLs nearly always are: a loop the compiler can run on whole words.
        for (size_t i = 0; i < n; ++i) {
            unsigned char c = static_cast<unsigned char>(p[i]);
            p[i] = static_cast<char>(c | (static_cast<unsigned char>(c - 'A') < 26 ? 0x20 : 0));
        }
        return key;
    }
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (c >= 'A' && c <= 'Z') p[i] = static_cast<char>(c - 'A' + 'a');
        else if (c >= 0x81 && c <= 0xFE && i + 1 < n) ++i;  // a lead byte: its trail byte stays
    }
    return key;
}

void CTaskQueue::PushLocked(Entry& entry, Index::value_type* slot, bool front) {
    ++slot->second;
    entry.slot = slot;
    ++m_nCount;
    if (front && !m_tasks.empty()) m_tasks.push_front(std::move(entry));
    else m_tasks.push_back(std::move(entry));
    if (m_nWaiting > 0) m_ready.notify_one();
    if (!m_managers.empty() && IdleWorkersLocked() == 0) GrowLocked();
}

int CTaskQueue::IdleWorkersLocked() const {
    int idle = 0;
    for (const DownloadManager* m : m_managers)
        for (const auto& w : m->m_workers) idle += w->m_bIdle ? 1 : 0;
    return idle;
}

void CTaskQueue::GrowLocked() {
    for (DownloadManager* m : m_managers) {
        if (static_cast<int>(m->m_workers.size()) >= m->m_nLimit) continue;
        try {
            auto worker = std::make_unique<CDownloadObject>(this, m);
            worker->Start(false);  // its first step waits for this lock
            m->m_workers.push_back(std::move(worker));
        } catch (...) {
            LogCaughtException("CTaskQueue", "a download worker did not start");
        }
        return;
    }
}

int CTaskQueue::GetIdleWorkerCount() {
    SingleLock lock(this);
    return IdleWorkersLocked();
}

void CTaskQueue::TakeFrontLocked(DownloadTask& out) {
    Entry& e = m_tasks.front();
    if (--e.slot->second <= 0) m_index.erase(m_index.find(e.slot->first));
    out = std::move(e.task);
    out.state = DownloadTask::kRunning;
    m_tasks.pop_front();
}

bool CTaskQueue::HasUrl(const std::string& url) {
    std::string key = UrlKey(url);
    SingleLock lock(this);
    return m_index.count(key) != 0;
}

bool CTaskQueue::AddTask(std::string url, std::string key, std::string localPath, DownloadCallback callback,
                         void* context, bool front, bool save, bool gzip) {
    // The entry and its key are made before the lock is taken; under it only a look-up and a move.
    Entry entry;
    DownloadTask& task = entry.task;
    std::string urlKey = UrlKey(url);
    task.url = std::move(url);
    task.key = std::move(key);
    task.localPath = std::move(localPath);
    task.callback = callback;
    task.context = context;
    task.save = save;
    task.gzip = gzip;
    task.state = DownloadTask::kQueued;
    SingleLock lock(this);
    auto slot = m_index.try_emplace(std::move(urlKey), 0);
    if (!slot.second) return false;  // queued already
    PushLocked(entry, &*slot.first, front);
    return true;
}

void CTaskQueue::PushTask(const DownloadTask& task, bool front) {
    Entry entry;
    entry.task = task;
    entry.task.state = DownloadTask::kQueued;
    std::string urlKey = UrlKey(task.url);
    SingleLock lock(this);
    PushLocked(entry, &*m_index.try_emplace(std::move(urlKey), 0).first, front);
}

bool CTaskQueue::PopTask(DownloadTask& out) {
    // Every task in the list is queued (state 0): the ones taken are no longer in it.
    SingleLock lock(this);
    if (m_tasks.empty()) return false;
    TakeFrontLocked(out);
    return true;
}

bool CTaskQueue::WaitPopTask(DownloadTask& out, const std::atomic<bool>& stop) {
    Adapter adapter{this};
    std::unique_lock<Adapter> lock(adapter);
    // The count changes under the queue's lock, which the wait gives up only once it listens.
    ++m_nWaiting;
    m_ready.wait(lock, [&] { return stop.load(std::memory_order_acquire) || !m_tasks.empty(); });
    --m_nWaiting;
    if (stop.load(std::memory_order_acquire)) return false;
    TakeFrontLocked(out);
    return true;
}

bool CTaskQueue::WorkerPopTask(CDownloadObject& worker, DownloadTask& out) {
    Adapter adapter{this};
    std::unique_lock<Adapter> lock(adapter);
    worker.m_bIdle = true;
    ++m_nWaiting;
    m_ready.wait(lock, [&] { return worker.IsStopRequested() || !m_tasks.empty(); });
    --m_nWaiting;
    if (worker.IsStopRequested()) return false;
    TakeFrontLocked(out);
    worker.m_bIdle = false;
    // More wait and nobody is free to take them: the next worker starts now, not at the next add.
    if (!m_tasks.empty() && IdleWorkersLocked() == 0) GrowLocked();
    return true;
}

void CTaskQueue::WakeAll() {
    // Taking the lock first means no worker is between its check and its wait.
    SingleLock lock(this);
    m_ready.notify_all();
}

bool CTaskQueue::IsEmpty() {
    SingleLock lock(this);
    return m_tasks.empty();
}

int CTaskQueue::GetCount() {
    SingleLock lock(this);
    return m_nCount;
}

void CTaskQueue::OnTaskDone() {
    SingleLock lock(this);
    if (m_nCount > 0) --m_nCount;
}

size_t CTaskQueue::Clear(std::vector<DownloadTask>* dropped) {
    // Both are swapped out in O(1): freeing them does not hold the lock.
    std::deque<Entry> taken;
    Index index;
    {
        SingleLock lock(this);
        taken.swap(m_tasks);
        index.swap(m_index);
        m_nCount -= static_cast<int>(taken.size());
        if (m_nCount < 0) m_nCount = 0;
    }
    if (dropped) {
        dropped->reserve(dropped->size() + taken.size());
        for (Entry& e : taken) dropped->push_back(std::move(e.task));
    }
    return taken.size();
}

bool CTaskQueue::IndexIsConsistent() {
    SingleLock lock(this);
    Index counted;
    for (const Entry& e : m_tasks) {
        auto it = m_index.find(UrlKey(e.task.url));
        if (it == m_index.end() || &*it != e.slot) return false;
        ++counted[it->first];
    }
    return counted == m_index;
}

// ---- one fetching context ----

DownloadContext::DownloadContext() { InitBuffers(); }

DownloadContext::~DownloadContext() { FreeBuffers(); }

bool DownloadContext::InitBuffers() {
    if (!m_pBuffer) m_pBuffer = static_cast<char*>(std::malloc(kBufferSize));
    return m_pBuffer != nullptr;
}

void DownloadContext::FreeBuffers() {
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_body.Reset();
}

long DownloadContext::FetchUrl(DownloadTask& task) {
    if (!InitBuffers()) {
        task.state = DownloadTask::kFailed;
        return kFail;
    }
    bool ok = m_client.Download(task.url.c_str(), &m_body, m_pBuffer, kBufferSize, task.gzip ? kGzipHeader : nullptr);
    task.state = ok ? DownloadTask::kDone : DownloadTask::kFailed;
    return ok ? 0 : kFail;
}

long DownloadContext::FinishTask(DownloadTask& task) {
    if (!task.gzip || m_body.GetSize() <= 0) return 0;
    unsigned char* out = nullptr;
    size_t length = 0;
    int rc = InflateBuffer(m_body.GetData(), static_cast<size_t>(m_body.GetSize()), &out, &length, true);
    long result = 0;
    if (rc == 0 && length > 0 && length <= 0x7FFFFFFFu) {
        m_body.Reset();
        if (m_body.Write(out, static_cast<long>(length)) != static_cast<long>(length)) result = kFail;
    } else if (HasGzipMagic(m_body.GetData(), static_cast<size_t>(m_body.GetSize()))) {
        // A compressed body that does not unpack is damaged: never hand it on as data.
        LogError("DownloadContext", "%s: compressed body does not unpack (%d), refused", task.url.c_str(), rc);
        result = kFail;
    }
    std::free(out);
    if (result != 0) task.state = DownloadTask::kFailed;
    return result;
}

long DownloadContext::DoTask(DownloadTask& task) {
    try {
        if (FetchUrl(task) != 0) return kFail;
        if (FinishTask(task) != 0) return kFail;
        const void* data = m_body.GetData();
        long size = m_body.GetSize();
        // Saving comes first, so that the callback may read the file.
        if (task.save) {
            if (size <= 0 || !SaveFileReplacing(task.localPath, data, static_cast<size_t>(size))) {
                LogError("DownloadContext", "%s: %s, %s kept as it was", task.url.c_str(),
                         size <= 0 ? "empty body" : "saving failed", task.localPath.c_str());
                task.state = DownloadTask::kFailed;
                return kFail;
            }
        }
        if (task.callback)
            task.callback(task.key.c_str(), task.localPath.c_str(), task.context, data, static_cast<int>(size));
        task.state = DownloadTask::kDone;
        m_body.Reset();
        return 0;
    } catch (...) {
        LogCaughtException("DownloadContext", task.url.c_str());
        task.state = DownloadTask::kFailed;
        m_body.Reset();
        return kFail;
    }
}

// ---- workers ----

std::atomic<int> CDownloadObject::s_running{0};

CDownloadObject::CDownloadObject(CTaskQueue* queue, DownloadManager* owner) : m_pQueue(queue), m_pOwner(owner) {
    // Under Wine a thread's whole stack is committed memory, so every worker costs its full
    // reservation: the Windows default of 1 MB, not the program's 2 MB, which no download needs.
    SetStackSize(kWorkerStackSize);
}

CDownloadObject::~CDownloadObject() { Stop(); }

void CDownloadObject::Stop() {
    RequestStop();
    CancelDownload();
    m_pQueue->WakeAll();
    CThread::Stop();
}

void CDownloadObject::Run() {
    s_running.fetch_add(1, std::memory_order_acq_rel);
    while (!IsStopRequested()) {
        DownloadTask task;
        if (!m_pQueue->WorkerPopTask(*this, task)) continue;
        m_bBusy.store(true, std::memory_order_release);
        m_context.DoTask(task);  // a failed task is dropped: no callback, not queued again
        m_pQueue->OnTaskDone();
        m_pOwner->NotifyTaskEnd(task);
        m_bBusy.store(false, std::memory_order_release);
    }
    s_running.fetch_sub(1, std::memory_order_acq_rel);
}

CTaskDispatch::~CTaskDispatch() {
    m_workers.clear();  // each joins its thread
}

// ---- manager ----

DownloadManager::DownloadManager(CTaskQueue* queue) : CTaskDispatch(queue) {}

DownloadManager::~DownloadManager() { Stop(); }

int DownloadManager::DefaultWorkerCount() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    int n = static_cast<int>(info.dwNumberOfProcessors);
#else
    int n = static_cast<int>(std::thread::hardware_concurrency());
#endif
    return (n > 0 ? n : 1) + 1;
}

bool DownloadManager::Start(int workerCount) {
    SingleLock lock(m_pQueue);
    if (m_nLimit > 0) return true;
    m_nLimit = workerCount > 0 ? workerCount : DefaultWorkerCount();
    if (std::find(m_pQueue->m_managers.begin(), m_pQueue->m_managers.end(), this) == m_pQueue->m_managers.end())
        m_pQueue->m_managers.push_back(this);
    // Tasks queued before the start wait for a worker too.
    if (!m_pQueue->m_tasks.empty() && m_pQueue->IdleWorkersLocked() == 0) m_pQueue->GrowLocked();
    return true;
}

bool DownloadManager::IsStarted() const {
    SingleLock lock(m_pQueue);
    return m_nLimit > 0;
}

int DownloadManager::GetWorkerCount() const {
    SingleLock lock(m_pQueue);
    return static_cast<int>(m_workers.size());
}

int DownloadManager::GetWorkerLimit() const {
    SingleLock lock(m_pQueue);
    return m_nLimit;
}

void DownloadManager::StopWorkers() {
    // Out of the queue's hands first, so that no worker starts while these stop.
    std::vector<std::unique_ptr<CDownloadObject>> workers;
    {
        SingleLock lock(m_pQueue);
        m_nLimit = 0;
        workers.swap(m_workers);
        auto& managers = m_pQueue->m_managers;
        managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
    }
    for (const auto& w : workers) {
        w->RequestStop();
        w->CancelDownload();
    }
    m_pQueue->WakeAll();
    workers.clear();  // each joins its thread
}

void DownloadManager::Stop() {
    {
        std::unique_lock<std::mutex> lock(m_nowLock);
        m_bStopping = true;
        for (DownloadContext* c : m_nowContexts) c->Client().Cancel();
    }
    StopWorkers();
    {
        std::unique_lock<std::mutex> lock(m_nowLock);
        m_nowDone.wait(lock, [this] { return m_nowContexts.empty(); });
        m_bStopping = false;
    }
    std::vector<DownloadTask> dropped;
    m_pQueue->Clear(&dropped);
    for (const DownloadTask& t : dropped) NotifyTaskEnd(t);
}

bool DownloadManager::AddTask(const char* url, const char* key, const char* localPath, DownloadCallback callback,
                              void* context, bool front, bool gzip) {
    if (!url || !*url) return false;
    return m_pQueue->AddTask(url, key ? key : "", localPath ? localPath : "", callback, context, front, false, gzip);
}

bool DownloadManager::DownloadNow(const char* url, const char* key, const char* localPath, DownloadCallback callback,
                                  void* context, bool requeue, bool save, bool gzip) {
    DownloadTask task;
    task.url = url ? url : "";
    task.key = key ? key : "";
    task.localPath = localPath ? localPath : "";
    task.callback = callback;
    task.context = context;
    task.save = save;
    task.gzip = gzip;
    DownloadContext context_;
    {
        std::unique_lock<std::mutex> lock(m_nowLock);
        m_nowContexts.push_back(&context_);
        if (m_bStopping) context_.Client().Cancel();
    }
    bool ok = !task.url.empty() && context_.DoTask(task) == 0;
    {
        std::unique_lock<std::mutex> lock(m_nowLock);
        for (auto it = m_nowContexts.begin(); it != m_nowContexts.end(); ++it) {
            if (*it == &context_) {
                m_nowContexts.erase(it);
                break;
            }
        }
        m_nowDone.notify_all();
    }
    if (ok) return true;
    if (!requeue || task.url.empty()) return false;
    m_pQueue->AddTask(task.url, task.key, task.localPath, task.callback, task.context, true, task.save, task.gzip);
    return true;
}
