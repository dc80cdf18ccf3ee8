#include <windows.h>

#include "platform/native_mutex.h"

namespace platform {

struct NativeMutex {
    CRITICAL_SECTION section;
};

NativeMutex* CreateRecursiveMutex() {
    auto* mutex = new NativeMutex;
    InitializeCriticalSection(&mutex->section);
    return mutex;
}

void EnterMutex(NativeMutex* mutex) {
    EnterCriticalSection(&mutex->section);
}
void LeaveMutex(NativeMutex* mutex) {
    LeaveCriticalSection(&mutex->section);
}

void DestroyMutex(NativeMutex* mutex) {
    DeleteCriticalSection(&mutex->section);
    delete mutex;
}

}  // namespace platform
