#include "net/download.h"

#include <cstdlib>
#include <thread>

#include "base/inflate.h"
#include "base/savefile.h"
#include "base/text.h"

namespace {

const long kFail = DownloadManager::E_FAIL_RESULT;
const char kGzipHeader[] = "Accept-Encoding: gzip, deflate";

}  // namespace

// ---- queue ----

CTaskQueue& GetTaskQueue() {
    static CTaskQueue queue;
    return queue;
}

bool CTaskQueue::HasUrlLocked(const std::string& url) const {
    for (const DownloadTask& t : m_tasks)
        if (GbkCompareNoCase(t.url.c_str(), url.c_str()) == 0) return true;
    return false;
}

void CTaskQueue::PushLocked(const DownloadTask& task, bool front) {
    if (front && !m_tasks.empty()) m_tasks.push_front(task);
    else m_tasks.push_back(task);
    ++m_nCount;
    m_ready.notify_one();
}

bool CTaskQueue::HasUrl(const std::string& url) {
    SingleLock lock(this);
    return HasUrlLocked(url);
}

bool CTaskQueue::AddTask(const std::string& url, const std::string& key, const std::string& localPath,
                         DownloadCallback callback, void* context, bool front, bool save, bool gzip) {
    DownloadTask task;
    task.url = url;
    task.key = key;
    task.localPath = localPath;
    task.callback = callback;
    task.context = context;
    task.save = save;
    task.gzip = gzip;
    task.state = DownloadTask::kQueued;
    SingleLock lock(this);
    if (HasUrlLocked(url)) return false;
    PushLocked(task, front);
    return true;
}

void CTaskQueue::PushTask(const DownloadTask& task, bool front) {
    DownloadTask copy = task;
    copy.state = DownloadTask::kQueued;
    SingleLock lock(this);
    PushLocked(copy, front);
}

bool CTaskQueue::PopTask(DownloadTask& out) {
    SingleLock lock(this);
    for (auto it = m_tasks.begin(); it != m_tasks.end(); ++it) {
        if (it->state == DownloadTask::kRunning) continue;
        out = *it;
        out.state = DownloadTask::kRunning;
        m_tasks.erase(it);
        return true;
    }
    return false;
}

bool CTaskQueue::WaitPopTask(DownloadTask& out, const std::atomic<bool>& stop) {
    Adapter adapter{this};
    std::unique_lock<Adapter> lock(adapter);
    m_ready.wait(lock, [&] { return stop.load(std::memory_order_acquire) || !m_tasks.empty(); });
    if (stop.load(std::memory_order_acquire)) return false;
    out = m_tasks.front();
    out.state = DownloadTask::kRunning;
    m_tasks.pop_front();
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
    std::list<DownloadTask> taken;
    {
        SingleLock lock(this);
        taken.swap(m_tasks);
        m_nCount -= static_cast<int>(taken.size());
        if (m_nCount < 0) m_nCount = 0;
    }
    if (dropped) dropped->insert(dropped->end(), taken.begin(), taken.end());
    return taken.size();
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
        task.state = DownloadTask::kFailed;
        m_body.Reset();
        return kFail;
    }
}

// ---- workers ----

CDownloadObject::CDownloadObject(CTaskQueue* queue, DownloadManager* owner) : m_pQueue(queue), m_pOwner(owner) {}

CDownloadObject::~CDownloadObject() { Stop(); }

void CDownloadObject::Stop() {
    RequestStop();
    CancelDownload();
    m_pQueue->WakeAll();
    CThread::Stop();
}

void CDownloadObject::Run() {
    while (!IsStopRequested()) {
        DownloadTask task;
        if (!m_pQueue->WaitPopTask(task, m_bStop)) continue;
        m_bBusy.store(true, std::memory_order_release);
        m_context.DoTask(task);  // a failed task is dropped: no callback, not queued again
        m_pQueue->OnTaskDone();
        m_pOwner->NotifyTaskEnd(task);
        m_bBusy.store(false, std::memory_order_release);
    }
}

CTaskDispatch::~CTaskDispatch() {
    for (CDownloadObject* w : m_workers) delete w;
    m_workers.clear();
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
    if (!m_workers.empty()) return true;
    int n = workerCount > 0 ? workerCount : DefaultWorkerCount();
    for (int i = 0; i < n; ++i) {
        CDownloadObject* worker = nullptr;
        try {
            worker = new CDownloadObject(m_pQueue, this);
            worker->Start(false);
        } catch (...) {
            delete worker;
            StopWorkers();
            return false;
        }
        m_workers.push_back(worker);
    }
    return true;
}

void DownloadManager::StopWorkers() {
    for (CDownloadObject* w : m_workers) {
        w->RequestStop();
        w->CancelDownload();
    }
    m_pQueue->WakeAll();
    for (CDownloadObject* w : m_workers) delete w;  // each joins its thread
    m_workers.clear();
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
