#include <mutex>

#include "platform/native_mutex.h"

namespace platform {

struct NativeMutex {
    std::recursive_mutex mutex;
};

NativeMutex* CreateRecursiveMutex() {
    return new NativeMutex;
}
void EnterMutex(NativeMutex* mutex) {
    mutex->mutex.lock();
}
void LeaveMutex(NativeMutex* mutex) {
    mutex->mutex.unlock();
}
void DestroyMutex(NativeMutex* mutex) {
    delete mutex;
}

}  // namespace platform
