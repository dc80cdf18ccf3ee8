// The CD-audio unit: at service start, finds the first CD-ROM drive (a: to
// z:) holding a present and ready disc. It holds no device outside a probe.
#pragma once

#include <cstddef>
#include <cstdint>

class CMCIMusic;

class CMCIMusicCD {
public:
    static constexpr std::size_t kRootBytes = 32;

    explicit CMCIMusicCD(CMCIMusic* owner);  // scans the drives
    ~CMCIMusicCD() = default;                // issues no command

    CMCIMusicCD(const CMCIMusicCD&) = delete;
    CMCIMusicCD& operator=(const CMCIMusicCD&) = delete;

    // 1 if the drive in rootPath holds a present and ready disc, else 0.
    int Probe();

    // "d:" for the drive found, empty if none.
    const char* rootPath() const { return rootPath_; }
    uint32_t deviceId() const { return deviceId_; }

private:
    uint32_t Issue(uint32_t deviceId, uint32_t command, uint32_t flags, void* params);

    CMCIMusic* owner_;
    char rootPath_[kRootBytes] = {};
    uint32_t deviceId_ = 0;
};
