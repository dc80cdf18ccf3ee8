#include "sound/fake_mci_backend.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <cctype>

namespace {

constexpr uint32_t kNoRootDir = DRIVE_NO_ROOT_DIR;

std::string Text(const char* text) {
    return text == nullptr ? std::string{} : std::string{text};
}

char DriveLetter(const std::string& root) {
    return root.empty() ? '\0'
                        : static_cast<char>(std::tolower(static_cast<unsigned char>(root[0])));
}

}  // namespace

void CFakeMCIBackend::AddFile(const std::string& path, uint32_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    files_[path] = length;
}

void CFakeMCIBackend::SetDriveType(char letter, uint32_t type) {
    std::lock_guard<std::mutex> guard(lock_);
    driveTypes_[letter] = type;
}

void CFakeMCIBackend::AddCdDrive(char letter, bool present, bool ready) {
    std::lock_guard<std::mutex> guard(lock_);
    driveTypes_[letter] = DRIVE_CDROM;
    cdDrives_[letter] = CdDrive{true, present, ready};
}

void CFakeMCIBackend::AddBrokenCdDrive(char letter) {
    std::lock_guard<std::mutex> guard(lock_);
    driveTypes_[letter] = DRIVE_CDROM;
    cdDrives_[letter] = CdDrive{false, false, false};
}

bool CFakeMCIBackend::PostNotice(uint32_t deviceId, uint32_t code) {
    uintptr_t callback = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = devices_.find(deviceId);
        if (found != devices_.end()) callback = found->second.callback;
    }
    if (callback == 0) return false;
    return PostMessageA(reinterpret_cast<HWND>(callback), MM_MCINOTIFY, code, deviceId) != 0;
}

std::vector<CFakeMCIBackend::Call> CFakeMCIBackend::Calls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

std::vector<CFakeMCIBackend::Call> CFakeMCIBackend::CallsFor(uint32_t deviceId) const {
    std::vector<Call> selected;
    for (const Call& call : Calls()) {
        if (call.deviceId == deviceId) selected.push_back(call);
    }
    return selected;
}

std::vector<std::string> CFakeMCIBackend::DriveQueries() const {
    std::lock_guard<std::mutex> guard(lock_);
    return driveQueries_;
}

std::vector<std::string> CFakeMCIBackend::OpenAliases() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> aliases;
    for (const auto& [id, device] : devices_) aliases.push_back(device.alias);
    return aliases;
}

void CFakeMCIBackend::ClearRecords() {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.clear();
    driveQueries_.clear();
}

uint32_t CFakeMCIBackend::DriveType(const char* root) {
    std::lock_guard<std::mutex> guard(lock_);
    const std::string text = Text(root);
    driveQueries_.push_back(text);
    const auto found = driveTypes_.find(DriveLetter(text));
    return found == driveTypes_.end() ? kNoRootDir : found->second;
}

uint32_t CFakeMCIBackend::SendCommand(uint32_t deviceId, uint32_t command, uint32_t flags,
                                      void* params) {
    std::lock_guard<std::mutex> guard(lock_);
    Call call;
    call.deviceId = deviceId;
    call.command = command;
    call.flags = flags;
    call.hasParams = params != nullptr;
    uint32_t result = MCIERR_INVALID_DEVICE_ID;
    const bool known = devices_.count(deviceId) != 0;
    switch (command) {
        case MCI_OPEN:
            result = Open(call, params);
            break;
        case MCI_STATUS:
            result = Status(deviceId, call, params);
            break;
        case MCI_PLAY:
            result = Play(deviceId, call, params);
            break;
        case MCI_STOP:
            if (known) result = 0;
            break;
        case MCI_CLOSE:
            if (known) {
                devices_.erase(deviceId);
                result = 0;
            }
            break;
        default:
            result = MCIERR_UNRECOGNIZED_COMMAND;
    }
    calls_.push_back(call);
    return result;
}

uint32_t CFakeMCIBackend::Open(Call& call, void* params) {
    if (params == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    auto* open = static_cast<MCI_OPEN_PARMSA*>(params);
    if (call.flags & MCI_OPEN_TYPE) call.type = Text(open->lpstrDeviceType);
    if (call.flags & MCI_OPEN_ELEMENT) call.element = Text(open->lpstrElementName);
    if (call.flags & MCI_OPEN_ALIAS) call.alias = Text(open->lpstrAlias);

    Device device;
    device.alias = call.alias;
    if (call.type == "cdaudio") {
        const auto drive = cdDrives_.find(DriveLetter(call.element));
        if (drive == cdDrives_.end() || !drive->second.opens) return MCIERR_DEVICE_OPEN;
        device.isCd = true;
        device.drive = drive->second;
    } else {
        const auto file = files_.find(call.element);
        if (file == files_.end()) return MCIERR_FILE_NOT_FOUND;
        device.length = file->second;
    }
    if (!device.alias.empty()) {
        for (const auto& [id, other] : devices_) {
            if (other.alias == device.alias) return MCIERR_DUPLICATE_ALIAS;
        }
    }
    const uint32_t id = nextDeviceId_++;
    devices_[id] = device;
    open->wDeviceID = static_cast<MCIDEVICEID>(id);
    return 0;
}

uint32_t CFakeMCIBackend::Status(uint32_t deviceId, Call& call, void* params) {
    if (params == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    auto* status = static_cast<MCI_STATUS_PARMS*>(params);
    call.item = status->dwItem;
    call.track = status->dwTrack;
    const auto found = devices_.find(deviceId);
    if (found == devices_.end()) return MCIERR_INVALID_DEVICE_ID;
    const Device& device = found->second;
    switch (status->dwItem) {
        case MCI_STATUS_LENGTH:
            status->dwReturn = device.length;
            return 0;
        case MCI_STATUS_MEDIA_PRESENT:
            status->dwReturn = device.drive.present ? TRUE : FALSE;
            return device.isCd ? 0 : MCIERR_UNSUPPORTED_FUNCTION;
        case MCI_STATUS_READY:
            status->dwReturn = device.isCd ? (device.drive.ready ? TRUE : FALSE) : TRUE;
            return 0;
        default:
            return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

uint32_t CFakeMCIBackend::Play(uint32_t deviceId, Call& call, void* params) {
    const auto found = devices_.find(deviceId);
    if (params != nullptr) {
        const auto* play = static_cast<const MCI_PLAY_PARMS*>(params);
        call.callback = play->dwCallback;
        call.from = play->dwFrom;
        call.to = play->dwTo;
    }
    if (found == devices_.end()) return MCIERR_INVALID_DEVICE_ID;
    found->second.callback = call.callback;
    return 0;
}
