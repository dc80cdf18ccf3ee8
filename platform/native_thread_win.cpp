// windows.h first: the other system headers need its types.
#include <windows.h>

#include <process.h>

#include "platform/native_thread.h"

namespace platform {

namespace {

struct StartContext {
    ThreadRoutine routine;
    void* argument;
};

unsigned __stdcall Trampoline(void* raw) {
    const StartContext context = *static_cast<StartContext*>(raw);
    delete static_cast<StartContext*>(raw);
    return context.routine(context.argument);
}

HANDLE ToHandle(ThreadHandle thread) {
    return reinterpret_cast<HANDLE>(thread);
}

}  // namespace

ThreadHandle StartSystemThread(ThreadRoutine routine, void* argument) {
    if (routine == nullptr) return nullptr;
    auto* context = new StartContext{routine, argument};
    const uintptr_t handle = _beginthreadex(nullptr, 0, &Trampoline, context, 0, nullptr);
    if (handle == 0) {
        delete context;
        return nullptr;
    }
    return reinterpret_cast<ThreadHandle>(handle);
}

bool WaitThread(ThreadHandle thread, uint32_t ms) {
    if (thread == nullptr) return false;
    return WaitForSingleObject(ToHandle(thread), ms) == WAIT_OBJECT_0;
}

bool ThreadExitCode(ThreadHandle thread, uint32_t* code) {
    if (thread == nullptr || code == nullptr) return false;
    // STILL_ACTIVE is also a legal result, so ask whether it has ended first.
    if (WaitForSingleObject(ToHandle(thread), 0) != WAIT_OBJECT_0) return false;
    DWORD result = 0;
    if (!GetExitCodeThread(ToHandle(thread), &result)) return false;
    *code = result;
    return true;
}

void CloseThread(ThreadHandle thread) {
    if (thread != nullptr) CloseHandle(ToHandle(thread));
}

uint32_t CurrentThreadId() {
    return GetCurrentThreadId();
}

void SleepMs(uint32_t ms) {
    Sleep(ms);
}

}  // namespace platform
