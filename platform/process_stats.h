// Counts of the current process's threads and OS handles, for leak checks.
#pragma once

namespace platform {

// -1 when the platform cannot tell.
int CurrentThreadCount();
int CurrentHandleCount();

}  // namespace platform
