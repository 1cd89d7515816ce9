#include "platform/runtime/report_watchdog.h"

#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/runtime/debug_log.h"

namespace kx {

namespace {

// Deadline on the monotonic clock in nanoseconds; 0 while disarmed. Lock-free, so that a signal
// handler may store it.
std::atomic<std::int64_t> g_deadline{0};
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

// Posted on every arm and disarm so that the thread re-reads the deadline; sem_post is one of
// the few wake-ups a signal handler may use.
sem_t g_wake;
std::atomic<bool> g_running{false};
std::mutex g_startMutex;

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

std::int64_t monotonicNow() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

[[noreturn]] void endProcessNow() noexcept {
    static constexpr char kNote[] =
        "KXVantor: the error report did not reach its dialog in time; ending the process\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kNote, sizeof kNote - 1);
    _exit(1);
}

void waitForWake(std::int64_t deadline) noexcept {
    if (deadline == 0) {
        while (sem_wait(&g_wake) != 0 && errno == EINTR) {
        }
        return;
    }
    timespec until{};
    until.tv_sec = static_cast<time_t>(deadline / kNanosPerSecond);
    until.tv_nsec = static_cast<long>(deadline % kNanosPerSecond);
    while (sem_clockwait(&g_wake, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
    }
}

void* watchdogMain(void*) {
    for (;;) {
        const std::int64_t deadline = g_deadline.load();
        if (deadline != 0 && monotonicNow() >= deadline) {
            endProcessNow();
        }
        waitForWake(deadline);
    }
}

// A forked child has no watchdog thread; let it start its own.
void resetInChild() noexcept {
    g_running.store(false);
    g_deadline.store(0);
}

}  // namespace

bool prepareReportWatchdog() {
    std::lock_guard lock(g_startMutex);
    if (g_running.load()) {
        return true;
    }
    static const bool atForkRegistered = pthread_atfork(nullptr, nullptr, resetInChild) == 0;
    if (!atForkRegistered) {
        debugLog("the report watchdog cannot reset itself in forked children");
    }
    if (sem_init(&g_wake, 0, 0) != 0) {
        return false;
    }
    // The thread blocks every signal, so that asynchronous signals keep going to the program's
    // own threads.
    sigset_t all, previous;
    sigfillset(&all);
    if (pthread_sigmask(SIG_SETMASK, &all, &previous) != 0) {
        sem_destroy(&g_wake);
        return false;  // the thread would take signals meant for the program's own threads
    }
    pthread_t thread{};
    const bool started = pthread_create(&thread, nullptr, watchdogMain, nullptr) == 0;
    if (pthread_sigmask(SIG_SETMASK, &previous, nullptr) != 0) {
        debugLog(
            "the signal mask of the thread that started the report watchdog was not "
            "restored");
    }
    if (!started) {
        sem_destroy(&g_wake);
        return false;
    }
    if (pthread_detach(thread) != 0) {
        debugLog("the report watchdog's thread could not be detached");
    }
    g_running.store(true);
    return true;
}

void armReportWatchdog(std::chrono::milliseconds bound) noexcept {
    if (!g_running.load()) {
        return;
    }
    // A day is more than any report needs and keeps the nanosecond sum far from overflowing.
    const auto clamped = std::clamp(bound, std::chrono::milliseconds(0),
                                    std::chrono::milliseconds(std::chrono::hours(24)));
    const std::int64_t boundNanos =
        std::chrono::duration_cast<std::chrono::nanoseconds>(clamped).count();
    // At least one nanosecond, because 0 means disarmed.
    g_deadline.store(monotonicNow() + (boundNanos > 0 ? boundNanos : 1));
    sem_post(&g_wake);
}

void disarmReportWatchdog() noexcept {
    g_deadline.store(0);
    if (g_running.load()) {
        sem_post(&g_wake);
    }
}

bool reportWatchdogArmed() noexcept {
    return g_deadline.load() != 0;
}

}  // namespace kx
