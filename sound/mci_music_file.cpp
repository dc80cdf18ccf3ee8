#include "sound/mci_music_file.h"

#include <mmsystem.h>

#include <cstring>

#include "sound/mci_music.h"

CMCIMusicFile::CMCIMusicFile(CMCIMusic* owner, HWND callbackWindow)
    : owner_(owner), callbackWindow_(callbackWindow) {}

CMCIMusicFile::~CMCIMusicFile() {
    Close();
}

uint32_t CMCIMusicFile::Issue(uint32_t command, uint32_t flags, void* params) {
    MCICommand record{deviceId(), command, flags, params, 0};
    return owner_->SendCommand(record);
}

int CMCIMusicFile::Open(const char* path) {
    if (path == nullptr || path[0] == '\0') return 0;
    // The alias is a copy of the path; one that does not fit is refused
    // rather than cut (a cut alias could name another open file).
    const std::size_t pathBytes = strnlen(path, kAliasBytes);
    if (pathBytes >= kAliasBytes) return 0;
    char alias[kAliasBytes];
    std::memcpy(alias, path, pathBytes + 1);

    MCI_OPEN_PARMSA open{};
    open.lpstrElementName = path;
    open.lpstrAlias = alias;
    MCICommand openCommand{0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS | MCI_WAIT, &open, 0};
    if (owner_->SendCommand(openCommand) != 0) return 0;

    deviceId_.store(open.wDeviceID);
    flags_.store(kOpen);
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    Issue(MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status);
    length_ = static_cast<uint32_t>(status.dwReturn);  // a failed query leaves 0
    return 1;
}

int CMCIMusicFile::Play() {
    if (!IsOpen()) return 0;
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(callbackWindow_);
    play.dwFrom = 0;
    play.dwTo = length_;
    Issue(MCI_PLAY, MCI_NOTIFY | MCI_FROM | MCI_TO, &play);
    flags_.fetch_or(kPlaying);
    return 1;
}

int CMCIMusicFile::Stop() {
    if (!IsPlaying()) return 0;
    owner_->SendBoundedCommand(deviceId(), MCI_STOP, MCI_WAIT);
    flags_.fetch_and(~kPlaying);
    return 1;
}

int CMCIMusicFile::OnPlayEnd() {
    // Already on the service thread: straight to the back end.
    owner_->backend().SendCommand(deviceId(), MCI_STOP, MCI_WAIT, nullptr);
    flags_.fetch_and(~kPlaying);
    return 0;
}

int CMCIMusicFile::Close() {
    owner_->SendBoundedCommand(deviceId(), MCI_STOP, MCI_WAIT);
    owner_->SendBoundedCommand(deviceId(), MCI_CLOSE, MCI_WAIT);
    flags_.store(0);
    deviceId_.store(0);
    return 1;
}
