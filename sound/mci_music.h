// The sound service: a thread of its own owning the hidden window
// "MCIMusicWindow". Every media command runs there, so completion notices of
// plays arrive on that thread and are routed to the player that owns the
// device.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "sound/mci_backend.h"

class CMCIMusicFile;
class CMCIMusicCD;

constexpr UINT WM_MCI_COMMAND = 0x2400;  // wParam 0, lParam MCICommand*
constexpr UINT WM_MCI_ATTACH = 0x2401;   // wParam CMCIMusic*, lParam 0

// `result` of a command that never reached the service thread (no window, or
// no service attached). No MCI error code has this value.
constexpr uint32_t kMCICommandNotDelivered = 0xFFFFFFFFu;

// One media command carried to the service thread; lives in the issuer's
// stack frame for the duration of the send.
struct MCICommand {
    uint32_t deviceId;
    uint32_t command;
    uint32_t flags;
    void* params;
    uint32_t result;
};

class CMCIMusic;
// The service attached to the hidden window; set on the service thread, and
// cleared by a service that leaves its stuck thread behind.
extern std::atomic<CMCIMusic*> g_attachedMusic;

class CMCIMusic {
public:
    // Starts a thread running `routine(argument)`; returns its handle and id,
    // or a null handle on failure.
    using ThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE routine, void* argument,
                                     DWORD* threadId);

    // Returns once the service thread is ready and the CD unit has probed the
    // drives. `backend` defaults to winmm; `startThread` to CreateThread.
    explicit CMCIMusic(HWND ownerWindow, IMCIBackend* backend = nullptr,
                       ThreadStarter startThread = nullptr);
    // Closes and destroys every player and the CD unit, then ends the service
    // thread and returns only after it has exited; a stuck thread is left to
    // the end of the process.
    ~CMCIMusic();

    CMCIMusic(const CMCIMusic&) = delete;
    CMCIMusic& operator=(const CMCIMusic&) = delete;

    // A new open player owned by the service, or null if the file cannot be
    // opened (the list of players is then unchanged).
    CMCIMusicFile* OpenFile(const char* path);
    // Closes, unlinks and destroys the player; returns 1. No other thread may
    // use the player any more.
    int CloseFile(CMCIMusicFile* file);

    // Runs the command on the service thread and waits for it. Returns the
    // command's `result`: the MCI error code, or kMCICommandNotDelivered.
    uint32_t SendCommand(MCICommand& command);
    // The same for a command without a parameter block (stop, close), but
    // waits at most kStuckAfterMs: a stop can wait for a play that never
    // ends (under Wine, when the sound server goes away in mid-play). The
    // service is then stuck, and every later command is not delivered.
    uint32_t SendBoundedCommand(uint32_t deviceId, uint32_t command, uint32_t flags);
    static constexpr DWORD kStuckAfterMs = 3000;
    bool stuck() const { return stuck_.load(); }

    static DWORD WINAPI ThreadProc(void* argument);
    static LRESULT CALLBACK MusicWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    // Service-thread handling: 1 if handled, 0 if not.
    int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND ownerWindow() const { return ownerWindow_; }
    HWND window() const { return window_; }
    DWORD threadId() const { return threadId_; }
    bool hasThread() const { return thread_ != nullptr; }
    const CMCIMusicCD* cd() const { return cd_.get(); }
    IMCIBackend& backend() const { return backend_; }
    // The open players, oldest first (a snapshot).
    std::vector<CMCIMusicFile*> files() const;

private:
    HINSTANCE Instance() const;
    void RunServiceThread();

    HWND ownerWindow_;
    IMCIBackend& backend_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
    HANDLE readyEvent_ = nullptr;
    std::atomic<bool> stuck_{false};
    std::unique_ptr<CMCIMusicCD> cd_;
    // Changed on the dialog thread, walked on the service thread when a notice
    // is routed; the lock is never held across a command sent to the service
    // thread. Recursive, in case a media call there dispatches a nested notice.
    mutable std::recursive_mutex filesLock_;
    std::list<std::unique_ptr<CMCIMusicFile>> files_;
};
