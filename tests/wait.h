// Waiting in tests: every test that watches another thread, a window or another program polls for
// the event it checks until a deadline. Deadlines are generous: they cost nothing when the event
// comes early, and a loaded machine (or Wine under an emulator) is many times slower than a quiet one.
#pragma once

#include <chrono>
#include <thread>

namespace velmora_test {

// For a step of a program under Wine (a window shown, a file fetched, a process ended).
constexpr int kProgramStepMs = 120000;
// For an in-process event (a thread's flag, a posted message handled, a queued download done).
constexpr int kEventMs = 60000;

// Polls done() every pollMs until it holds or ms have passed; done()'s last answer.
template <class Done>
bool WaitUntil(Done done, int ms = kEventMs, int pollMs = 10) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}

}  // namespace velmora_test
