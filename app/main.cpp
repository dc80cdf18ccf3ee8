// tocklet.exe: a GUI program without a console; everything happens in the
// modal main dialog.
#include <windows.h>

#include "app/app_entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*showCommand*/) {
    return RunTocklet(instance);
}
