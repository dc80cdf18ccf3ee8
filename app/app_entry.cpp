#include "app/app_entry.h"

#include "app/main_dialog.h"
#include "app/resource.h"
#include "base/smart_ptr.h"
#include "countdown/time_count_thread.h"
#include "countdown/timer.h"
#include "display/time_display.h"
#include "sound/mci_music.h"

int RunTocklet(HINSTANCE instance) {
    // Declared in this order, released in the reverse one.
    smart_ptr<CTimerPeriod> timerPeriod;
    smart_ptr<CMCIMusic> music;
    smart_ptr<CTimeCountThread> worker;
    smart_ptr<CTimeDisplay> display;

    // Raised resolution and the fine tick source for the whole run.
    timerPeriod.Assign(new CTimerPeriod(0));
    g_worker = &worker;
    g_music = &music;
    g_display = &display;

    // "W": the template's own UTF-16 texts reach the controls unconverted; an
    // "A" dialog would pass them through the system code page.
    const INT_PTR result =
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);

    display.Release();
    worker.Release();  // needs the sound service still there to close its sound
    music.Release();
    timerPeriod.Release();
    return static_cast<int>(result);
}
