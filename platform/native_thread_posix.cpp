#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/native_thread.h"

namespace platform {

// A joinable thread that can also be waited for with a time-out and asked
// for its result, as an OS thread handle allows.
struct NativeThread {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    uint32_t exitCode = 0;
};

namespace {

void RunThread(NativeThread* self, ThreadRoutine routine, void* argument) {
    const uint32_t code = routine(argument);
    std::lock_guard<std::mutex> guard(self->mutex);
    self->exitCode = code;
    self->done = true;
    self->finished.notify_all();
}

std::atomic<uint32_t> g_nextThreadId{1};

}  // namespace

ThreadHandle StartSystemThread(ThreadRoutine routine, void* argument) {
    if (routine == nullptr) return nullptr;
    auto native = std::make_unique<NativeThread>();
    try {
        native->thread = std::thread(&RunThread, native.get(), routine, argument);
    } catch (const std::system_error&) {
        return nullptr;
    }
    return native.release();
}

bool WaitThread(ThreadHandle thread, uint32_t ms) {
    if (thread == nullptr) return false;
    std::unique_lock<std::mutex> lock(thread->mutex);
    if (ms == kInfinite) {
        thread->finished.wait(lock, [thread] { return thread->done; });
        return true;
    }
    return thread->finished.wait_for(lock, std::chrono::milliseconds(ms),
                                     [thread] { return thread->done; });
}

bool ThreadExitCode(ThreadHandle thread, uint32_t* code) {
    if (thread == nullptr || code == nullptr) return false;
    std::lock_guard<std::mutex> guard(thread->mutex);
    if (!thread->done) return false;
    *code = thread->exitCode;
    return true;
}

void CloseThread(ThreadHandle thread) {
    if (thread == nullptr) return;
    if (thread->thread.joinable()) thread->thread.join();
    delete thread;
}

uint32_t CurrentThreadId() {
    // Ids are handed out on first use; 0 is skipped so it never names a thread.
    thread_local const uint32_t id = [] {
        uint32_t next = g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
        while (next == 0) next = g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
        return next;
    }();
    return id;
}

void SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
