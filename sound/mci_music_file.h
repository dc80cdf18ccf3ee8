// One sound file opened as a media device: the interval sound. Commands go
// through the owning service's thread; the end-of-play handling runs there.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

class CMCIMusic;

class CMCIMusicFile {
public:
    static constexpr uint32_t kOpen = 1;     // bit 0 of flags
    static constexpr uint32_t kPlaying = 2;  // bit 1 of flags
    // The path doubles as the device alias, kept in a buffer of this size
    // with its terminating zero: a longer path is refused.
    static constexpr std::size_t kAliasBytes = 260;

    CMCIMusicFile(CMCIMusic* owner, HWND callbackWindow);
    ~CMCIMusicFile();  // closes

    CMCIMusicFile(const CMCIMusicFile&) = delete;
    CMCIMusicFile& operator=(const CMCIMusicFile&) = delete;

    // 1 if the device was opened (and `length` read), 0 if not; a refused
    // open leaves the player unchanged.
    int Open(const char* path);
    // 1 if a play from 0 to `length` was issued, 0 if the player is not open.
    int Play();
    // 1 if a stop was issued, 0 if the player was not playing.
    int Stop();
    // Successful completion notice, on the service thread; always 0.
    int OnPlayEnd();
    // Stops and closes the device; returns 1. Harmless when nothing is open.
    int Close();

    CMCIMusic* owner() const { return owner_; }
    HWND callbackWindow() const { return callbackWindow_; }
    uint32_t deviceId() const { return deviceId_.load(); }
    uint32_t flags() const { return flags_.load(); }
    uint32_t length() const { return length_; }
    bool IsOpen() const { return (flags() & kOpen) != 0; }
    bool IsPlaying() const { return (flags() & kPlaying) != 0; }

private:
    uint32_t Issue(uint32_t command, uint32_t flags, void* params);

    CMCIMusic* owner_;
    HWND callbackWindow_;
    // Written by the calling thread (play, stop, close) and the service
    // thread (end of play, notice routing reads deviceId).
    std::atomic<uint32_t> deviceId_{0};
    std::atomic<uint32_t> flags_{0};
    uint32_t length_ = 0;
};
