#include "app/main_dialog.h"

#include <commdlg.h>

#include "app/resource.h"
#include "app/setting_fields.h"
#include "base/sys_string.h"
#include "countdown/time_count.h"
#include "countdown/time_count_thread.h"
#include "display/time_display.h"
#include "sound/mci_music.h"
#include "sound/mci_music_file.h"

smart_ptr<CTimeCountThread>* g_worker = nullptr;
smart_ptr<CMCIMusic>* g_music = nullptr;
smart_ptr<CTimeDisplay>* g_display = nullptr;

namespace {

// Code page 932 texts. Each meets its window through the "W" functions, so it
// reads the same on a system whose code page is not 932.
constexpr char kErrorCaption[] = "エラー";
constexpr char kZeroIntervalText[] = "時間を計測することができません。";
constexpr char kUnreadableSoundText[] = "インターバル音が読み込めません。";
constexpr char kSoundTooLongText[] = "インターバル音が長すぎます。";
constexpr char kStartCaption[] = "開始(&C)";
constexpr char kPauseCaption[] = "中断(&A)";
constexpr char kResumeCaption[] = "再開(&R)";
constexpr char kChooserTitle[] = "インターバル音を開く";
// Description and pattern pairs, each NUL-ended; the literal's own NUL makes
// the closing double NUL.
constexpr char kChooserFilter[] =
    "Waveサウンド (*.wav)\0*.wav\0"
    "MP3ファイル (*.mp3)\0*.mp3\0"
    "すべてのファイル (*.*)\0*.*\0";

// The display control, looked up once per dialog: under Wine each lookup is a
// round trip to the server, and a countdown redraws 40 times a second.
HWND g_displayWindow = nullptr;

void ShowError(HWND dialog, const char* text, UINT icon) {
    MessageBoxW(dialog, Cp932ToWide(text).c_str(), Cp932ToWide(kErrorCaption).c_str(),
                MB_OK | icon);
}

void SetStartCaption(HWND dialog, const char* caption) {
    SetDlgItemTextW(dialog, IDC_START, Cp932ToWide(caption).c_str());
}

INT_PTR OnInitDialog(HWND dialog) {
    InitSettingFields(dialog);
    g_displayWindow = GetDlgItem(dialog, IDC_DISPLAY);
    g_music->Assign(new CMCIMusic(dialog));
    g_display->Assign(new CTimeDisplay(dialog));
    ClearAll(g_setting);
    ClearAll(g_remain);
    return TRUE;
}

// Opens the chosen sound for an interval of `total` ms. Returns false after
// an error box; `sound` is null when no path is entered.
bool OpenIntervalSound(HWND dialog, uint32_t total, CMCIMusicFile** sound) {
    *sound = nullptr;
    wchar_t text[kPathBufferSize] = {};
    GetDlgItemTextW(dialog, IDC_SOUND, text, static_cast<int>(kPathBufferSize));
    if (text[0] == L'\0') return true;  // the system beep

    // The media interface takes the path in the system code page; a path
    // that has no exact form there is not opened as some look-alike.
    const std::optional<std::string> path = WideToSystemCodePage(text);
    CMCIMusicFile* file = path ? (*g_music)->OpenFile(path->c_str()) : nullptr;
    if (file == nullptr) {
        ShowError(dialog, kUnreadableSoundText, MB_ICONERROR);
        return false;
    }
    if (file->length() >= total) {
        // Closed before the box: the box's message loop may run the close
        // of the whole dialog, sound service included.
        file->owner()->CloseFile(file);
        ShowError(dialog, kSoundTooLongText, 0);
        return false;
    }
    *sound = file;
    return true;
}

// Idle to Running. False after an error box, with nothing changed.
bool StartCountdown(HWND dialog) {
    const uint32_t total = ToMilliseconds(g_setting);
    if (total == 0) {
        ShowError(dialog, kZeroIntervalText, MB_ICONERROR);
        return false;
    }
    CMCIMusicFile* sound = nullptr;
    if (!OpenIntervalSound(dialog, total, &sound)) return false;

    g_worker->Assign(new CTimeCountThread(g_setting, dialog, sound));
    if ((*g_worker)->Start() == 0) {
        // No thread could be made: showing Running would be a lie, and
        // nothing would ever finish it. Idle again, the sound closed.
        g_worker->Release();
        return false;
    }
    EnableSettingFields(dialog, FALSE);
    return true;
}

void TogglePause() {
    CTimeCountThread* worker = g_worker->Get();
    if (worker->IsSuspended()) {
        worker->Resume();
    } else {
        worker->Suspend();
    }
}

INT_PTR OnStart(HWND dialog) {
    if (g_worker->object == nullptr) {
        if (!StartCountdown(dialog)) return TRUE;
    } else {
        TogglePause();
    }
    EnableWindow(GetDlgItem(dialog, IDC_STOP), TRUE);
    SetStartCaption(dialog, (*g_worker)->IsSuspended() ? kResumeCaption : kPauseCaption);
    return FALSE;
}

INT_PTR OnBrowse(HWND dialog) {
    wchar_t path[kPathBufferSize];
    if (ChooseSoundFile(path, dialog)) SetDlgItemTextW(dialog, IDC_SOUND, path);
    return FALSE;
}

INT_PTR OnSettingField(HWND dialog, const SettingField& field) {
    ValidateSettingField(field.id, dialog, &(g_setting.*field.member), field.limit);
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, int id) {
    switch (id) {
        case IDC_QUIT:
            PostMessageA(dialog, WM_TC_CLOSE, 0, 0);
            return TRUE;
        case IDC_START:
            return OnStart(dialog);
        case IDC_STOP:
            PostMessageA(dialog, WM_TC_FINISH, 0, 0);
            return TRUE;
        case IDC_BROWSE:
            return OnBrowse(dialog);
        default:
            break;
    }
    if (const SettingField* field = FindSettingField(id)) return OnSettingField(dialog, *field);
    return FALSE;  // IDC_SOUND, and IDOK/IDCANCEL from Enter and Esc
}

INT_PTR OnDrawItem(int id) {
    if (id == IDC_DISPLAY) (*g_display)->Draw();
    return FALSE;
}

INT_PTR OnFinish(HWND dialog) {
    g_worker->Release();  // joins the worker thread and closes its sound
    ClearAll(g_remain);
    EnableSettingFields(dialog, TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_STOP), FALSE);
    SetStartCaption(dialog, kStartCaption);
    return TRUE;
}

