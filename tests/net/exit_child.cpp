// Starts the download manager, queues tasks and returns from main without freeing it, the way a
// program that forgets FreeDownloadManager ends. The download test runs it and checks that it
// exits promptly.
// Arguments: "services" (the process-wide manager) or "own" (a manager of its own on the
// process-wide queue, never destroyed), then the port of a server that never answers, or 0 for
// no tasks at all (the workers wait on the queue).
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "net/download.h"
#include "net/services.h"

namespace {
// Never freed: the queue's destruction must stop it. Held here, it is not a leak to a checker.
DownloadManager* g_own = nullptr;
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    DownloadManager* manager = nullptr;
    if (std::strcmp(argv[1], "services") == 0) {
        manager = GetDownloadManager();
    } else {
        manager = g_own = new DownloadManager;
        if (!manager->Start(3)) return 3;
    }
    if (!manager) return 4;
    int port = std::atoi(argv[2]);
    if (port > 0) {
        // More tasks than workers: some wait on the silent server, the rest stay queued.
        for (int i = 0; i < 40; ++i) {
            std::string url = "http://127.0.0.1:" + std::to_string(port) + "/file" + std::to_string(i);
            if (!manager->AddTask(url.c_str(), "", "", nullptr, nullptr, false, false)) return 5;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the workers busy when the process ends
    return 0;
}
