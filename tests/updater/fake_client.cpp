// A stand-in client for the update tests: records its version, the mutex state it found and
// its command line in "<own path>.ran", then exits.
#include <windows.h>

#include <cstdio>
#include <string>

#ifndef FAKE_CLIENT_VERSION
#define FAKE_CLIENT_VERSION 0
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "KAMO_STOCK_PRODUCTS");
    bool free = mutex && GetLastError() != ERROR_ALREADY_EXISTS;
    char self[1024] = {0};
    GetModuleFileNameA(nullptr, self, sizeof(self) - 1);
    std::string marker = std::string(self) + ".ran";
    if (FILE* f = std::fopen(marker.c_str(), "wb")) {
        std::fprintf(f, "%d %s", FAKE_CLIENT_VERSION, free ? "free" : "held");
        std::fclose(f);
    }
    return 0;
}
