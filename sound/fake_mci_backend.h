// A media back end for tests: records every call and answers from a script of
// files and drives, so the service can be tested without a sound card or a
// CD drive. Completion notices are posted on request.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sound/mci_backend.h"

class CFakeMCIBackend : public IMCIBackend {
public:
    struct Call {
        uint32_t deviceId = 0;
        uint32_t command = 0;
        uint32_t flags = 0;
        bool hasParams = false;
        std::string type;        // open: device type, if named
        std::string element;     // open: element name
        std::string alias;       // open: alias
        uint32_t item = 0;       // status: item asked for
        uint32_t track = 0;      // status
        uintptr_t callback = 0;  // play
        uint32_t from = 0;       // play
        uint32_t to = 0;         // play
    };

    // Files the fake "opens": path -> length in milliseconds.
    void AddFile(const std::string& path, uint32_t length);
    // Drive types by letter; every other letter has no root (1).
    void SetDriveType(char letter, uint32_t type);
    // A CD-ROM drive whose CD-audio device opens, with or without a present
    // disc and a ready drive.
    void AddCdDrive(char letter, bool present, bool ready);
    // A CD-ROM drive whose CD-audio device fails to open.
    void AddBrokenCdDrive(char letter);

    // Posts MM_MCINOTIFY with `code` for `deviceId` to the callback window of
    // that device's last play. False if the device never played.
    bool PostNotice(uint32_t deviceId, uint32_t code);

    std::vector<Call> Calls() const;
    std::vector<Call> CallsFor(uint32_t deviceId) const;
    std::vector<std::string> DriveQueries() const;
    std::vector<std::string> OpenAliases() const;
    void ClearRecords();

    uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                         void* params) override;
    uint32_t DriveType(const char* root) override;

private:
    struct CdDrive {
        bool opens = true;
        bool present = false;
        bool ready = false;
    };
    struct Device {
        bool isCd = false;
        std::string alias;
        uint32_t length = 0;
        CdDrive drive;
        uintptr_t callback = 0;
    };

    uint32_t Open(Call& call, void* params);
    uint32_t Status(uint32_t deviceId, Call& call, void* params);
    uint32_t Play(uint32_t deviceId, Call& call, void* params);

    mutable std::mutex lock_;
    std::map<std::string, uint32_t> files_;
    std::map<char, uint32_t> driveTypes_;
    std::map<char, CdDrive> cdDrives_;
    std::map<uint32_t, Device> devices_;
    uint32_t nextDeviceId_ = 1;
    std::vector<Call> calls_;
    std::vector<std::string> driveQueries_;
};