INT_PTR OnClose(HWND dialog) {
    // The worker first: destroying it closes its sound through the service.
    g_worker->Release();
    g_music->Release();
    g_displayWindow = nullptr;
    EndDialog(dialog, 0);
    return TRUE;
}

INT_PTR OnRedraw() {
    // A null window would invalidate every window of the desktop.
    if (g_displayWindow != nullptr) InvalidateRect(g_displayWindow, nullptr, FALSE);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam));
        case WM_CLOSE:
            PostMessageA(dialog, WM_TC_CLOSE, 0, 0);
            return TRUE;
        case WM_DRAWITEM:
            return OnDrawItem(LOWORD(wParam));
        case WM_TC_CLOSE:
            return OnClose(dialog);
        case WM_TC_FINISH:
            return OnFinish(dialog);
        case WM_TC_REDRAW:
            return OnRedraw();
        default:
            return FALSE;
    }
}

BOOL ChooseSoundFile(wchar_t* buffer, HWND dialog) {
    // The whole literal, so the list keeps its closing double NUL.
    const std::wstring filter = Cp932ToWide({kChooserFilter, sizeof kChooserFilter});
    const std::wstring title = Cp932ToWide(kChooserTitle);
    OPENFILENAMEW chooser = {};
    // The short form of the record, without the trailing extension fields.
    chooser.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ZeroMemory(buffer, kPathBufferSize * sizeof *buffer);
    chooser.hwndOwner = dialog;
    chooser.hInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    chooser.lpstrFilter = filter.c_str();
    chooser.nFilterIndex = 0;
    chooser.lpstrFile = buffer;
    chooser.nMaxFile = static_cast<DWORD>(kPathBufferSize);
    chooser.lpstrTitle = title.c_str();
    chooser.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    return GetOpenFileNameW(&chooser);
}
