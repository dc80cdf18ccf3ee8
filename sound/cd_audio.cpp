#include "sound/cd_audio.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <cstdio>

#include "sound/mci_music.h"

namespace {

constexpr int kDriveLetters = 26;

}  // namespace

CMCIMusicCD::CMCIMusicCD(CMCIMusic* owner) : owner_(owner) {
    for (int letter = 0; letter < kDriveLetters; ++letter) {
        std::snprintf(rootPath_, sizeof(rootPath_), "%c:", 'a' + letter);
        if (owner_->backend().DriveType(rootPath_) == DRIVE_CDROM && Probe() == 1) return;
    }
    rootPath_[0] = '\0';
}

uint32_t CMCIMusicCD::Issue(uint32_t deviceId, uint32_t command, uint32_t flags, void* params) {
    MCICommand record{deviceId, command, flags, params, 0};
    return owner_->SendCommand(record);
}

int CMCIMusicCD::Probe() {
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "cdaudio";
    open.lpstrElementName = rootPath_;
    if (Issue(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE | MCI_WAIT,
              &open) != 0) {
        return 0;
    }
    deviceId_ = open.wDeviceID;

    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MEDIA_PRESENT;
    const bool present = Issue(deviceId_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status) == 0 &&
                         status.dwReturn == TRUE;
    bool ready = false;
    if (present) {
        status.dwItem = MCI_STATUS_READY;
        status.dwReturn = 0;
        ready = Issue(deviceId_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status) == 0 &&
                status.dwReturn == TRUE;
    }
    Issue(deviceId_, MCI_CLOSE, MCI_WAIT, nullptr);
    deviceId_ = 0;
    return present && ready ? 1 : 0;
}
