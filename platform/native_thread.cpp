#include "platform/native_thread.h"

namespace platform {

namespace {
StartThreadFunction g_startThread = &StartSystemThread;
}  // namespace

ThreadHandle StartThread(ThreadRoutine routine, void* argument) {
    return g_startThread(routine, argument);
}

StartThreadFunction SetStartThreadForTesting(StartThreadFunction start) {
    const StartThreadFunction previous = g_startThread;
    g_startThread = start != nullptr ? start : &StartSystemThread;
    return previous;
}

}  // namespace platform
