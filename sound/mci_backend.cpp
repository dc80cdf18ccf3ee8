#include "sound/mci_backend.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

uint32_t CWinMMBackend::SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                                    void* params) {
    return mciSendCommandA(deviceId, command, flags, reinterpret_cast<DWORD_PTR>(params));
}

uint32_t CWinMMBackend::DriveType(const char* root) {
    return GetDriveTypeA(root);
}

IMCIBackend& WinMMBackend() {
    static CWinMMBackend backend;
    return backend;
}
