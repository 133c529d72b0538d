// The download manager: one process-wide task queue, a pool of worker threads that fetch, unpack,
// save and call back, and synchronous downloads on the caller's thread. Workers start on demand:
// a thread costs about 2 MB under Wine, and a client that reads stored files needs none.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/memstream.h"
#include "base/thread.h"
#include "net/httpclient.h"

// Called on the fetching thread with the unpacked body, which is valid only during the call.
typedef void (*DownloadCallback)(const char* key, const char* localPath, void* context, const void* data, int size);

struct DownloadTask {
    enum State { kQueued = 0, kRunning = 1, kDone = 2, kFailed = 4 };

    std::string url;        // the queue's identity of a task (compared without regard to case)
    std::string localPath;  // written when save is set, and passed to the callback
    std::string key;        // the caller's key, passed to the callback
    bool gzip = false;      // ask for a compressed body and unpack it
    DownloadCallback callback = nullptr;
    void* context = nullptr;
    int state = kQueued;
    bool save = false;
};

class DownloadManager;
class CDownloadObject;

// The queued tasks under their own lock, with a condition the workers wait on. An index of the queued
// URLs (folded to lower case, GBK-aware) makes the duplicate check and every change O(1), so adding
// never holds the lock for a scan while the workers wait.
class CTaskQueue : public CriticalSection {
public:
    CTaskQueue() = default;
    // Stops every manager still started on this queue, so that no worker waits on a destroyed
    // queue (the process-wide one is destroyed at exit, when nobody may have stopped them).
    ~CTaskQueue() override;

    bool HasUrl(const std::string& url);
    // False, with nothing changed, when the URL is already queued.
    bool AddTask(std::string url, std::string key, std::string localPath, DownloadCallback callback, void* context,
                 bool front, bool save, bool gzip);
    // Queues a copy at the front (when asked and the queue is not empty) or at the back.
    void PushTask(const DownloadTask& task, bool front);
    // Takes the first task out, marked running.
    bool PopTask(DownloadTask& out);
    // Waits until a task can be taken (true) or stop is set (false).
    bool WaitPopTask(DownloadTask& out, const std::atomic<bool>& stop);
    // Workers of the managers started on this queue that hold no task.
    int GetIdleWorkerCount();
    // Wakes every waiting worker, so that each looks at its stop flag.
    void WakeAll();
    bool IsEmpty();
    // Tasks queued or taken and not yet finished.
    int GetCount();
    void OnTaskDone();
    // Empties the queue; the tasks taken out are appended to dropped when given.
    size_t Clear(std::vector<DownloadTask>* dropped);
    // True when the index holds exactly the URLs of the queued tasks (for tests).
    bool IndexIsConsistent();

    // The index key of a URL: ASCII letters that are whole GBK characters in lower case, the rest
    // as it is, up to the first NUL; two URLs are the same task exactly when their keys are equal.
    static std::string UrlKey(const std::string& url);

private:
    friend class DownloadManager;
    friend class CDownloadObject;
    struct Adapter {  // lets a condition variable wait on the critical section
        CriticalSection* cs;
        void lock() { cs->Lock(); }
        void unlock() { cs->Unlock(); }
    };
    typedef std::unordered_map<std::string, int> Index;  // URL key -> queued tasks with it
    struct Entry {
        DownloadTask task;
        Index::value_type* slot = nullptr;  // the task's index entry (element addresses are stable)
    };
    // Indexes the entry (made outside the lock) and moves it into the queue.
    void PushLocked(Entry& entry, Index::value_type* slot, bool front);
    void TakeFrontLocked(DownloadTask& out);
    // WaitPopTask for a worker: it counts as idle until it takes a task.
    bool WorkerPopTask(CDownloadObject& worker, DownloadTask& out);
    int IdleWorkersLocked() const;
    // Called when a task waits and every started worker is busy: one more starts, for the first
    // manager under its limit. It starts under the lock, which its first step waits for.
    void GrowLocked();

    std::deque<Entry> m_tasks;  // front first
    Index m_index;  // PushTask may queue a URL more than once: hence a count
    int m_nCount = 0;
    int m_nWaiting = 0;  // workers inside WaitPopTask's wait: without any, adding wakes nobody
    std::condition_variable_any m_ready;
    std::vector<DownloadManager*> m_managers;  // started on this queue
};

