#include "sound/mci_music.h"

#include <mmsystem.h>

#include <algorithm>

#include "sound/cd_audio.h"
#include "sound/mci_music_file.h"

std::atomic<CMCIMusic*> g_attachedMusic{nullptr};

namespace {

constexpr char kWindowClass[] = "MCIMusicWindow";
// WS_POPUP | WS_CHILD | WS_DISABLED, not visible: a bare message endpoint.
constexpr DWORD kWindowStyle = 0xC8000000;

HANDLE StartWithCreateThread(LPTHREAD_START_ROUTINE routine, void* argument, DWORD* threadId) {
    return CreateThread(nullptr, 0, routine, argument, 0, threadId);
}

void RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &CMCIMusic::MusicWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    // Fails harmlessly when an earlier service registered it already.
    RegisterClassExA(&windowClass);
}

}  // namespace

CMCIMusic::CMCIMusic(HWND ownerWindow, IMCIBackend* backend, ThreadStarter startThread)
    : ownerWindow_(ownerWindow), backend_(backend != nullptr ? *backend : WinMMBackend()) {
    readyEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (readyEvent_ == nullptr) return;
    if (startThread == nullptr) startThread = &StartWithCreateThread;
    thread_ = startThread(&CMCIMusic::ThreadProc, this, &threadId_);
    if (thread_ == nullptr) {
        // No service thread: no window, no CD unit; every command reports
        // kMCICommandNotDelivered.
        threadId_ = 0;
        return;
    }
    WaitForSingleObject(readyEvent_, INFINITE);
    cd_ = std::make_unique<CMCIMusicCD>(this);
}

CMCIMusic::~CMCIMusic() {
    // Players first, while the service thread still executes their commands.
    for (;;) {
        CMCIMusicFile* front = nullptr;
        {
            std::lock_guard<std::recursive_mutex> guard(filesLock_);
            if (files_.empty()) break;
            front = files_.front().get();
        }
        CloseFile(front);
    }
    cd_.reset();
    if (stuck()) {
        // Its thread may never leave the media back end; should it, it finds
        // no service to route to and waits on in its loop.
        CMCIMusic* self = this;
        g_attachedMusic.compare_exchange_strong(self, nullptr);
    } else if (window_ != nullptr) {
        PostMessageA(window_, WM_DESTROY, 0, 0);
        if (thread_ != nullptr) WaitForSingleObject(thread_, INFINITE);
    }
    if (thread_ != nullptr) CloseHandle(thread_);
    if (readyEvent_ != nullptr) CloseHandle(readyEvent_);
}

HINSTANCE CMCIMusic::Instance() const {
    HINSTANCE instance = nullptr;
    if (ownerWindow_ != nullptr) {
        instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(ownerWindow_, GWLP_HINSTANCE));
    }
    return instance != nullptr ? instance : GetModuleHandleA(nullptr);
}

DWORD WINAPI CMCIMusic::ThreadProc(void* argument) {
    static_cast<CMCIMusic*>(argument)->RunServiceThread();
    return 0;
}

void CMCIMusic::RunServiceThread() {
    const HINSTANCE instance = Instance();
    RegisterWindowClass(instance);
    window_ = CreateWindowExA(0, kWindowClass, kWindowClass, kWindowStyle, 0, 0, 0, 0, ownerWindow_,
                              nullptr, instance, nullptr);
    const HWND window = window_;
    if (window != nullptr) {
        UpdateWindow(window);
        SendMessageA(window, WM_MCI_ATTACH, reinterpret_cast<WPARAM>(this), 0);
    }
    // After this the constructing thread owns every field again.
    SetEvent(readyEvent_);
    if (window == nullptr) return;  // nothing to serve; teardown posts nothing

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}

LRESULT CALLBACK CMCIMusic::MusicWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    CMCIMusic* attached = g_attachedMusic.load();
    if (attached != nullptr && attached->HandleMessage(message, wParam, lParam)) return 1;
    switch (message) {
        case WM_DESTROY:
            g_attachedMusic = nullptr;
            PostQuitMessage(0);
            return 0;
        case WM_MCI_ATTACH:
            g_attachedMusic = reinterpret_cast<CMCIMusic*>(wParam);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

int CMCIMusic::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MCI_COMMAND: {
            auto* command = reinterpret_cast<MCICommand*>(lParam);
            command->result = backend_.SendCommand(command->deviceId, command->command,
                                                   command->flags, command->params);
            return 1;
        }
        case MM_MCINOTIFY: {
            if (wParam != MCI_NOTIFY_SUCCESSFUL) return 0;
            const auto deviceId = static_cast<uint32_t>(lParam);
            std::lock_guard<std::recursive_mutex> guard(filesLock_);
            for (const auto& file : files_) {
                if (file->deviceId() == deviceId) {
                    file->OnPlayEnd();
                    return 1;
                }
            }
            return 0;
        }
        default:
            return 0;
    }
}

uint32_t CMCIMusic::SendCommand(MCICommand& command) {
    command.result = kMCICommandNotDelivered;
    if (window_ != nullptr && !stuck()) {
        SendMessageA(window_, WM_MCI_COMMAND, 0, reinterpret_cast<LPARAM>(&command));
    }
    return command.result;
}

uint32_t CMCIMusic::SendBoundedCommand(uint32_t deviceId, uint32_t command, uint32_t flags) {
    if (window_ == nullptr || stuck()) return kMCICommandNotDelivered;
    // On the heap: a command still running when the wait runs out writes its
    // result here later, so an unanswered record is left to it.
    auto* record = new MCICommand{deviceId, command, flags, nullptr, kMCICommandNotDelivered};
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(window_, WM_MCI_COMMAND, 0, reinterpret_cast<LPARAM>(record),
                            SMTO_NORMAL, kStuckAfterMs, &answer) == 0) {
        if (GetLastError() == ERROR_TIMEOUT) stuck_.store(true);
        return kMCICommandNotDelivered;
    }
    const uint32_t result = record->result;
    delete record;
    return result;
}

CMCIMusicFile* CMCIMusic::OpenFile(const char* path) {
    auto file = std::make_unique<CMCIMusicFile>(this, window_);
    if (!file->Open(path)) return nullptr;  // its destruction closes it
    CMCIMusicFile* opened = file.get();
    std::lock_guard<std::recursive_mutex> guard(filesLock_);
    files_.push_back(std::move(file));
    return opened;
}

int CMCIMusic::CloseFile(CMCIMusicFile* file) {
    if (file == nullptr) return 1;
    file->Close();
    std::unique_ptr<CMCIMusicFile> owned;
    {
        std::lock_guard<std::recursive_mutex> guard(filesLock_);
        const auto found = std::find_if(files_.begin(), files_.end(),
                                        [file](const auto& entry) { return entry.get() == file; });
        if (found != files_.end()) {
            owned = std::move(*found);
            files_.erase(found);
        }
    }
    // A player not on the list is still the caller's to give up.
    if (!owned) owned.reset(file);
    return 1;  // `owned` destroys the player, closing it once more
}

std::vector<CMCIMusicFile*> CMCIMusic::files() const {
    std::lock_guard<std::recursive_mutex> guard(filesLock_);
    std::vector<CMCIMusicFile*> snapshot;
    for (const auto& file : files_) snapshot.push_back(file.get());
    return snapshot;
}
