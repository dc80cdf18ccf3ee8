// The media layer the sound service is built against: the MCI command
// function and the drive-type query of the CD probe. The real back end is
// winmm; tests use the recording fake in fake_mci_backend.h.
#pragma once

#include <cstdint>

class IMCIBackend {
public:
    virtual ~IMCIBackend() = default;

    // mciSendCommandA: the MCI error code, 0 for success. Outputs go into the
    // parameter block (the platform's MCI_*_PARMS layouts). A command with
    // MCI_NOTIFY later posts MM_MCINOTIFY (wParam code, lParam device ID) to
    // the callback window named in its block.
    virtual uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                                 void* params) = 0;

    // GetDriveTypeA on a root such as "d:"; DRIVE_CDROM (5) for a CD-ROM drive.
    virtual uint32_t DriveType(const char* root) = 0;
};

// winmm's mciSendCommandA and kernel32's GetDriveTypeA.
class CWinMMBackend : public IMCIBackend {
public:
    uint32_t SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                         void* params) override;
    uint32_t DriveType(const char* root) override;
};

// The process-wide real back end, used when a service is given none.
IMCIBackend& WinMMBackend();
