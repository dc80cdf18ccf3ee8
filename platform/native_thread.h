// Creating, waiting for and closing one OS thread; the calling thread's id.
#pragma once

#include <cstdint>

namespace platform {

struct NativeThread;
using ThreadHandle = NativeThread*;  // null: no thread
using ThreadRoutine = uint32_t (*)(void* argument);

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Starts `routine(argument)` at once; null when the thread cannot be made.
// Goes through the test seam below.
ThreadHandle StartThread(ThreadRoutine routine, void* argument);
// The OS thread creation itself, bypassing the seam.
ThreadHandle StartSystemThread(ThreadRoutine routine, void* argument);
// true once the thread has ended, false when `ms` passed first.
bool WaitThread(ThreadHandle thread, uint32_t ms);
// The routine's result; false while the thread runs.
bool ThreadExitCode(ThreadHandle thread, uint32_t* code);
// Releases the handle; the thread must have ended.
void CloseThread(ThreadHandle thread);

// Never 0: 0 stands for "no thread".
uint32_t CurrentThreadId();
void SleepMs(uint32_t ms);

// Test seam: replaces StartThread for the process and returns the previous
// function. Swap only while no other thread starts threads.
using StartThreadFunction = ThreadHandle (*)(ThreadRoutine routine, void* argument);
StartThreadFunction SetStartThreadForTesting(StartThreadFunction start);

}  // namespace platform
