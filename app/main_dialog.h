// The main dialog: the controller of the whole program.
#pragma once

#include <windows.h>

#include <cstddef>

#include "base/smart_ptr.h"

class CTimeCountThread;
class CMCIMusic;
class CTimeDisplay;

// Set by the entry point before the dialog is created, to its holders.
extern smart_ptr<CTimeCountThread>* g_worker;
extern smart_ptr<CMCIMusic>* g_music;
extern smart_ptr<CTimeDisplay>* g_display;

// Characters of a path buffer (the sound path, the file chooser's result).
inline constexpr std::size_t kPathBufferSize = 2048;

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The file chooser for the interval sound. Nonzero with the full path in
// `buffer` (kPathBufferSize characters) when a file was chosen; zero otherwise.
// UTF-16, so the path is shown as chosen whatever the system code page.
BOOL ChooseSoundFile(wchar_t* buffer, HWND dialog);
