// Helpers shared by the sound tests: a back end that records what reaches
// winmm, and a recorder of the completion notices the service thread takes.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sound/mci_backend.h"

namespace sound_test {

// Forwards to winmm and counts the commands per device.
class CSpyBackend : public IMCIBackend {
public:
    struct Call {
        uint32_t deviceId;
        uint32_t command;
        uint32_t flags;
        uint32_t result;
        uint32_t from;  // play
        uint32_t to;    // play
    };

    uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                         void* params) override {
        const uint32_t result = WinMMBackend().SendCommand(deviceId, command, flags, params);
        Call call{deviceId, command, flags, result, 0, 0};
        if (command == MCI_PLAY && params != nullptr) {
            const auto* play = static_cast<const MCI_PLAY_PARMS*>(params);
            call.from = play->dwFrom;
            call.to = play->dwTo;
        }
        std::lock_guard<std::mutex> guard(lock_);
        calls_.push_back(call);
        return result;
    }
    uint32_t DriveType(const char* root) override { return WinMMBackend().DriveType(root); }

    std::vector<Call> Calls() const {
        std::lock_guard<std::mutex> guard(lock_);
        return calls_;
    }
    std::size_t CallCount() const { return Calls().size(); }
    std::size_t Count(uint32_t deviceId, uint32_t command) const {
        std::size_t count = 0;
        for (const Call& call : Calls()) {
            if (call.deviceId == deviceId && call.command == command) ++count;
        }
        return count;
    }

private:
    mutable std::mutex lock_;
    std::vector<Call> calls_;
};

// Records every MM_MCINOTIFY (code, device ID) that the service thread takes
// from its queue, through a message hook on that thread.
class CNoticeRecorder {
public:
    explicit CNoticeRecorder(DWORD serviceThreadId) {
        std::lock_guard<std::mutex> guard(Lock());
        Active() = this;
        hook_ = SetWindowsHookExA(WH_GETMESSAGE, &CNoticeRecorder::Hook, nullptr, serviceThreadId);
    }
    ~CNoticeRecorder() {
        if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
        std::lock_guard<std::mutex> guard(Lock());
        Active() = nullptr;
    }
    CNoticeRecorder(const CNoticeRecorder&) = delete;
    CNoticeRecorder& operator=(const CNoticeRecorder&) = delete;

    bool installed() const { return hook_ != nullptr; }

    std::vector<std::pair<uint32_t, uint32_t>> Notices() const {
        std::lock_guard<std::mutex> guard(Lock());
        return notices_;
    }
    std::size_t Count(uint32_t code, uint32_t deviceId) const {
        std::size_t count = 0;
        for (const auto& [c, id] : Notices()) {
            if (c == code && id == deviceId) ++count;
        }
        return count;
    }
    std::size_t CountCode(uint32_t code) const {
        std::size_t count = 0;
        for (const auto& notice : Notices()) {
            if (notice.first == code) ++count;
        }
        return count;
    }

private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static CNoticeRecorder*& Active() {
        static CNoticeRecorder* active = nullptr;
        return active;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && message->message == MM_MCINOTIFY) {
            std::lock_guard<std::mutex> guard(Lock());
            if (Active() != nullptr) {
                Active()->notices_.emplace_back(static_cast<uint32_t>(message->wParam),
                                                static_cast<uint32_t>(message->lParam));
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK hook_ = nullptr;
    std::vector<std::pair<uint32_t, uint32_t>> notices_;
};

}  // namespace sound_test
