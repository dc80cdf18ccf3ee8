// A recursive mutual-exclusion object: the thread that holds it may enter
// it again and must leave it once per entry.
#pragma once

namespace platform {

struct NativeMutex;

NativeMutex* CreateRecursiveMutex();
void EnterMutex(NativeMutex* mutex);
void LeaveMutex(NativeMutex* mutex);
void DestroyMutex(NativeMutex* mutex);

}  // namespace platform