// The process-wide queue, which exists before the program's entry runs.
CTaskQueue& GetTaskQueue();

// The working set of one fetching thread.
class DownloadContext {
public:
    enum { kBufferSize = 16384 };
    DownloadContext();
    ~DownloadContext();

    bool InitBuffers();
    void FreeBuffers();
    // 0 on success, E_FAIL (negative) on failure; the task's state becomes 2 or 4.
    long FetchUrl(DownloadTask& task);
    long FinishTask(DownloadTask& task);
    // Fetches, unpacks, saves (when asked), then calls back. Never throws.
    long DoTask(DownloadTask& task);

    HttpClient& Client() { return m_client; }

private:
    HttpClient m_client;
    CMemoryStream m_body;
    char* m_pBuffer = nullptr;
};

class CDownloadObject : public CThread {
public:
    enum { kWorkerStackSize = 1024 * 1024 };
    CDownloadObject(CTaskQueue* queue, DownloadManager* owner);
    ~CDownloadObject() override;
    // Also wakes the worker if it waits for a task, and cancels its download in progress.
    void Stop() override;
    void Run() override;
    bool IsBusy() const { return m_bBusy.load(std::memory_order_acquire); }
    void CancelDownload() { m_context.Client().Cancel(); }
    void ResetCancel() { m_context.Client().ResetCancel(); }

    // Worker bodies running in the process (ended ones excluded): for checking that a stop ended them.
    static int GetRunningCount() { return s_running.load(std::memory_order_acquire); }

private:
    friend class CTaskQueue;
    CTaskQueue* m_pQueue;
    DownloadManager* m_pOwner;
    DownloadContext m_context;
    std::atomic<bool> m_bBusy{false};
    bool m_bIdle = true;  // under the queue's lock: waiting for a task or not yet at the wait
    static std::atomic<int> s_running;
};

// Owns the workers. The workers wait on the queue's condition, so no thread of its own is needed
// to hand out the tasks; the queue starts them as tasks wait (the list changes under its lock).
class CTaskDispatch {
public:
    explicit CTaskDispatch(CTaskQueue* queue) : m_pQueue(queue) {}
    virtual ~CTaskDispatch();

protected:
    CTaskQueue* m_pQueue;
    std::vector<std::unique_ptr<CDownloadObject>> m_workers;
    int m_nLimit = 0;  // under the queue's lock: how many may run; 0 while stopped
};

class DownloadManager : public CTaskDispatch {
public:
    static constexpr long E_FAIL_RESULT = -2147467259L;  // E_FAIL

    explicit DownloadManager(CTaskQueue* queue = &GetTaskQueue());
    ~DownloadManager() override;

    // Lets up to workerCount workers run (0: the number of processors plus one). None starts here:
    // one starts when a task waits and every started worker is busy. A worker that cannot start
    // leaves its task to the ones running (logged).
    bool Start(int workerCount = 0);
    // Cancels the downloads in progress, waits for every worker and for synchronous downloads in
    // progress, and empties the queue: no task queued before the stop calls back after it.
    void Stop();
    bool IsStarted() const;
    // The workers started so far, and how many may be.
    int GetWorkerCount() const;
    int GetWorkerLimit() const;

    bool AddTask(const char* url, const char* key, const char* localPath, DownloadCallback callback, void* context,
                 bool front, bool gzip);
    // Runs the task on the caller's thread with a context of the call's own. On failure: false,
    // or with requeue the task goes to the front of the queue and the result is true.
    bool DownloadNow(const char* url, const char* key, const char* localPath, DownloadCallback callback,
                     void* context, bool requeue, bool save, bool gzip);

    // Told of every task that ends: done (2), failed (4), or dropped by Stop while queued (0).
    // Set it before Start; it runs on the thread where the task ended.
    void SetTaskObserver(std::function<void(const DownloadTask&)> observer) { m_observer = std::move(observer); }
    void NotifyTaskEnd(const DownloadTask& task) {
        if (m_observer) m_observer(task);
    }

    static int DefaultWorkerCount();

private:
    friend class CTaskQueue;
    void StopWorkers();

    std::function<void(const DownloadTask&)> m_observer;
    std::mutex m_nowLock;  // guards the list of synchronous downloads in progress
    std::condition_variable m_nowDone;
    std::vector<DownloadContext*> m_nowContexts;
    bool m_bStopping = false;
};
